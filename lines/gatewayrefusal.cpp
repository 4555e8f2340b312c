#include "lines/gatewayrefusal.h"

#include "lines/ipv4.h"
#include "lines/pppprotocol.h"

#include <algorithm>

namespace loomway {

namespace {

constexpr unsigned char kUnreachable = 3;
constexpr unsigned char kProhibited = 13;
constexpr std::size_t kQuotedPayload = 8;

} // namespace

std::optional<std::string> GatewayRefusal(std::string_view ip, std::uint32_t gateway) {
    const std::size_t headerSize = ipv4::HeaderSize(ip);
    if (headerSize == 0) {
        return std::nullopt;
    }
    const auto protocol = static_cast<unsigned char>(ip[9]);
    if ((protocol != ipv4::kTcp && protocol != ipv4::kUdp) || ppp::Get32(ip, 16) != gateway ||
        (ppp::Get16(ip, 6) & 0x1FFF) != 0) {
        return std::nullopt;
    }
    const std::size_t total = ppp::Get16(ip, 2);
    std::string icmp;
    icmp += static_cast<char>(kUnreachable);
    icmp += static_cast<char>(kProhibited);
    ppp::Put16(icmp, 0);
    ppp::Put32(icmp, 0);
    icmp += ip.substr(0, std::min(total, headerSize + kQuotedPayload));
    const std::uint16_t sum = ipv4::Folded(ipv4::OnesSum(icmp));
    icmp[2] = static_cast<char>(sum >> 8);
    icmp[3] = static_cast<char>(sum & 0xFF);
    return ipv4::Packet(ipv4::kIcmp, gateway, ppp::Get32(ip, 12), icmp);
}

} // namespace loomway
