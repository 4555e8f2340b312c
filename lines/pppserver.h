#pragma once

#include "base/clock.h"
#include "lines/pppauth.h"
#include "lines/pppframing.h"
#include "lines/pppipcp.h"
#include "lines/ppplcp.h"
#include "lines/ppprandom.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace loomway {

enum class PppState : unsigned char { Idle, Negotiating, Authenticating, Online, Ended };

struct PppConfig {
    std::uint32_t gateway = 0x0A000202; // our own address, 10.0.2.2
    std::uint32_t peer = 0x0A00020F;    // the handheld's, 10.0.2.15
    std::uint32_t dns = 0x0A000203;     // 10.0.2.3
    // Both empty: no authentication. Otherwise the peer must give exactly these.
    std::string user;
    std::string password;
    PppAuthProtocol auth = PppAuthProtocol::Chap; // asked for first; the peer may pick the other
    // Seeds the magic numbers and CHAP challenges; 0 takes a seed from
    // std::random_device. Tests and fuzzing fix it.
    std::uint64_t seed = 0;
};

// Where the server's output goes. None of these may call back into the
// server, except SendIpPacket from inside DeliverIpPacket.
class PppSink {
public:
    virtual ~PppSink() = default;
    virtual void SendToLine(std::string_view bytes) = 0;
    // One IPv4 packet from the handheld.
    virtual void DeliverIpPacket(std::string_view packet) = 0;
    // detail: for Online the handheld's address ("10.0.2.15"); for Ended why:
    // "closed" (Close()), "terminated by peer", "wrong password" (name or
    // password), "handheld refused to authenticate", "handheld did not
    // authenticate", "peer stopped answering" (echoes), "looped back", "no
    // answer from the handheld" (LCP gave up), "IP negotiation failed".
    virtual void OnStateChanged(PppState state, const std::string& detail) = 0;
};

struct PppCounters {
    std::uint64_t badFcs = 0;  // frames with a wrong FCS, dropped
    std::uint64_t tooLong = 0; // frames over the MRU, dropped
    std::uint64_t aborted = 0; // frames ended by 0x7D 0x7E
    std::uint64_t dropped = 0; // good frames not taken: bad protocol field, wrong phase
    std::uint64_t protocolRejects = 0;
    std::uint64_t ipIn = 0;
    std::uint64_t ipOut = 0;
};

// A PPP server on one asynchronous line, bytes in and bytes out: LCP, then
// PAP or CHAP when a user or password is configured, then IPCP; IPv4 packets
// cross once IPCP is open. Protocols it does not speak are Protocol-Rejected.
// An LCP Echo-Request goes out after 10 s without a frame from the peer;
// after 3 such without answer the session ends. When the peer terminates,
// Ended comes one restart time (3 s) after our Terminate-Ack, as RFC 1661
// asks; no IP crosses meanwhile.
class PppServer : private PppLayerOwner {
public:
    static constexpr std::int64_t kEchoIntervalMicros = 10'000'000;
    static constexpr int kMaxEchoesUnanswered = 3;

    PppServer(const PppConfig& config, PppSink& sink, const Clock& clock, Timer& timer);

    // Begins a session (sends our Configure-Request); also after Ended.
    void Start();
    void ReceiveFromLine(std::string_view bytes);
    // An IPv4 packet toward the handheld; false (dropped) unless IPCP is open
    // and the packet fits the handheld's MRU.
    bool SendIpPacket(std::string_view packet);
    // The timer fired.
    void OnTimer();
    // Ends the session: Terminate-Request, then Ended ("closed").
    void Close();

    PppState State() const { return m_state; }
    std::uint32_t PeerAddress() const { return m_config.peer; }
    std::size_t PeerMru() const { return m_lcp.PeerMru(); }
    PppCounters Counters() const;

private:
    void SendControl(std::uint16_t protocol, const std::string& packet) override;
    void LayerUp(std::uint16_t protocol) override;
    void LayerDown(std::uint16_t protocol) override;
    void LayerFinished(std::uint16_t protocol) override;

    bool Running() const { return m_state != PppState::Idle && m_state != PppState::Ended; }
    bool AuthWanted() const { return !m_config.user.empty() || !m_config.password.empty(); }
    bool NetworkPhase() const {
        return m_lcp.IsOpened() && (!AuthWanted() || m_auth.Result() == PppAuthResult::Passed);
    }
    void HandleFrame(std::string_view frame);
    void HandleProtocolReject(std::string_view packet);
    void SendFrame(std::uint16_t protocol, std::string_view information);
    void SendProtocolReject(std::uint16_t protocol, std::string_view information);
    void Echo(std::int64_t now);
    void CloseSession(const std::string& reason);
    void Settle();
    void Finish(const std::string& reason);
    void Report(PppState state, const std::string& detail);
    void Rearm();

    PppConfig m_config;
    PppSink& m_sink;
    const Clock& m_clock;
    Timer& m_timer;
    PppRandom m_random;
    PppLcp m_lcp;
    PppIpcp m_ipcp;
    PppAuthenticator m_auth;
    PppFrameReader m_reader;
    PppState m_state = PppState::Idle;
    std::string m_endReason;
    bool m_closing = false;
    bool m_networkStarted = false;
    bool m_ipcpFinished = false;
    std::int64_t m_lastHeard = 0;
    std::optional<std::int64_t> m_echoDue;
    int m_echoesUnanswered = 0;
    std::optional<std::int64_t> m_armed;
    PppCounters m_counters;
};

} // namespace loomway
