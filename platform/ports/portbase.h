#pragma once

#include "core/serialport.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <string>

namespace loomway {

// What the ports of the family share: the port number, the handlers and how
// their events are raised. Events come from the event loop of the thread that
// owns the port (the user-interface thread). The receive event never nests:
// bytes that arrive while its handler runs (in a nested event loop) raise it
// once more, queued, after the handler has returned. A port that counts its
// openings (BeginOpening, EndOpening) makes the lost events queued for an
// earlier one do nothing; a requeued receive event looks at what waits now.
class PortBase : public SerialPort {
public:
    PortBase(const PortBase&) = delete;
    PortBase& operator=(const PortBase&) = delete;

    // Fails with InvalidProperty for a negative number, PortAlreadyOpen while open.
    void SetPortNumber(int number) override;
    int PortNumber() const override { return m_number; }
    void SetReceiveHandler(std::function<void()> handler) override;
    // Queued; runs OnRequeuedReceive(), which raises the event if bytes wait
    // then (under whichever opening is current).
    void RequeueReceiveEvent() override;
    void SetLostHandler(std::function<void(const PortError&)> handler) override;
    void SetWrittenHandler(std::function<void()> handler) override;

protected:
    // kind names the port in the log ("serial" gives "serial receive handler failed").
    explicit PortBase(const std::string& kind);
    ~PortBase() override = default;

    void BeginOpening();
    void EndOpening() { ++m_openCount; }
    std::uint64_t Opening() const { return m_openCount; }
    bool InReceive() const { return m_inReceive; }

    // Bytes have arrived: the receive event now, or after the running handler.
    void OnArrival();
    void RaiseReceive();
    void RaiseWritten();
    // The device went away and the port is closed: the lost handler runs once,
    // queued, unless the port has been opened or closed again by then.
    void ReportLost(const PortError& error);
    // The handlers as they are, for a port whose events are raised elsewhere.
    void CallReceiveHandler();
    void CallLostHandler(const PortError& error);

    // The requeued receive event: raises the event when the port is open and
    // bytes wait.
    virtual void OnRequeuedReceive() = 0;
    // Around the receive handler, for a device that signals no arrivals while
    // it runs: whether bytes came meanwhile all the same.
    virtual void ReceiveStarting() {}
    virtual bool ArrivedUnsignalled() const { return false; }
    // A queued lost event comes due, whether or not it still applies.
    virtual void LostEventDue() {}

private:
    // Queues call(whether the opening is still the same), unless one queued
    // with the same pending flag has not run yet.
    template <typename Call> void QueueOnce(bool& pending, Call call);

    const std::string m_receiveWhat;
    const std::string m_lostWhat;
    int m_number = 0;
    std::function<void()> m_receive;
    std::function<void(const PortError&)> m_lost;
    std::function<void()> m_written;
    bool m_inReceive = false;
    bool m_missedReceive = false;
    bool m_requeuePending = false;
    bool m_lostPending = false;
    std::uint64_t m_openCount = 0; // tells a queued event which opening it belongs to
    QObject m_context;             // for the queued events: dropped when this port goes
};

} // namespace loomway
