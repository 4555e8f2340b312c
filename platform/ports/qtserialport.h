#pragma once

#include "platform/ports/portbase.h"

#include <QSerialPort>

#include <functional>
#include <string>

namespace loomway {

// A serial port over QSerialPort: 8N1 at the speed of the settings text, no
// flow control. The port number is turned into a device path by the resolver
// at every Open(), so a changed mapping takes effect at the next switch-on.
class QtSerialPort : public PortBase {
public:
    using Resolver = std::function<std::string(int)>;

    explicit QtSerialPort(Resolver resolver);
    ~QtSerialPort() override;

    void SetSettings(const std::string& settings) override;
    void Open() override;
    void Close() override;
    bool IsOpen() const override;
    std::size_t BytesWaiting() const override;
    std::string ReadAll() override;
    void Write(const std::string& data) override;
    std::size_t BytesToWrite() const override;
    std::string DeviceName() const override { return m_deviceName; }
    void Reopen() override;

    // The device path of the last Open(), for messages and tests.
    const std::string& Device() const { return m_device; }

private:
    void OnError(QSerialPort::SerialPortError error);
    bool DeviceGone() const;
    [[noreturn]] void FailOpen(PortError::Code code, const std::string& description);
    void OpenDevice(const std::string& device);
    void OnRequeuedReceive() override;
    // QSerialPort raises no readyRead while one is being handled.
    void ReceiveStarting() override;
    bool ArrivedUnsignalled() const override;
    void LostEventDue() override { m_port.clearError(); }

    Resolver m_resolver;
    qint32 m_speed = 9600;
    std::string m_device;
    std::string m_deviceName; // see DeviceName()
    static constexpr qint64 kReadBufferSize = 64 * 1024;
    qint64 m_waitingBefore = 0; // bytes waiting when the receive handler started
    qint64 m_readInHandler = 0; // bytes the running receive handler has read
    // Last, so that it goes first: its signals, whose connections touch the
    // members above, are gone before them.
    QSerialPort m_port;
};

} // namespace loomway
