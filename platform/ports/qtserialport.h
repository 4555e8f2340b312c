#pragma once

#include "core/serialport.h"

#include <QSerialPort>

#include <cstdint>
#include <functional>
#include <string>

namespace loomway {

// A serial port over QSerialPort: 8N1 at the speed of the settings text, no
// flow control. The port number is turned into a device path by the resolver
// at every Open(), so a changed mapping takes effect at the next switch-on.
// Receive and lost events come from the event loop of the thread that owns
// the port (the user-interface thread).
class QtSerialPort : public SerialPort {
public:
    using Resolver = std::function<std::string(int)>;

    explicit QtSerialPort(Resolver resolver);
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    void SetPortNumber(int number) override;
    int PortNumber() const override { return m_number; }
    void SetSettings(const std::string& settings) override;
    void Open() override;
    void Close() override;
    bool IsOpen() const override;
    std::size_t BytesWaiting() const override;
    std::string ReadAll() override;
    void Write(const std::string& data) override;

    void SetReceiveHandler(std::function<void()> handler) override;
    void RequeueReceiveEvent() override;
    void SetLostHandler(std::function<void(const PortError&)> handler) override;
    std::size_t BytesToWrite() const override;
    void SetWrittenHandler(std::function<void()> handler) override;
    std::string DeviceName() const override { return m_deviceName; }
    void Reopen() override;

    // The device path of the last Open(), for messages and tests.
    const std::string& Device() const { return m_device; }

private:
    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError error);
    void RaiseReceive();
    bool DeviceGone() const;
    [[noreturn]] void FailOpen(int code, const std::string& description);
    void OpenDevice(const std::string& device);

    Resolver m_resolver;
    int m_number = 0;
    qint32 m_speed = 9600;
    std::string m_device;
    std::string m_deviceName; // see DeviceName()
    std::function<void()> m_receive;
    std::function<void(const PortError&)> m_lost;
    std::function<void()> m_written;
    static constexpr qint64 kReadBufferSize = 64 * 1024;
    bool m_inReceive = false;
    bool m_missedReceive = false;
    qint64 m_readInHandler = 0; // bytes the running receive handler has read
    bool m_requeuePending = false;
    bool m_lostPending = false;
    std::uint64_t m_openCount = 0; // tells a queued event which opening it belongs to
    // Last, so that it goes first: queued calls that use it as their context
    // are dropped before the members they touch.
    QSerialPort m_port;
};

} // namespace loomway
