#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace loomway {

// Telnet command and option bytes used by the codecs.
namespace telnet {
inline constexpr unsigned char kSe = 240;
inline constexpr unsigned char kNop = 241;
inline constexpr unsigned char kSb = 250;
inline constexpr unsigned char kWill = 251;
inline constexpr unsigned char kWont = 252;
inline constexpr unsigned char kDo = 253;
inline constexpr unsigned char kDont = 254;
inline constexpr unsigned char kIac = 255;

inline constexpr unsigned char kBinary = 0;
inline constexpr unsigned char kEcho = 1;
inline constexpr unsigned char kSuppressGoAhead = 3;
inline constexpr unsigned char kComPort = 44;
} // namespace telnet

// One subnegotiation received (IAC SB option ... IAC SE), with doubled IACs
// undone. Payloads longer than 4096 bytes are cut to that length.
struct TelnetSubnegotiation {
    unsigned char option = 0;
    std::string payload;
};

// What one chunk from the network turned into.
struct TelnetDecoded {
    std::string data;  // application bytes, in order
    std::string reply; // negotiation answers to send back to the network at once
    std::vector<TelnetSubnegotiation> subnegotiations;
    std::vector<unsigned char> agreedLocal; // options that came into force for this end
};

// A telnet connection's byte codec, no socket: bytes in, data and replies out.
//
// Options policy:
//  - BINARY (0) and SUPPRESS-GO-AHEAD (3) are agreed both ways: DO is answered
//    WILL, WILL is answered DO. Start() offers both.
//  - ECHO (1) from the server is agreed (WILL ECHO is answered DO ECHO): the
//    server echoes, as a terminal program on the handheld expects, since
//    nothing here echoes locally. This end never echoes (DO ECHO -> WONT).
//  - Options given in the constructor's `localExtra` are agreed for this end
//    (DO -> WILL); the RFC 2217 codec passes COM-PORT-OPTION (44).
//  - Every other option is refused: WILL -> DONT, DO -> WONT.
//  - Each option keeps a state per side (no, yes, asked to enable, asked to
//    disable). A request that would not change the state is not answered, and
//    an answer to our own request is not answered again, so two ends can never
//    loop. WONT and DONT are always accepted (answered once when they switch an
//    enabled option off).
//  - Subnegotiations are collected and handed out, not acted on.
//  - Other commands (NOP, GA, DM, BRK, IP, AO, AYT, EC, EL) are dropped.
//  - While BINARY is not in force for a direction the NVT rule applies to
//    carriage returns: on the way in "CR NUL" gives CR, on the way out a CR
//    not followed by LF in the same chunk is sent as "CR NUL".
// State, including a command or subnegotiation split between chunks, is kept
// across Decode calls.
class TelnetCodec {
public:
    explicit TelnetCodec(std::initializer_list<unsigned char> localExtra = {});

    // The opening offer to send right after connecting:
    // IAC WILL BINARY, IAC DO BINARY, IAC WILL SGA, IAC DO SGA, then
    // IAC WILL for each extra local option.
    std::string Start();

    // Bytes from the network.
    TelnetDecoded Decode(std::string_view bytes);

    // Application bytes for the network: IAC doubled, NVT CR rule while this
    // end does not send binary.
    std::string Encode(std::string_view data) const;

    // A subnegotiation to send: IAC SB option payload IAC SE, IAC doubled
    // inside the payload.
    static std::string Subnegotiation(unsigned char option, std::string_view payload);

    // Whether an option is in force for this end (we WILL) or for the peer (it WILL).
    bool LocalEnabled(unsigned char option) const;
    bool RemoteEnabled(unsigned char option) const;

private:
    enum class Side : unsigned char { No, Yes, WantYes, WantNo };
    enum class Parse : unsigned char { Data, Cr, Iac, Verb, SbOption, Sb, SbIac };

    bool Acceptable(unsigned char option, bool local) const;
    void Receive(unsigned char verb, unsigned char option, TelnetDecoded& out);
    void Offer(unsigned char verb, unsigned char option, std::string& out);

    std::array<Side, 256> m_local{};
    std::array<Side, 256> m_remote{};
    std::array<bool, 256> m_localExtra{};
    Parse m_parse = Parse::Data;
    unsigned char m_verb = 0;
    TelnetSubnegotiation m_sb;
};

} // namespace loomway
