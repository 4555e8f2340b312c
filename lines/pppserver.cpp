#include "lines/pppserver.h"

#include <random>

namespace loomway {

using namespace ppp;

namespace {

// The frame content we take: address and control, a 2-byte protocol, the
// information up to our MRU, with room to spare.
constexpr std::size_t kMaxFrameContent = kDefaultMru + 8;

std::uint64_t Seed(std::uint64_t configured) {
    if (configured != 0) {
        return configured;
    }
    std::random_device device;
    return std::uint64_t{device()} << 32 | device();
}

bool Finished(PppLayerState state) {
    return state == PppLayerState::Initial || state == PppLayerState::Starting ||
           state == PppLayerState::Closed || state == PppLayerState::Stopped;
}

} // namespace

PppServer::PppServer(const PppConfig& config, PppSink& sink, const Clock& clock, Timer& timer)
    : m_config(config), m_sink(sink), m_clock(clock), m_timer(timer), m_random(Seed(config.seed)),
      m_lcp(*this, clock, m_random), m_ipcp(*this, clock, config.gateway, config.peer, config.dns),
      m_auth(*this, clock), m_reader(kMaxFrameContent) {}

void PppServer::Start() {
    if (Running()) {
        return;
    }
    m_lcp.Reset();
    m_ipcp.Reset();
    m_auth.Reset();
    m_reader.Clear();
    m_endReason.clear();
    m_closing = false;
    m_networkStarted = false;
    m_ipcpFinished = false;
    m_echoDue.reset();
    m_lcp.SetAuthentication(AuthWanted() ? m_config.auth : PppAuthProtocol::None);
    Report(PppState::Negotiating, {});
    m_lcp.Open();
    m_lcp.Up();
    Settle();
}

void PppServer::ReceiveFromLine(std::string_view bytes) {
    for (const char c : bytes) {
        if (!Running()) {
            return;
        }
        if (m_reader.Push(static_cast<unsigned char>(c))) {
            HandleFrame(m_reader.Frame());
            Settle();
            m_reader.SetReceiveAccm(m_lcp.IsOpened() ? m_lcp.ReceiveAccm() : kPppAllControls);
        }
    }
}

void PppServer::HandleFrame(std::string_view frame) {
    std::uint16_t protocol = 0;
    std::string_view information;
    if (!SplitFrame(frame, protocol, information)) {
        ++m_counters.dropped;
        return;
    }
    m_lastHeard = m_clock.SteadyMicros();
    m_echoesUnanswered = 0;

    if (protocol == kLcp) {
        if (m_lcp.IsOpened() && !information.empty() && information[0] == kProtocolReject) {
            HandleProtocolReject(information);
        }
        m_lcp.Receive(information);
    } else if (!m_lcp.IsOpened()) {
        ++m_counters.dropped; // only LCP until the link is established
    } else if (protocol == kPap || protocol == kChap) {
        m_auth.Receive(protocol, information);
    } else if (protocol == kIpcp) {
        if (NetworkPhase()) {
            m_ipcp.Receive(information);
        } else {
            ++m_counters.dropped;
        }
    } else if (protocol == kIpv4) {
        if (m_ipcp.IsOpened()) {
            ++m_counters.ipIn;
            m_sink.DeliverIpPacket(information);
        } else {
            ++m_counters.dropped;
        }
    } else {
        ++m_counters.protocolRejects;
        m_lcp.SendProtocolReject(protocol, information);
    }
}

void PppServer::HandleProtocolReject(std::string_view packet) {
    ControlPacketView view;
    if (!ReadControlPacket(packet, view) || view.data.size() < 2) {
        return;
    }
    const std::uint16_t rejected = Get16(view.data, 0);
    if (rejected == kIpcp) {
        m_ipcp.RejectedByPeer();
    } else if (rejected == kPap || rejected == kChap) {
        CloseSession("handheld refused to authenticate");
    }
}

bool PppServer::SendIpPacket(std::string_view packet) {
    if (!m_ipcp.IsOpened() || packet.empty() || packet.size() > m_lcp.PeerMru()) {
        ++m_counters.dropped;
        return false;
    }
    ++m_counters.ipOut;
    SendFrame(kIpv4, packet);
    return true;
}

void PppServer::SendControl(std::uint16_t protocol, const std::string& packet) {
    SendFrame(protocol, packet);
}

void PppServer::SendFrame(std::uint16_t protocol, std::string_view information) {
    // LCP goes out uncompressed, and its negotiation packets (codes 1 to 7)
    // with every control character escaped, whatever was agreed.
    const bool opened = m_lcp.IsOpened();
    const bool lcp = protocol == kLcp;
    const bool negotiation =
        lcp && !information.empty() && static_cast<unsigned char>(information[0]) <= kCodeReject;
    std::string content;
    content.reserve(information.size() + 4);
    if (!opened || lcp || !m_lcp.PeerTakesCompressedAddress()) {
        content += "\xFF\x03";
    }
    if (opened && !lcp && m_lcp.PeerTakesCompressedProtocol() && protocol < 0x100) {
        content += static_cast<char>(protocol);
    } else {
        Put16(content, protocol);
    }
    content += information;
    m_sink.SendToLine(
        EncodePppFrame(content, opened && !negotiation ? m_lcp.PeerAccm() : kPppAllControls));
}

void PppServer::LayerUp(std::uint16_t protocol) {
    if (protocol == kIpcp) {
        Report(PppState::Online, Ipv4Text(m_config.peer));
        return;
    }
    m_lastHeard = m_clock.SteadyMicros();
    m_echoesUnanswered = 0;
    m_echoDue = m_lastHeard + kEchoIntervalMicros;
    if (AuthWanted()) {
        std::string challenge;
        while (challenge.size() < PppAuthenticator::kChallengeSize) {
            const std::uint32_t r = m_random.Next();
            challenge.append({static_cast<char>(r), static_cast<char>(r >> 8),
                              static_cast<char>(r >> 16), static_cast<char>(r >> 24)});
        }
        Report(PppState::Authenticating, {});
        m_auth.Begin(m_lcp.AgreedAuth(), m_config.user, m_config.password, challenge,
                     static_cast<unsigned char>(m_random.Next()));
    }
}

void PppServer::LayerDown(std::uint16_t protocol) {
    if (protocol == kLcp) {
        m_ipcp.Down();
        m_ipcp.Reset();
        m_auth.Reset();
        m_networkStarted = false;
        m_echoDue.reset();
    }
    const PppLayerState lcp = m_lcp.State();
    if (!m_closing && lcp != PppLayerState::Closing && lcp != PppLayerState::Stopping) {
        Report(PppState::Negotiating, {});
    }
}

void PppServer::LayerFinished(std::uint16_t protocol) {
    if (protocol == kIpcp) {
        m_ipcpFinished = true;
    }
}

void PppServer::OnTimer() {
    m_armed.reset();
    auto due = [this](std::optional<std::int64_t> when) {
        return Running() && when && *when <= m_clock.SteadyMicros();
    };
    if (due(m_lcp.RestartDue())) {
        m_lcp.OnRestartTimer();
        Settle();
    }
    if (due(m_ipcp.RestartDue())) {
        m_ipcp.OnRestartTimer();
        Settle();
    }
    if (due(m_auth.Due())) {
        m_auth.OnTimer();
        Settle();
    }
    if (due(m_echoDue)) {
        Echo(m_clock.SteadyMicros());
        Settle();
    }
    Rearm();
}

void PppServer::Echo(std::int64_t now) {
    if (m_lastHeard + kEchoIntervalMicros > now) {
        m_echoDue = m_lastHeard + kEchoIntervalMicros; // heard from since
    } else if (m_echoesUnanswered >= kMaxEchoesUnanswered) {
        Finish("peer stopped answering");
    } else {
        m_lcp.SendEchoRequest();
        ++m_echoesUnanswered;
        m_echoDue = now + kEchoIntervalMicros;
    }
}

void PppServer::Close() {
    if (Running()) {
        CloseSession("closed");
        Settle();
    }
}

void PppServer::CloseSession(const std::string& reason) {
    if (m_endReason.empty()) {
        m_endReason = reason;
    }
    if (!m_closing) {
        m_closing = true;
        m_lcp.Close();
    }
}

// Acts on what the last event left behind, outside the layers' own calls.
void PppServer::Settle() {
    if (!Running()) {
        return;
    }
    if (m_lcp.LoopedBack()) {
        Finish("looped back");
        return;
    }
    if (m_lcp.AuthRefused()) {
        CloseSession("handheld refused to authenticate");
    }
    if (m_lcp.IsOpened() && AuthWanted()) {
        const PppAuthResult result = m_auth.Result();
        if (result == PppAuthResult::Failed) {
            CloseSession("wrong password");
        } else if (result == PppAuthResult::NoAnswer) {
            CloseSession("handheld did not authenticate");
        }
    }
    if (NetworkPhase() && !m_networkStarted && !m_closing) {
        m_networkStarted = true;
        Report(PppState::Negotiating, {});
        m_ipcp.Open();
        m_ipcp.Up();
    }
    if (m_ipcpFinished) {
        m_ipcpFinished = false;
        CloseSession(m_ipcp.PeerTerminated() ? "terminated by peer" : "IP negotiation failed");
    }
    if (Finished(m_lcp.State())) {
        Finish(!m_endReason.empty()     ? m_endReason
               : m_lcp.PeerTerminated() ? "terminated by peer"
                                        : "no answer from the handheld");
        return;
    }
    Rearm();
}

void PppServer::Finish(const std::string& reason) {
    m_lcp.Reset();
    m_ipcp.Reset();
    m_auth.Reset();
    m_echoDue.reset();
    m_armed.reset();
    m_timer.Stop();
    Report(PppState::Ended, reason);
}

void PppServer::Report(PppState state, const std::string& detail) {
    if (state != m_state) {
        m_state = state;
        m_sink.OnStateChanged(state, detail);
    }
}

void PppServer::Rearm() {
    std::optional<std::int64_t> next;
    for (const auto& due : {m_lcp.RestartDue(), m_ipcp.RestartDue(), m_auth.Due(), m_echoDue}) {
        if (due && (!next || *due < *next)) {
            next = due;
        }
    }
    if (next == m_armed) {
        return;
    }
    m_armed = next;
    if (!next) {
        m_timer.Stop();
        return;
    }
    const std::int64_t micros = *next - m_clock.SteadyMicros();
    m_timer.Start(micros <= 0 ? 0 : (micros + 999) / 1000);
}

PppCounters PppServer::Counters() const {
    PppCounters counters = m_counters;
    counters.badFcs = m_reader.BadFcs();
    counters.tooLong = m_reader.TooLong();
    counters.aborted = m_reader.Aborted();
    return counters;
}

} // namespace loomway
