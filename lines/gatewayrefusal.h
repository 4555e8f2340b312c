#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace loomway {

// With the desktop out of the handheld's reach, what it sends over TCP or UDP
// to the gateway's own address is refused as a router refuses it, at once
// rather than by silence: an ICMP destination unreachable, "communication
// administratively prohibited" (type 3, code 13), from the gateway, quoting
// the packet's IP header and the first 8 bytes after it. Nothing for any
// other packet (another address, ICMP, a fragment after the first, a damaged
// header), which then goes its usual way. Addresses in host order.
std::optional<std::string> GatewayRefusal(std::string_view ipPacket, std::uint32_t gateway);

} // namespace loomway
