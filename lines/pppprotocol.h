#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace loomway::ppp {

// Protocol field values.
inline constexpr std::uint16_t kIpv4 = 0x0021;
inline constexpr std::uint16_t kIpv6 = 0x0057;
inline constexpr std::uint16_t kIpcp = 0x8021;
inline constexpr std::uint16_t kIpv6cp = 0x8057;
inline constexpr std::uint16_t kCcp = 0x80FD;
inline constexpr std::uint16_t kLcp = 0xC021;
inline constexpr std::uint16_t kPap = 0xC023;
inline constexpr std::uint16_t kLqr = 0xC025;
inline constexpr std::uint16_t kChap = 0xC223;

// Codes shared by LCP and the network control protocols, then LCP's own.
inline constexpr unsigned char kConfigureRequest = 1;
inline constexpr unsigned char kConfigureAck = 2;
inline constexpr unsigned char kConfigureNak = 3;
inline constexpr unsigned char kConfigureReject = 4;
inline constexpr unsigned char kTerminateRequest = 5;
inline constexpr unsigned char kTerminateAck = 6;
inline constexpr unsigned char kCodeReject = 7;
inline constexpr unsigned char kProtocolReject = 8;
inline constexpr unsigned char kEchoRequest = 9;
inline constexpr unsigned char kEchoReply = 10;
inline constexpr unsigned char kDiscardRequest = 11;

// The largest information field either side may send before MRU is agreed,
// and the one this end always accepts.
inline constexpr std::size_t kDefaultMru = 1500;

inline std::uint16_t Get16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) << 8 |
                                      static_cast<unsigned char>(bytes[at + 1]));
}

inline std::uint32_t Get32(std::string_view bytes, std::size_t at) {
    return std::uint32_t{Get16(bytes, at)} << 16 | Get16(bytes, at + 2);
}

inline void Put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value >> 8 & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

inline void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value >> 16);
    Put16(out, value);
}

// A control packet: code, identifier, length, data.
inline std::string ControlPacket(unsigned char code, unsigned char id, std::string_view data) {
    std::string packet;
    packet += static_cast<char>(code);
    packet += static_cast<char>(id);
    Put16(packet, static_cast<std::uint32_t>(data.size() + 4));
    packet += data;
    return packet;
}

// An option: type, length, value.
inline std::string Option(unsigned char type, std::string_view value) {
    std::string option;
    option += static_cast<char>(type);
    option += static_cast<char>(value.size() + 2);
    option += value;
    return option;
}

inline std::string Option32(unsigned char type, std::uint32_t value) {
    std::string bytes;
    Put32(bytes, value);
    return Option(type, bytes);
}

// One received control packet, its length field checked against what arrived:
// bytes beyond the length are padding.
struct ControlPacketView {
    unsigned char code = 0;
    unsigned char id = 0;
    std::string_view data;
    std::string_view whole; // code to the end of the data
};

// False when the packet is shorter than its header or than its length field.
inline bool ReadControlPacket(std::string_view bytes, ControlPacketView& packet) {
    if (bytes.size() < 4) {
        return false;
    }
    const std::size_t length = Get16(bytes, 2);
    if (length < 4 || length > bytes.size()) {
        return false;
    }
    packet.code = static_cast<unsigned char>(bytes[0]);
    packet.id = static_cast<unsigned char>(bytes[1]);
    packet.whole = bytes.substr(0, length);
    packet.data = packet.whole.substr(4);
    return true;
}

// Splits a frame as received into protocol and information, the address and
// control fields skipped when present and the protocol field compressed or
// not. False when no protocol field can be read (its last octet is the
// first odd one, and it has at most two).
inline bool SplitFrame(std::string_view frame, std::uint16_t& protocol,
                       std::string_view& information) {
    if (frame.substr(0, 2) == "\xFF\x03") {
        frame.remove_prefix(2);
    }
    std::size_t size = 0;
    if (!frame.empty() && (static_cast<unsigned char>(frame[0]) & 1) != 0) {
        size = 1;
    } else if (frame.size() >= 2 && (static_cast<unsigned char>(frame[1]) & 1) != 0) {
        size = 2;
    } else {
        return false;
    }
    protocol = size == 1 ? static_cast<unsigned char>(frame[0]) : Get16(frame, 0);
    information = frame.substr(size);
    return true;
}

// An IPv4 address (host order) as dotted decimal.
inline std::string Ipv4Text(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

} // namespace loomway::ppp
