#pragma once

#include "config/profilefile.h"
#include "lines/hayesmodem.h"
#include "platform/ports/networkport.h"
#include "platform/ports/portbase.h"
#include "platform/ports/pppgateway.h"
#include "platform/ports/ptyprocess.h"
#include "platform/qttimer.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace loomway {

// The built-in modem as a port: the handheld's AT commands go to a
// HayesModem, whose answers and call data come back as received bytes. A dial
// opens a tcp:, telnet: or rfc2217: endpoint with a NetworkPort, starts an
// exec: program from the phonebook on a pseudo-terminal, or answers with the
// built-in PPP gateway (ppp:); hanging up, closing the port and destroying it
// end the call (and the program, or the PPP session). The modem is never
// lost: a dropped call, or a PPP session that ended, answers NO CARRIER.
class ModemPort : public PortBase, private ModemSink {
public:
    // The phonebook is read at each dial, so edits take effect at once.
    explicit ModemPort(ProfileFile& phonebook);
    ~ModemPort() override;

    // Where the modem's notes (a number not in the phonebook, a program that
    // cannot start) go, by default to the log; an empty note, at the next
    // call that connects, takes the last one back.
    void SetNoteHandler(std::function<void(const std::string&)> handler) {
        m_note = std::move(handler);
    }
    ModemState State() const { return m_modem ? m_modem->State() : ModemState::Command; }
    // The program of an exec: call, for tests: its process id, or 0.
    qint64 ProgramId() const { return m_program.ProcessId(); }
    // Ends the program of an exec: call and waits for it, for a process that
    // ends without running its destructors.
    void EndProgramNow() { m_program.StopNow(); }
    // The PPP gateway that answers numbers that say ppp:.
    PppGateway& Gateway() { return m_gateway; }

    void SetSettings(const std::string& settings) override;
    void Open() override;
    // A call to the PPP gateway ends with the gateway's Terminate-Request.
    std::string TakeLastWords() override;
    void Close() override;
    bool IsOpen() const override { return m_open; }
    std::size_t BytesWaiting() const override { return m_open ? m_in.size() : 0; }
    std::string ReadAll() override;
    void Write(const std::string& data) override;
    // Queued also when bytes come from inside the pump's own handler (the
    // echo of an AT command): the receive event never nests.
    void RequeueReceiveEvent() override;
    std::size_t BytesToWrite() const override;

private:
    enum class Call { None, Network, Program, Gateway };

    // The modem's far side (its Write would clash with the port's).
    class Link : public ModemLink {
    public:
        explicit Link(ModemPort& port) : m_port(port) {}
        void Dial(const DialTarget& target) override { m_port.Dial(target); }
        void Write(const std::string& bytes) override { m_port.LinkWrite(bytes); }
        void HangUp() override { m_port.HangUp(); }

    private:
        ModemPort& m_port;
    };

    void Dial(const DialTarget& target);
    void HangUp();
    // ModemSink
    void ToHandheld(const std::string& bytes) override;
    void Note(const std::string& text) override;
    void StateChanged(ModemState state) override;

    void LinkWrite(const std::string& bytes);
    void OnNetworkLost(const PortError& error);
    void OnLinkData();
    void OnRequeuedReceive() override;

    DialDirectory m_directory;
    std::string m_settings = "9600,N,8,1";
    long m_speed = 9600;
    bool m_open = false;
    std::string m_in;
    Call m_call = Call::None;
    std::function<void(const std::string&)> m_note;
    bool m_noteShown = false;
    Link m_link{*this};
    SystemClock m_clock;
    QtTimer m_timer{[this] {
        if (m_modem) {
            m_modem->OnTimer();
        }
    }};
    NetworkPort m_network;
    PtyProcess m_program;
    PppGateway m_gateway;
    std::unique_ptr<HayesModem> m_modem;
    QObject m_context; // for the queued reads of call data: dropped first
};

} // namespace loomway
