#pragma once

#include "config/profilefile.h"
#include "core/serialport.h"
#include "platform/ports/modemport.h"
#include "platform/ports/networkport.h"
#include "platform/ports/qtserialport.h"

#include <functional>
#include <string>

namespace loomway {

// One of the program's two ports. At every Open() the port number is turned
// into the text the settings give for it ([Ports] COM<n>, or the default
// device), and that text decides what answers: a serial device (QtSerialPort,
// unchanged), a tcp:, telnet: or rfc2217: endpoint (NetworkPort, connecting in
// the background), or the built-in modem (modem:). A text of none of these
// forms fails the opening with 380 and a description of the accepted forms.
class RoutingSerialPort : public SerialPort {
public:
    using Resolver = std::function<std::string(int)>;

    // The phonebook is the settings file the built-in modem dials from.
    RoutingSerialPort(Resolver resolver, ProfileFile& phonebook);
    RoutingSerialPort(const RoutingSerialPort&) = delete;
    RoutingSerialPort& operator=(const RoutingSerialPort&) = delete;

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
    // The serial device's name; empty for network endpoints and the modem,
    // which are not waited for.
    std::string DeviceName() const override;
    void Reopen() override;

    // The text of the last Open(), as the settings gave it.
    const std::string& Target() const { return m_target; }
    ModemPort& Modem() { return m_modem; }

private:
    Resolver m_resolver;
    int m_number = 0;
    std::string m_settings = "9600,N,8,1";
    std::string m_target;
    SerialPort* m_active = nullptr;
    std::function<void()> m_receive;
    std::function<void(const PortError&)> m_lost;
    std::function<void()> m_written;
    QtSerialPort m_serial;
    NetworkPort m_network;
    ModemPort m_modem;
};

} // namespace loomway
