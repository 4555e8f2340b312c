#pragma once

#include "lines/pppautomaton.h"
#include "lines/ppprandom.h"

#include <cstdint>

namespace loomway {

enum class PppAuthProtocol : unsigned char { None, Pap, Chap };

// The Link Control Protocol: negotiates MRU, ACCM, Authentication-Protocol,
// Magic-Number, PFC and ACFC, answers Echo-Requests, and notices a line that
// loops our own requests back.
//
// We ask for ACCM 0, a Magic-Number, PFC and ACFC, and, when authentication
// is wanted, for CHAP with MD5 or PAP. From the peer we take MRU (64 or more),
// ACCM, Magic-Number, PFC and ACFC; we reject Authentication-Protocol (we
// have nothing to authenticate with) and every other option.
class PppLcp : public PppAutomaton {
public:
    // A line that gave us our own Magic-Number this many times is looped back.
    static constexpr int kLoopLimit = 3;

    PppLcp(PppLayerOwner& owner, const Clock& clock, PppRandom& random);

    // The protocol to ask for first (the other one of PAP and CHAP is offered
    // when the peer Naks it); None asks for no authentication.
    void SetAuthentication(PppAuthProtocol first) { m_authFirst = first; }

    // What was agreed, for use while the layer is Opened.
    PppAuthProtocol AgreedAuth() const { return m_auth; }
    std::uint32_t PeerAccm() const { return m_peer.accm; } // escape these toward the peer
    std::uint32_t ReceiveAccm() const { return m_sendAccm ? m_accm : 0xFFFFFFFF; }
    std::size_t PeerMru() const { return m_peer.mru; }
    bool PeerTakesCompressedProtocol() const { return m_peer.pfc; }
    bool PeerTakesCompressedAddress() const { return m_peer.acfc; }

    // The peer refused every authentication protocol we offered.
    bool AuthRefused() const { return m_authRefused; }
    bool LoopedBack() const { return m_loops >= kLoopLimit; }

    void SendEchoRequest();
    // Tells the peer that protocol is not spoken here, with as much of the
    // information as its MRU takes.
    void SendProtocolReject(std::uint16_t protocol, std::string_view information);

protected:
    void ResetOptions() override;
    std::string RequestOptions() override;
    Verdict JudgeRequest(std::string_view options, bool naksAsRejects) override;
    bool TakeNak(std::string_view options) override;
    bool TakeReject(std::string_view options) override;
    bool TakeOtherCode(const ppp::ControlPacketView& packet) override;

private:
    struct PeerOptions {
        std::size_t mru = ppp::kDefaultMru;
        std::uint32_t accm = 0xFFFFFFFF;
        bool pfc = false;
        bool acfc = false;
    };

    void TryOtherAuth(PppAuthProtocol suggested);

    PppRandom& m_random;
    PppAuthProtocol m_authFirst = PppAuthProtocol::None;
    PppAuthProtocol m_auth = PppAuthProtocol::None;
    bool m_otherAuthTried = false;
    bool m_authRefused = false;
    bool m_sendAccm = true;
    std::uint32_t m_accm = 0;
    bool m_sendMagic = true;
    std::uint32_t m_magic = 0;
    bool m_sendPfc = true;
    bool m_sendAcfc = true;
    int m_loops = 0;
    PeerOptions m_peer;
};

} // namespace loomway
