#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace loomway {

// A name lookup that the handheld sent to the gateway's DNS address: one
// question for an address (A or AAAA, class IN) in a standard query over
// UDP/IPv4 to port 53. Addresses are IPv4 in host order.
struct DnsQuestion {
    static constexpr std::uint16_t kTypeA = 1;
    static constexpr std::uint16_t kTypeAaaa = 28;

    std::uint32_t client = 0;
    std::uint16_t clientPort = 0;
    std::uint32_t server = 0;
    std::uint16_t id = 0;
    bool recursionDesired = false;
    std::uint16_t type = 0;
    // Dotted, without the final dot; letters, digits, '-' and '_' only.
    std::string name;
    // The question section as it came (name, type, class), echoed in the answer.
    std::string section;
};

// The question of such a query in one IPv4 packet to server; nothing for any
// other packet (fragments, wrong checksums, other ports, other questions,
// compressed or odd names), which then goes its usual way. Reads nothing past
// the end.
std::optional<DnsQuestion> ReadDnsQuestion(std::string_view ipPacket, std::uint32_t server);

enum class DnsOutcome { Found, NoSuchName, Failed };

// The IPv4 packet that answers the question: for Found, the IPv4 addresses as
// A records (at most 8; none for AAAA: the handheld's network has no IPv6);
// for NoSuchName an NXDOMAIN, for Failed a SERVFAIL.
std::string DnsAnswerPacket(const DnsQuestion& question, DnsOutcome outcome,
                            const std::vector<std::uint32_t>& addresses);

} // namespace loomway
