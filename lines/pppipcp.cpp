#include "lines/pppipcp.h"

#include "lines/pppoptions.h"

namespace loomway {

using namespace ppp;

namespace {

constexpr unsigned char kIpAddress = 3;
constexpr unsigned char kPrimaryDns = 129;
constexpr unsigned char kSecondaryDns = 131;

} // namespace

PppIpcp::PppIpcp(PppLayerOwner& owner, const Clock& clock, std::uint32_t ownAddress,
                 std::uint32_t peerAddress, std::uint32_t dns)
    : PppAutomaton(kIpcp, owner, clock), m_ownAddress(ownAddress), m_peerAddress(peerAddress),
      m_dns(dns) {}

std::string PppIpcp::RequestOptions() {
    return m_sendAddress ? Option32(kIpAddress, m_ownAddress) : std::string();
}

PppAutomaton::Verdict PppIpcp::JudgeRequest(std::string_view options, bool naksAsRejects) {
    std::string naks, naked, rejects;
    bool address = false;
    PppOptionReader reader(options);
    PppOption o;
    while (reader.Next(o)) {
        const bool known = o.type == kIpAddress || o.type == kPrimaryDns || o.type == kSecondaryDns;
        if (!known || o.value.size() != 4) {
            rejects += o.whole;
            continue;
        }
        address = address || o.type == kIpAddress;
        const std::uint32_t wanted = o.type == kIpAddress ? m_peerAddress : m_dns;
        if (Get32(o.value, 0) != wanted) {
            naks += Option32(o.type, wanted);
            naked += o.whole;
        }
    }
    if (!rejects.empty() || (!naks.empty() && naksAsRejects)) {
        return {kConfigureReject, rejects.empty() ? naked : rejects};
    }
    if (!address && !naksAsRejects) {
        naks += Option32(kIpAddress, m_peerAddress);
    }
    if (!naks.empty()) {
        return {kConfigureNak, naks};
    }
    return {kConfigureAck, {}};
}

bool PppIpcp::TakeReject(std::string_view options) {
    PppOptionReader reader(options);
    PppOption o;
    while (reader.Next(o)) {
        if (o.type == kIpAddress) {
            m_sendAddress = false;
        }
    }
    return true;
}

} // namespace loomway
