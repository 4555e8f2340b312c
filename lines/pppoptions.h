#pragma once

#include <string_view>

namespace loomway {

// One configuration option as it stands in a packet.
struct PppOption {
    unsigned char type = 0;
    std::string_view value; // after the type and length octets
    std::string_view whole; // type, length and value
};

// Walks the options of a Configure packet. Stops at the end or at the first
// option whose length is below 2 or runs past the end; Malformed() tells which.
class PppOptionReader {
public:
    explicit PppOptionReader(std::string_view options) : m_rest(options) {}

    bool Next(PppOption& option);
    bool Malformed() const { return m_malformed; }

private:
    std::string_view m_rest;
    bool m_malformed = false;
};

// Whether every option's length fits.
bool WellFormedOptions(std::string_view options);

} // namespace loomway
