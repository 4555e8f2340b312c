#include "lines/pppinspect.h"

#include "lines/pppprotocol.h"

#include <array>

namespace loomway {

using namespace ppp;

namespace {

constexpr std::string_view kArrow = " \xE2\x86\x92 "; // U+2192 RIGHTWARDS ARROW

std::string Hex16(std::uint16_t value) {
    const char digits[] = "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) {
        text += digits[value >> shift & 0xF];
    }
    return text;
}

std::string CodeName(std::uint16_t protocol, unsigned char code) {
    std::string_view name = PppCodeName(protocol, code);
    if (name.empty() && protocol != kPap && protocol != kChap && code >= 1 && code <= kCodeReject) {
        name = PppCodeName(kIpcp, code); // every control protocol shares these seven
    }
    return name.empty() ? "code " + std::to_string(code) : std::string(name);
}

std::string ControlName(std::uint16_t protocol) {
    switch (protocol) {
    case kLcp:
        return "LCP";
    case kPap:
        return "PAP";
    case kChap:
        return "CHAP";
    case kIpcp:
        return "IPCP";
    case kIpv6cp:
        return "IPv6CP";
    case kCcp:
        return "CCP";
    case kLqr:
        return "LQR";
    default:
        return {};
    }
}

// The first question's name of a DNS message, labels joined by dots; stops
// at a compression pointer or after 255 characters.
std::string DnsName(std::string_view dns) {
    std::string name;
    std::size_t at = 12;
    while (at < dns.size() && name.size() < 255) {
        const std::size_t length = static_cast<unsigned char>(dns[at]);
        if (length == 0 || length >= 0xC0 || length > dns.size() - at - 1) {
            break;
        }
        if (!name.empty()) {
            name += '.';
        }
        for (const char c : dns.substr(at + 1, length)) {
            name += c > ' ' && c < 0x7F ? c : '?';
        }
        at += 1 + length;
    }
    return name.empty() ? "." : name;
}

std::string DescribeIpv4(std::string_view ip) {
    if (ip.size() < 20 || (static_cast<unsigned char>(ip[0]) >> 4) != 4) {
        return "IP (malformed)";
    }
    const std::size_t header = (static_cast<unsigned char>(ip[0]) & 0xF) * 4u;
    const std::size_t total = Get16(ip, 2);
    if (header < 20 || header > ip.size() || total < header) {
        return "IP (malformed)";
    }
    ip = ip.substr(0, total); // the rest is padding
    const std::string from = Ipv4Text(Get32(ip, 12));
    const std::string to = Ipv4Text(Get32(ip, 16));
    const unsigned char protocol = static_cast<unsigned char>(ip[9]);
    const std::string_view body = ip.substr(header);
    if ((Get16(ip, 6) & 0x1FFF) != 0) {
        return "IP fragment " + from + std::string(kArrow) + to;
    }
    if ((protocol == 6 || protocol == 17) && body.size() >= 4) {
        const std::uint16_t sourcePort = Get16(body, 0);
        const std::uint16_t destinationPort = Get16(body, 2);
        std::string text = (protocol == 6 ? "IP TCP " : "IP UDP ") + from + ":" +
                           std::to_string(sourcePort) + std::string(kArrow) + to + ":" +
                           std::to_string(destinationPort);
        if (protocol == 6 && body.size() >= 14) {
            const unsigned char flags = static_cast<unsigned char>(body[13]);
            text += flags & 0x02 ? " SYN" : "";
            text += flags & 0x01 ? " FIN" : "";
            text += flags & 0x04 ? " RST" : "";
        }
        if (protocol == 17 && (sourcePort == 53 || destinationPort == 53) && body.size() >= 20) {
            const std::string_view dns = body.substr(8);
            const bool reply = (static_cast<unsigned char>(dns[2]) & 0x80) != 0;
            text += (reply ? " DNS reply " : " DNS query ") + DnsName(dns);
        }
        return text;
    }
    if (protocol == 1 && !body.empty()) {
        const unsigned char type = static_cast<unsigned char>(body[0]);
        const std::string what = type == 8    ? "echo request"
                                 : type == 0  ? "echo reply"
                                 : type == 3  ? "unreachable"
                                 : type == 11 ? "time exceeded"
                                              : "type " + std::to_string(type);
        return "IP ICMP " + what + " " + from + std::string(kArrow) + to;
    }
    return "IP proto " + std::to_string(protocol) + " " + from + std::string(kArrow) + to;
}

} // namespace

std::string_view PppCodeName(std::uint16_t protocol, std::uint8_t code) {
    if (protocol == kPap) {
        constexpr std::array<std::string_view, 4> pap = {"", "Authenticate-Request",
                                                         "Authenticate-Ack", "Authenticate-Nak"};
        return code < pap.size() ? pap[code] : std::string_view();
    }
    if (protocol == kChap) {
        constexpr std::array<std::string_view, 5> chap = {"", "Challenge", "Response", "Success",
                                                          "Failure"};
        return code < chap.size() ? chap[code] : std::string_view();
    }
    if (protocol != kLcp && protocol != kIpcp && protocol != kCcp && protocol != kIpv6cp) {
        return {};
    }
    constexpr std::array<std::string_view, 15> control = {"",
                                                          "Configure-Request",
                                                          "Configure-Ack",
                                                          "Configure-Nak",
                                                          "Configure-Reject",
                                                          "Terminate-Request",
                                                          "Terminate-Ack",
                                                          "Code-Reject",
                                                          "Protocol-Reject",
                                                          "Echo-Request",
                                                          "Echo-Reply",
                                                          "Discard-Request",
                                                          "Identification",
                                                          "Time-Remaining",
                                                          "Reset-Request"};
    if (code == 15 && protocol == kCcp) {
        return "Reset-Ack";
    }
    // Codes 8 to 13 are LCP's alone; 14 is CCP's Reset-Request.
    if ((code >= 8 && code <= 13 && protocol != kLcp) || (code == 14 && protocol != kCcp)) {
        return {};
    }
    return code < control.size() ? control[code] : std::string_view();
}

std::string DescribePppFrame(std::string_view frame) {
    std::uint16_t protocol = 0;
    std::string_view information;
    if (!SplitFrame(frame, protocol, information)) {
        return "PPP (no protocol)";
    }
    if (protocol == kIpv4) {
        return DescribeIpv4(information);
    }
    if (protocol == kIpv6) {
        return "IPv6";
    }
    const std::string name = ControlName(protocol);
    if (name.empty()) {
        return "protocol " + Hex16(protocol);
    }
    if (information.size() < 2) {
        return name + " (truncated)";
    }
    const auto code = static_cast<unsigned char>(information[0]);
    const auto id = static_cast<unsigned char>(information[1]);
    return name + " " + CodeName(protocol, code) + " id " + std::to_string(id);
}

} // namespace loomway
