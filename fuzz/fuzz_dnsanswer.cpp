// The handheld's packets to the DNS address: arbitrary bytes as an IP packet,
// and as the DNS message of a well-formed IP/UDP packet (checksums made here,
// so the fuzzer reaches the message); every question read is answered within
// the size of a plain DNS message and echoes its question.
#include "fuzz/fuzzcheck.h"
#include "lines/dnsanswer.h"

#include <cstdint>
#include <string>

using namespace loomway;

namespace {

constexpr std::uint32_t kDns = 0x0A000203;

void Put16(std::string& out, std::size_t value) {
    out += static_cast<char>(value >> 8 & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

std::string UdpToDns(const std::string& dns) {
    std::string ip;
    Put16(ip, 0x4500);
    Put16(ip, 28 + dns.size());
    for (std::size_t word : {0x0000, 0x0000, 0x4011, 0x0000, 0x0A00, 0x020F, 0x0A00, 0x0203}) {
        Put16(ip, word);
    }
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < ip.size(); i += 2) {
        sum += static_cast<unsigned char>(ip[i]) << 8 | static_cast<unsigned char>(ip[i + 1]);
    }
    sum = ~((sum & 0xFFFF) + (sum >> 16)) & 0xFFFF;
    ip[10] = static_cast<char>(sum >> 8);
    ip[11] = static_cast<char>(sum & 0xFF);
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
    if (size <= 1400) {
        Answer(UdpToDns(data));
    }
    return 0;
}
