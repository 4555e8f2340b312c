#pragma once

#include "config/profilefile.h"
#include "platform/ports/modemport.h"
#include "platform/ports/networkport.h"
#include "platform/ports/portbase.h"
#include "platform/ports/pppgateway.h"
#include "platform/ports/qtserialport.h"

#include <functional>
#include <string>

namespace loomway {

// One of the program's two ports. At every Open() the port number is turned
// into the text the settings give for it ([Ports] COM<n>, or the default
// device), and that text decides what answers: a serial device (QtSerialPort,
// unchanged), a tcp:, telnet: or rfc2217: endpoint (NetworkPort, connecting in
// the background), the built-in modem (modem:) or the built-in PPP gateway
// (ppp:). A text of none of these
// forms fails the opening with InvalidProperty and a description of the
// accepted forms. The events are those of the port that answers.
class RoutingSerialPort : public PortBase {
public:
    using Resolver = std::function<std::string(int)>;

    // The phonebook is the settings file the built-in modem dials from.
    RoutingSerialPort(Resolver resolver, ProfileFile& phonebook);

    void SetSettings(const std::string& settings) override;
    void Open() override;
    std::string TakeLastWords() override;
    void Close() override;
    bool IsOpen() const override { return m_active && m_active->IsOpen(); }
    std::size_t BytesWaiting() const override { return m_active ? m_active->BytesWaiting() : 0; }
    std::string ReadAll() override { return m_active ? m_active->ReadAll() : std::string(); }
    void Write(const std::string& data) override;
    void RequeueReceiveEvent() override;
    std::size_t BytesToWrite() const override { return m_active ? m_active->BytesToWrite() : 0; }
    // The serial device's name; empty for network endpoints and the modem,
    // which are not waited for.
    std::string DeviceName() const override;
    void Reopen() override;

    // The text of the last Open(), as the settings gave it.
    const std::string& Target() const { return m_target; }
    ModemPort& Modem() { return m_modem; }
    // Where the state of a PPP session goes, directly (ppp:) or through the
    // modem (a phonebook number that says ppp:).
    void SetPppNoteHandler(const std::function<void(const std::string&)>& handler);

private:
    void OnRequeuedReceive() override {} // requeued by the port that answers

    Resolver m_resolver;
    std::string m_settings = "9600,N,8,1";
    std::string m_target;
    SerialPort* m_active = nullptr;
    QtSerialPort m_serial;
    NetworkPort m_network;
    ModemPort m_modem;
    PppGateway m_gateway;
};

} // namespace loomway
