// The handheld's packets to the DNS address: arbitrary bytes as an IP packet,
// and as the DNS message of a well-formed IP/UDP packet (checksums made here,
// so the fuzzer reaches the message); every question read is answered within
// the size of a plain DNS message and echoes its question. The same packets,
// and the bytes after a well-formed header to the gateway, as the gateway
// refuses them: a whole ICMP packet that quotes the start of the packet.
#include "fuzz/fuzzcheck.h"
#include "lines/dnsanswer.h"
#include "lines/gatewayrefusal.h"
#include "lines/ipv4.h"

#include <cstdint>
#include <string>

using namespace loomway;

namespace {

constexpr std::uint32_t kDns = 0x0A000203;

void Put16(std::string& out, std::size_t value) {
    out += static_cast<char>(value >> 8 & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

constexpr std::uint32_t kGateway = 0x0A000202;

// An IP header from the handheld to `to` before payload; the protocol byte
// and the fragment field from its first bytes.
std::string Ip(std::size_t protocol, std::size_t fragment, std::size_t to, std::size_t size) {
    std::string ip;
    Put16(ip, 0x4500);
    Put16(ip, 20 + size);
    for (std::size_t word : {std::size_t{0}, fragment, 0x4000 | protocol, std::size_t{0},
                             std::size_t{0x0A00}, std::size_t{0x020F}, to >> 16, to & 0xFFFF}) {
        Put16(ip, word);
    }
    const std::uint16_t sum = ipv4::Folded(ipv4::OnesSum(ip));
    ip[10] = static_cast<char>(sum >> 8);
    ip[11] = static_cast<char>(sum & 0xFF);
    return ip;
}

void Refuse(const std::string& packet) {
    const std::optional<std::string> refusal = GatewayRefusal(packet, kGateway);
    if (!refusal) {
        return;
    }
    CHECK(ipv4::HeaderSize(*refusal) == 20 && refusal->size() >= 48 && refusal->size() <= 96);
    CHECK(ipv4::Folded(ipv4::OnesSum(std::string_view(*refusal).substr(20))) == 0);
    CHECK(packet.compare(0, refusal->size() - 28, *refusal, 28) == 0);
}

std::string UdpToDns(const std::string& dns) {
    const std::string ip = Ip(17, 0, kDns, 8 + dns.size());
    std::string udp;
    for (std::size_t word : {std::size_t{4000}, std::size_t{53}, 8 + dns.size(), std::size_t{0}}) {
        Put16(udp, word);
    }
    return ip + udp + dns;
}

void Answer(const std::string& packet) {
    const std::optional<DnsQuestion> question = ReadDnsQuestion(packet, kDns);
    if (!question) {
        return;
    }
    CHECK(!question->name.empty() && question->name.size() <= 253);
    CHECK(question->section.size() == question->name.size() + 6);
    for (DnsOutcome outcome : {DnsOutcome::Found, DnsOutcome::NoSuchName, DnsOutcome::Failed}) {
        const std::string answer =
            DnsAnswerPacket(*question, outcome, std::vector<std::uint32_t>(20, 0x7F000001));
        CHECK(answer.size() <= 28 + 512);
        CHECK(answer.compare(40, question->section.size(), question->section) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string data(reinterpret_cast<const char*>(bytes), size);
    Answer(data);
    Refuse(data);
    if (size <= 1400) {
        Answer(UdpToDns(data));
    }
    if (size >= 2) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
        Refuse(Ip(byte(0), byte(1) << 8 & 0x3FFF, kGateway, size - 2) + data.substr(2));
    }
    return 0;
}
