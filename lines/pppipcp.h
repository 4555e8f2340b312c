#pragma once

#include "lines/pppautomaton.h"

#include <cstdint>

namespace loomway {

// The IP Control Protocol (RFC 1332, with the DNS options of RFC 1877).
// The peer gets peerAddress: a request for any other (0.0.0.0 included) is
// Nak'd with it, and a request without one gets it suggested. Primary and
// secondary DNS (129, 131) are Nak'd with dns until asked for as that.
// IP-Compression-Protocol and every other option are rejected. Our own
// request carries ownAddress.
class PppIpcp : public PppAutomaton {
public:
    PppIpcp(PppLayerOwner& owner, const Clock& clock, std::uint32_t ownAddress,
            std::uint32_t peerAddress, std::uint32_t dns);

    std::uint32_t PeerAddress() const { return m_peerAddress; }

protected:
    void ResetOptions() override { m_sendAddress = true; }
    std::string RequestOptions() override;
    Verdict JudgeRequest(std::string_view options, bool naksAsRejects) override;
    bool TakeNak(std::string_view) override { return true; } // our address is not negotiable
    bool TakeReject(std::string_view options) override;

private:
    std::uint32_t m_ownAddress;
    std::uint32_t m_peerAddress;
    std::uint32_t m_dns;
    bool m_sendAddress = true;
};

} // namespace loomway
