#pragma once

#include "base/clock.h"
#include "lines/pppprotocol.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace loomway {

// The states of the option negotiation automaton (RFC 1661, 4.2).
enum class PppLayerState : unsigned char {
    Initial,
    Starting,
    Closed,
    Stopped,
    Closing,
    Stopping,
    RequestSent,
    AckReceived,
    AckSent,
    Opened
};

// Whom a negotiating layer sends through and tells when it comes up, goes
// down or is finished. These calls must not call back into the same layer.
class PppLayerOwner {
public:
    virtual ~PppLayerOwner() = default;
    virtual void SendControl(std::uint16_t protocol, const std::string& packet) = 0;
    virtual void LayerUp(std::uint16_t protocol) = 0;
    virtual void LayerDown(std::uint16_t protocol) = 0;
    virtual void LayerFinished(std::uint16_t protocol) = 0;
};

// The option negotiation automaton shared by LCP and IPCP: the state table,
// restart timer and counters. What the options mean is the subclass's.
class PppAutomaton {
public:
    static constexpr std::int64_t kRestartMicros = 3'000'000;
    static constexpr int kMaxConfigure = 10;
    static constexpr int kMaxTerminate = 2;
    static constexpr int kMaxFailure = 5;

    PppAutomaton(std::uint16_t protocol, PppLayerOwner& owner, const Clock& clock);
    virtual ~PppAutomaton() = default;
    PppAutomaton(const PppAutomaton&) = delete;
    PppAutomaton& operator=(const PppAutomaton&) = delete;

    // The administrative and lower-layer events.
    void Up();
    void Down();
    void Open();
    void Close();

    // One packet of this protocol (code, identifier, length, data).
    void Receive(std::string_view packet);
    // The peer sent a Protocol-Reject for this protocol.
    void RejectedByPeer();

    // When the restart timer runs out (steady microseconds), if it runs.
    std::optional<std::int64_t> RestartDue() const { return m_due; }
    // Call once RestartDue() has passed.
    void OnRestartTimer();

    // Back to Initial at once, no packet sent and no owner told.
    void Reset();

    PppLayerState State() const { return m_state; }
    bool IsOpened() const { return m_state == PppLayerState::Opened; }
    // Whether a Terminate-Request came since the last Reset.
    bool PeerTerminated() const { return m_peerTerminated; }

protected:
    // An answer to the peer's Configure-Request: Configure-Ack (with the
    // options as they came), or Configure-Nak or Configure-Reject with these.
    struct Verdict {
        unsigned char code = 0;
        std::string options;
    };

    // A new negotiation begins: our options back to what we want.
    virtual void ResetOptions() = 0;
    // The options of our next Configure-Request.
    virtual std::string RequestOptions() = 0;
    // Judges the peer's options; when naksAsRejects, anything it would Nak is
    // Rejected instead (Max-Failure reached). An Ack puts the peer's options
    // in force from then on.
    virtual Verdict JudgeRequest(std::string_view options, bool naksAsRejects) = 0;
    // The peer's Nak or Reject of our last request; false drops the packet
    // (it does not fit, or leaves nothing worth asking for again).
    virtual bool TakeNak(std::string_view options) = 0;
    virtual bool TakeReject(std::string_view options) = 0;
    // Codes beyond 7; true when known (otherwise a Code-Reject goes out).
    virtual bool TakeOtherCode(const ppp::ControlPacketView&) { return false; }

    void Send(unsigned char code, unsigned char id, std::string_view data);
    unsigned char NewId() { return m_nextId++; }
    std::uint16_t Protocol() const { return m_protocol; }

private:
    enum class Event : unsigned char { Ack, Nak, TerminateRequest, TerminateAck, FatalReject };

    void Handle(Event event, unsigned char id);
    void ReceiveRequest(const ppp::ControlPacketView& packet);
    void Move(PppLayerState state);
    void InitializeRestartCount(int count) { m_restartCount = count; }
    void SendConfigureRequest(bool retransmission = false);
    void SendTerminateRequest();
    void SendTerminateAck(unsigned char id);
    void SendCodeReject(std::string_view packet);
    void StartTimer();
    void ThisLayerUp();
    void ThisLayerDown();
    void ThisLayerFinished();

    std::uint16_t m_protocol;
    PppLayerOwner& m_owner;
    const Clock& m_clock;
    PppLayerState m_state = PppLayerState::Initial;
    std::optional<std::int64_t> m_due;
    int m_restartCount = 0;
    int m_failures = 0;
    unsigned char m_nextId = 1;
    unsigned char m_requestId = 0;
    std::string m_requestOptions;
    bool m_peerTerminated = false;
};

} // namespace loomway
