#include "platform/ports/routingserialport.h"

#include "lines/endpoint.h"
#include "platform/ports/portsettings.h"
#include "platform/ports/telnetwire.h"

#include <utility>

namespace loomway {

RoutingSerialPort::RoutingSerialPort(Resolver resolver, ProfileFile& phonebook)
    : m_resolver(std::move(resolver)), m_serial([this](int) { return m_target; }),
      m_modem(phonebook) {
    for (SerialPort* port :
         {static_cast<SerialPort*>(&m_serial), static_cast<SerialPort*>(&m_network),
          static_cast<SerialPort*>(&m_modem)}) {
        port->SetReceiveHandler([this, port] {
            if (port == m_active && m_receive) {
                m_receive();
            }
        });
        port->SetLostHandler([this, port](const PortError& error) {
            if (port == m_active && m_lost) {
                m_lost(error);
            }
        });
        port->SetWrittenHandler([this, port] {
            if (port == m_active && m_written) {
                m_written();
            }
        });
    }
}

void RoutingSerialPort::SetPortNumber(int number) {
    if (number < 0) {
        throw InvalidProperty();
    }
    if (IsOpen()) {
        throw PortAlreadyOpen();
    }
    m_number = number;
}

void RoutingSerialPort::SetSettings(const std::string& settings) {
    CheckedSpeedOfSettings(settings);
    if (IsOpen()) {
        m_active->SetSettings(settings);
    }
    m_settings = settings;
}

void RoutingSerialPort::Open() {
    if (IsOpen()) {
        throw PortAlreadyOpen();
    }
    m_target = m_resolver ? m_resolver(m_number) : std::string();
    const EndpointParse parsed = ParseEndpoint(m_target, EndpointUse::Port);
    if (!parsed.endpoint) {
        throw PortError{PortError::Code::InvalidProperty,
                        "COM" + std::to_string(m_number) + ": " + parsed.error};
    }
    const Endpoint& endpoint = *parsed.endpoint;
    SerialPort* next = &m_serial;
    switch (endpoint.kind) {
    case EndpointKind::Tcp:
        m_network.SetEndpoint(endpoint.host, endpoint.port, EndpointText(endpoint),
                              std::make_unique<RawWire>());
        next = &m_network;
        break;
    case EndpointKind::Telnet:
        m_network.SetEndpoint(endpoint.host, endpoint.port, EndpointText(endpoint),
                              std::make_unique<TelnetWire>());
        next = &m_network;
        break;
    case EndpointKind::Rfc2217:
        m_network.SetEndpoint(endpoint.host, endpoint.port, EndpointText(endpoint),
                              std::make_unique<Rfc2217Wire>());
        next = &m_network;
        break;
    case EndpointKind::Modem:
        next = &m_modem;
        break;
    default:
        // A serial device goes to the serial adapter exactly as written.
        break;
    }
    m_active = next;
    m_active->SetPortNumber(m_number);
    m_active->SetSettings(m_settings);
    m_active->Open();
}

void RoutingSerialPort::Close() {
    if (m_active) {
        m_active->Close();
    }
}

bool RoutingSerialPort::IsOpen() const {
    return m_active && m_active->IsOpen();
}

std::size_t RoutingSerialPort::BytesWaiting() const {
    return m_active ? m_active->BytesWaiting() : 0;
}

std::string RoutingSerialPort::ReadAll() {
    return m_active ? m_active->ReadAll() : std::string();
}

void RoutingSerialPort::Write(const std::string& data) {
    if (!m_active) {
        throw PortNotOpen();
    }
    m_active->Write(data);
}

void RoutingSerialPort::SetReceiveHandler(std::function<void()> handler) {
    m_receive = std::move(handler);
}

void RoutingSerialPort::RequeueReceiveEvent() {
    if (m_active) {
        m_active->RequeueReceiveEvent();
    }
}

void RoutingSerialPort::SetLostHandler(std::function<void(const PortError&)> handler) {
    m_lost = std::move(handler);
}

std::size_t RoutingSerialPort::BytesToWrite() const {
    return m_active ? m_active->BytesToWrite() : 0;
}

void RoutingSerialPort::SetWrittenHandler(std::function<void()> handler) {
    m_written = std::move(handler);
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
