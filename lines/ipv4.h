#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// IPv4 packets as the gateway's own answers read and write them. Addresses
// are in host order.
namespace loomway::ipv4 {

inline constexpr unsigned char kIcmp = 1;
inline constexpr unsigned char kTcp = 6;
inline constexpr unsigned char kUdp = 17;

// The ones' complement sum of 16-bit words (an odd last byte padded with a
// zero), added to sum.
std::uint32_t OnesSum(std::string_view bytes, std::uint32_t sum = 0);
// The checksum of such a sum: 0 when the bytes summed held a right one.
std::uint16_t Folded(std::uint32_t sum);
// The header size of the undamaged IPv4 packet that ip holds (version 4, a
// header of 20 bytes or more, its total length within ip, its header
// checksum right); 0 for anything else.
std::size_t HeaderSize(std::string_view ip);
// A packet of its own: no options, not fragmented, TTL 64, checksum made.
std::string Packet(unsigned char protocol, std::uint32_t from, std::uint32_t to,
                   std::string_view payload);

} // namespace loomway::ipv4
