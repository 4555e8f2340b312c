#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace loomway {

// Names one PPP frame as decoded from the line (address and control fields
// optional, protocol field compressed or not, no FCS) in one short line, for
// the traffic monitor: "LCP Configure-Request id 1", "PAP Authenticate-Ack
// id 7", "IP TCP 10.0.2.15:1025 → 93.184.216.34:80 SYN", "IP UDP
// 10.0.2.15:1026 → 10.0.2.3:53 DNS query example.org", "IP ICMP echo request
// 10.0.2.15 → 10.0.2.2". Reads nothing past the end, whatever the bytes.
std::string DescribePppFrame(std::string_view frame);

// "Configure-Request", ... for a code of the PPP control protocols (LCP, IPCP,
// CCP, IPV6CP: RFC 1661 codes; PAP and CHAP have codes of their own); empty
// when unknown.
std::string_view PppCodeName(std::uint16_t protocol, std::uint8_t code);

} // namespace loomway
