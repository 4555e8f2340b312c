#include "platform/ports/routingserialport.h"

#include "lines/endpoint.h"
#include "platform/ports/portsettings.h"
#include "platform/ports/telnetwire.h"

#include <utility>

namespace loomway {

RoutingSerialPort::RoutingSerialPort(Resolver resolver, ProfileFile& phonebook)
    : PortBase("routing"), m_resolver(std::move(resolver)),
      m_serial([this](int) { return m_target; }), m_modem(phonebook), m_gateway(phonebook) {
    for (PortBase* port : {static_cast<PortBase*>(&m_serial), static_cast<PortBase*>(&m_network),
                           static_cast<PortBase*>(&m_modem), static_cast<PortBase*>(&m_gateway)}) {
        port->SetReceiveHandler([this, port] {
            if (port == m_active) {
                CallReceiveHandler();
            }
        });
        port->SetLostHandler([this, port](const PortError& error) {
            if (port == m_active) {
                CallLostHandler(error);
            }
        });
        port->SetWrittenHandler([this, port] {
            if (port == m_active) {
                RaiseWritten();
            }
        });
    }
}

void RoutingSerialPort::SetSettings(const std::string& settings) {
    CheckedSpeedOfSettings(settings); // a malformed text fails whatever answers
    if (IsOpen()) {
        m_active->SetSettings(settings);
    }
    m_settings = settings;
}

void RoutingSerialPort::Open() {
    if (IsOpen()) {
        throw PortAlreadyOpen();
    }
    m_target = m_resolver ? m_resolver(PortNumber()) : std::string();
    const EndpointParse parsed = ParseEndpoint(m_target, EndpointUse::Port);
    if (!parsed.endpoint) {
        throw PortError{PortError::Code::InvalidProperty,
                        "COM" + std::to_string(PortNumber()) + ": " + parsed.error};
    }
    const Endpoint& endpoint = *parsed.endpoint;
    SerialPort* next = &m_serial;
    switch (endpoint.kind) {
    case EndpointKind::Tcp:
    case EndpointKind::Telnet:
    case EndpointKind::Rfc2217:
        m_network.SetEndpoint(endpoint.host, endpoint.port, EndpointText(endpoint),
                              WireFor(endpoint.kind));
        next = &m_network;
        break;
    case EndpointKind::Modem:
        next = &m_modem;
        break;
    case EndpointKind::Ppp:
        next = &m_gateway;
        break;
    default:
        // A serial device goes to the serial adapter exactly as written.
        break;
    }
    m_active = next;
    m_active->SetPortNumber(PortNumber());
    m_active->SetSettings(m_settings);
    m_active->Open();
}

void RoutingSerialPort::SetPppNoteHandler(const std::function<void(const std::string&)>& handler) {
    m_gateway.SetNoteHandler(handler);
    m_modem.Gateway().SetNoteHandler(handler);
}

std::string RoutingSerialPort::TakeLastWords() {
    return m_active ? m_active->TakeLastWords() : std::string();
}

void RoutingSerialPort::Close() {
    if (m_active) {
        m_active->Close();
    }
}

void RoutingSerialPort::Write(const std::string& data) {
    if (!m_active) {
        throw PortNotOpen();
    }
    m_active->Write(data);
}

void RoutingSerialPort::RequeueReceiveEvent() {
    if (m_active) {
        m_active->RequeueReceiveEvent();
    }
}

std::string RoutingSerialPort::DeviceName() const {
    return m_active == &m_serial ? m_serial.DeviceName() : std::string();
}

void RoutingSerialPort::Reopen() {
    if (m_active == &m_serial) {
        m_serial.Reopen();
    } else {
        Open();
    }
}

} // namespace loomway
