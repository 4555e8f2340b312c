#include "lines/ipv4.h"

#include "lines/pppprotocol.h"

namespace loomway::ipv4 {

using ppp::Get16;
using ppp::Put16;
using ppp::Put32;

std::uint32_t OnesSum(std::string_view bytes, std::uint32_t sum) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        sum += Get16(bytes, i);
    }
    if (bytes.size() % 2 != 0) {
        sum += static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.back())) << 8;
    }
    return sum;
}

std::uint16_t Folded(std::uint32_t sum) {
    while (sum >> 16 != 0) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::size_t HeaderSize(std::string_view ip) {
    if (ip.size() < 20 || (static_cast<unsigned char>(ip[0]) >> 4) != 4) {
        return 0;
    }
    const std::size_t size = (static_cast<unsigned char>(ip[0]) & 0x0F) * 4u;
    const std::size_t total = Get16(ip, 2);
    if (size < 20 || total < size || total > ip.size() ||
        Folded(OnesSum(ip.substr(0, size))) != 0) {
        return 0;
    }
    return size;
}

std::string Packet(unsigned char protocol, std::uint32_t from, std::uint32_t to,
                   std::string_view payload) {
    std::string ip;
    Put16(ip, 0x4500);
    Put16(ip, static_cast<std::uint32_t>(20 + payload.size()));
    Put32(ip, 0);                 // identification, no fragments
    Put16(ip, 0x4000 | protocol); // TTL 64
    Put16(ip, 0);
    Put32(ip, from);
    Put32(ip, to);
    const std::uint16_t sum = Folded(OnesSum(ip));
    ip[10] = static_cast<char>(sum >> 8);
    ip[11] = static_cast<char>(sum & 0xFF);
    ip += payload;
    return ip;
}

} // namespace loomway::ipv4
