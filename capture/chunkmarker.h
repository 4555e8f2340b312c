#pragma once

#include "core/chunktap.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace loomway {

// Reads the traffic of each direction as it passes and names what it finds,
// per chunk, in a short text: AT commands (towards the modem), modem result
// codes (from the modem), PPP frames with their protocol and, for the control
// protocols, their code ("PPP LCP Configure-Request"), the IP packets inside
// PPP frames with their protocol, addresses, ports and the names a DNS query
// asks ("PPP IP UDP 10.0.2.15:1025 → 10.0.2.3:53 DNS query example.org"),
// and the companion
// application's requests and replies. A frame, line or request is named in the
// chunk that completes it; each direction keeps its own state, so anything may
// be split over any number of chunks.
class ChunkMarker {
public:
    std::string Mark(ChunkDirection direction, std::string_view bytes);

private:
    // The first kinds of item a chunk holds, each with its count; kinds past
    // those are only noted, as the text shows no more of them.
    struct Items {
        void Add(std::string_view text);
        std::string Joined() const;
        std::vector<std::pair<std::string, int>> list;
        bool more = false;
    };
    struct Line {
        std::string text;
        bool clean = true; // printable characters only since the last line end
    };
    struct Frame {
        bool open = false;    // a flag was seen: bytes belong to a frame
        bool unnamed = false; // its protocol is none of ours: wait for the next flag
        bool escaped = false;
        std::size_t length = 0;
        std::array<std::uint8_t, 6> head{};
        std::string kept; // an IP frame's first bytes, as far as its naming reads
        std::uint16_t fcs = 0xFFFF;
    };
    struct Requests {
        std::string tail;         // the last bytes of the previous chunk, for tags split over two
        std::uint64_t offset = 0; // stream offset of tail's first byte
        int openKind = -1;
        std::uint64_t bodyStart = 0;
    };
    struct State {
        Line line;
        Frame frame;
        Requests requests;
    };

    void ReadLines(ChunkDirection direction, Line& line, std::string_view bytes, Items& items);
    void ReadFrames(Frame& frame, std::string_view bytes, Items& items);
    void ReadRequests(ChunkDirection direction, Requests& requests, std::string_view bytes,
                      Items& items);

    std::array<State, 3> m_states;
};

// "LCP", "IPCP", "IP", ... for a PPP protocol number; empty when unknown.
std::string_view PppProtocolName(std::uint16_t protocol);

} // namespace loomway
