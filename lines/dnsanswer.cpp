#include "lines/dnsanswer.h"

#include "base/asciitext.h"
#include "lines/ipv4.h"
#include "lines/pppprotocol.h"

namespace loomway {

using ipv4::Folded;
using ipv4::OnesSum;
using ppp::Get16;
using ppp::Get32;
using ppp::Put16;
using ppp::Put32;

namespace {

constexpr unsigned char kUdp = ipv4::kUdp;
constexpr std::uint16_t kDnsPort = 53;
constexpr std::uint16_t kClassIn = 1;
constexpr std::size_t kUdpHeader = 8;
constexpr std::size_t kDnsHeader = 12;
constexpr std::size_t kMaxAnswers = 8;
constexpr std::uint32_t kTtlSeconds = 60;

bool IsNameByte(char c) {
    return IsLetter(c) || IsDigit(c) || c == '-' || c == '_';
}

// The uncompressed name at `at`: dotted into name, `at` left after it.
bool ReadName(std::string_view dns, std::size_t& at, std::string& name) {
    while (at < dns.size()) {
        const std::size_t length = static_cast<unsigned char>(dns[at++]);
        if (length == 0) {
            return !name.empty() && name.size() <= 253;
        }
        if (length > 63 || at + length > dns.size()) {
            return false; // a pointer (0xC0 and up) or a label past the end
        }
        const std::string_view label = dns.substr(at, length);
        for (const char c : label) {
            if (!IsNameByte(c)) {
                return false;
            }
        }
        if (!name.empty()) {
            name += '.';
        }
        name += label;
        at += length;
    }
    return false;
}

} // namespace

std::optional<DnsQuestion> ReadDnsQuestion(std::string_view ip, std::uint32_t server) {
    const std::size_t headerSize = ipv4::HeaderSize(ip);
    if (headerSize == 0) {
        return std::nullopt;
    }
    const std::size_t total = Get16(ip, 2);
    if (total < headerSize + kUdpHeader || (Get16(ip, 6) & 0x3FFF) != 0 ||
        static_cast<unsigned char>(ip[9]) != kUdp || Get32(ip, 16) != server) {
        return std::nullopt; // not UDP to the server, or a fragment
    }
    const std::string_view udp = ip.substr(headerSize, total - headerSize);
    const std::size_t udpLength = Get16(udp, 4);
    if (Get16(udp, 2) != kDnsPort || udpLength < kUdpHeader + kDnsHeader ||
        udpLength > udp.size()) {
        return std::nullopt;
    }
    if (Get16(udp, 6) != 0) {
        std::string pseudo = std::string(ip.substr(12, 8));
        Put16(pseudo, kUdp);
        Put16(pseudo, static_cast<std::uint32_t>(udpLength));
        if (Folded(OnesSum(udp.substr(0, udpLength), OnesSum(pseudo))) != 0) {
            return std::nullopt;
        }
    }
    const std::string_view dns = udp.substr(kUdpHeader, udpLength - kUdpHeader);
    const std::uint16_t flags = Get16(dns, 2);
    // A query (QR 0) with opcode 0, one question and no answers or authority.
    if ((flags & 0xF800) != 0 || Get16(dns, 4) != 1 || Get16(dns, 6) != 0 || Get16(dns, 8) != 0) {
        return std::nullopt;
    }
    DnsQuestion question;
    std::size_t at = kDnsHeader;
    if (!ReadName(dns, at, question.name) || at + 4 > dns.size()) {
        return std::nullopt;
    }
    question.type = Get16(dns, at);
    if ((question.type != DnsQuestion::kTypeA && question.type != DnsQuestion::kTypeAaaa) ||
        Get16(dns, at + 2) != kClassIn) {
        return std::nullopt;
    }
    question.section = std::string(dns.substr(kDnsHeader, at + 4 - kDnsHeader));
    question.client = Get32(ip, 12);
    question.clientPort = Get16(udp, 0);
    question.server = server;
    question.id = Get16(dns, 0);
    question.recursionDesired = (flags & 0x0100) != 0;
    return question;
}

std::string DnsAnswerPacket(const DnsQuestion& question, DnsOutcome outcome,
                            const std::vector<std::uint32_t>& addresses) {
    std::string answers;
    std::size_t count = 0;
    if (outcome == DnsOutcome::Found && question.type == DnsQuestion::kTypeA) {
        for (std::size_t i = 0; i < addresses.size() && i < kMaxAnswers; ++i, ++count) {
            Put16(answers, 0xC000 | kDnsHeader); // the name: a pointer to the question's
            Put16(answers, DnsQuestion::kTypeA);
            Put16(answers, kClassIn);
            Put32(answers, kTtlSeconds);
            Put16(answers, 4);
            Put32(answers, addresses[i]);
        }
    }
    const unsigned rcode = outcome == DnsOutcome::Found        ? 0
                           : outcome == DnsOutcome::NoSuchName ? 3
                                                               : 2;
    std::string dns;
    Put16(dns, question.id);
    Put16(dns, 0x8080 | (question.recursionDesired ? 0x0100 : 0) | rcode); // QR, RA
    Put16(dns, 1);
    Put16(dns, static_cast<std::uint32_t>(count));
    Put32(dns, 0); // no authority, no additional records
    dns += question.section;
    dns += answers;

    std::string udp;
    Put16(udp, kDnsPort);
    Put16(udp, question.clientPort);
    Put16(udp, static_cast<std::uint32_t>(kUdpHeader + dns.size()));
    Put16(udp, 0);
    udp += dns;
    std::string pseudo;
    Put32(pseudo, question.server);
    Put32(pseudo, question.client);
    Put16(pseudo, kUdp);
    Put16(pseudo, static_cast<std::uint32_t>(udp.size()));
    const std::uint16_t udpSum = Folded(OnesSum(udp, OnesSum(pseudo)));
    udp[6] = static_cast<char>((udpSum == 0 ? 0xFFFF : udpSum) >> 8);
    udp[7] = static_cast<char>((udpSum == 0 ? 0xFFFF : udpSum) & 0xFF);

    return ipv4::Packet(kUdp, question.server, question.client, udp);
}

} // namespace loomway
