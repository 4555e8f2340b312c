#include "platform/ports/pppgateway.h"

#include "lines/gatewayrefusal.h"
#include "platform/ports/porterrors.h"
#include "platform/ports/portsettings.h"

#include <QMetaObject>

#include <algorithm>
#include <utility>

namespace loomway {

PppGateway::PppGateway(ProfileFile& file) : PortBase("PPP gateway"), m_file(file) {}

PppGateway::~PppGateway() {
    End();
}

void PppGateway::SetSettings(const std::string& settings) {
    CheckedSpeedOfSettings(settings); // the line's speed means nothing here
}

void PppGateway::Open() {
    if (m_server) {
        throw PortAlreadyOpen();
    }
    // No BeginOpening(), as for the built-in modem: every byte comes through
    // the queued receive event, and closing clears the bytes instead.
    m_in.clear();
    m_settings = LoadPppSettings(m_file);
    PppConfig config;
    config.gateway = m_settings.Gateway();
    config.peer = m_settings.Handheld();
    config.dns = m_settings.Dns();
    config.user = m_settings.user;
    config.password = m_settings.password;
    m_server = std::make_unique<PppServer>(config, static_cast<PppSink&>(*this), m_clock, m_timer);
    if (m_ended) {
        m_server->Start(); // a call: the answering side speaks first
    } else {
        Note("PPP: waiting for the handheld");
    }
    // After the first state, so that it stays in view until the session is up.
    if (!m_settings.problem.empty()) {
        qWarning("PPP gateway: %s", m_settings.problem.c_str());
        Note(m_settings.problem);
    }
}

std::string PppGateway::TakeLastWords() {
    if (m_server) {
        m_server->Close(); // its Terminate-Request joins what waits for the handheld
    }
    return std::exchange(m_in, {});
}

void PppGateway::Close() {
    const PppState state = State();
    // Nothing written from now on reaches the handheld: whoever switches off
    // takes the Terminate-Request first (TakeLastWords), and the session
    // ends here without waiting for its answer.
    const bool wasOpen = m_server != nullptr;
    End();
    if (state != PppState::Idle && state != PppState::Ended) {
        Note("PPP ended: closed");
    } else if (wasOpen && state == PppState::Idle) {
        Note({}); // no session was waited for any more
    }
}

void PppGateway::End() {
    m_resolver.Clear();
    m_network.reset(); // every socket of the session closed
    m_server.reset();
    m_timer.Stop();
    m_in.clear();
}

std::string PppGateway::ReadAll() {
    return std::exchange(m_in, {});
}

void PppGateway::Write(const std::string& data) {
    if (!m_server) {
        throw PortNotOpen();
    }
    const PppState state = m_server->State();
    if (state == PppState::Idle || state == PppState::Ended) {
        if (m_ended) {
            return; // the owner is hanging up
        }
        m_server->Start();
    }
    m_server->ReceiveFromLine(data);
}

void PppGateway::RequeueReceiveEvent() {
    if (!m_in.empty()) {
        PortBase::RequeueReceiveEvent();
    }
}

void PppGateway::OnRequeuedReceive() {
    if (m_server && !m_in.empty()) {
        OnArrival();
    }
}

void PppGateway::SendToLine(std::string_view bytes) {
    m_in.append(bytes);
    // Queued also from inside the pump's own handler: the receive event never nests.
    RequeueReceiveEvent();
}

void PppGateway::DeliverIpPacket(std::string_view packet) {
    if (const std::optional<DnsQuestion> question = ReadDnsQuestion(packet, m_settings.Dns())) {
        m_resolver.Ask(*question);
    } else if (std::optional<std::string> refusal;
               !m_settings.desktop && (refusal = GatewayRefusal(packet, m_settings.Gateway()))) {
        ToHandheld(*refusal);
    } else if (m_network) {
        m_network->Input(packet);
    }
}

void PppGateway::ToHandheld(std::string_view packet) {
    if (m_server && m_in.size() < kInLimit) {
        m_server->SendIpPacket(packet);
    }
}

void PppGateway::OnStateChanged(PppState state, const std::string& detail) {
    switch (state) {
    case PppState::Idle:
        return;
    case PppState::Negotiating:
        Note("PPP: negotiating");
        return;
    case PppState::Authenticating:
        Note("PPP: checking the password");
        return;
    case PppState::Online:
        if (!m_network) {
            SlirpNetwork::Addresses addresses;
            addresses.network = m_settings.network;
            addresses.mask = m_settings.Mask();
            addresses.gateway = m_settings.Gateway();
            addresses.dns = m_settings.Dns();
            addresses.handheld = m_settings.Handheld();
            addresses.mtu = std::min<std::size_t>(m_server->PeerMru(), 1500);
            addresses.desktopLoopback = m_settings.desktop;
            m_network = std::make_unique<SlirpNetwork>(
                addresses, [this](std::string_view packet) { ToHandheld(packet); });
        }
        Note("Online as " + detail);
        return;
    case PppState::Ended:
        // Never reported from inside libslirp, which is gone after this.
        m_resolver.Clear();
        m_network.reset();
        Note("PPP ended: " + detail);
        if (m_ended) {
            QMetaObject::invokeMethod(
                &m_context,
                [this] {
                    if (m_server && m_server->State() == PppState::Ended && m_ended) {
                        m_ended();
                    }
                },
                Qt::QueuedConnection);
        }
        return;
    }
}

void PppGateway::Note(const std::string& text) {
    if (m_note) {
        m_note(text);
    } else {
        qInfo("PPP gateway: %s", text.c_str());
    }
}

} // namespace loomway
