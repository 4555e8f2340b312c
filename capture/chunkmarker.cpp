#include "capture/chunkmarker.h"

#include "lines/pppinspect.h"

#include <algorithm>
#include <cstring>

namespace loomway {

namespace {

constexpr std::uint8_t kFlag = 0x7E;
constexpr std::uint8_t kEscape = 0x7D;
constexpr std::uint16_t kGoodFcs = 0xF0B8;
// Longer than any frame a PPP link negotiates: bytes that run on this long
// are no frame.
constexpr std::size_t kLongestFrame = 65536;
// Enough of an IP frame for its headers and a DNS question's name.
constexpr std::size_t kKeptOfIpFrame = 512;
constexpr std::uint16_t kIpProtocol = 0x0021;
constexpr std::size_t kLongestLine = 80;
constexpr std::size_t kMostItems = 8;

constexpr std::array<std::uint16_t, 256> MakeFcsTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned v = b;
        for (int i = 0; i < 8; ++i) {
            v = (v & 1) ? (v >> 1) ^ 0x8408 : v >> 1;
        }
        table[b] = static_cast<std::uint16_t>(v);
    }
    return table;
}
constexpr std::array<std::uint16_t, 256> kFcsTable = MakeFcsTable();

struct RequestTag {
    std::string_view open;
    std::string_view close;
    std::string_view towardsModem;    // what it is coming from the handheld
    std::string_view towardsHandheld; // what it is written by the program
};
constexpr std::array<RequestTag, 3> kRequestTags = {{
    {"<LMW_C>", "</LMW_C>", "clipboard request", "clipboard transfer"},
    {"<LMW_P>", "</LMW_P>", "print request", ""},
    {"<LMW_RSP>", "</LMW_RSP>", "", "status reply"},
}};
constexpr std::size_t kLongestTag = 10;

constexpr std::array<std::string_view, 14> kResultCodes = {
    "OK",        "RING",    "NO CARRIER", "ERROR",    "NO DIALTONE", "NO DIAL TONE", "BUSY",
    "NO ANSWER", "DELAYED", "CONNECT",    "CARRIER ", "PROTOCOL:",   "COMPRESSION:", "CONNECT "};

// With this many bytes of a frame its protocol field is known, whether the
// link sends address and control and a compressed protocol or not.
constexpr std::size_t kProtocolKnownAt = 4;

// The protocol field of a frame whose first bytes are head[0, length); at is
// set to the byte after it. 0 when the field is not all there.
std::uint16_t ProtocolField(const std::array<std::uint8_t, 6>& head, std::size_t length,
                            std::size_t& at) {
    at = 0;
    if (length >= 2 && head[0] == 0xFF && head[1] == 0x03) {
        at = 2; // address and control, unless the link left them out
    }
    if (at < length && (head[at] & 1) != 0) {
        at += 1;
        return head[at - 1]; // a compressed one-byte protocol field
    }
    if (at + 1 < length) {
        at += 2;
        return static_cast<std::uint16_t>(head[at - 2] << 8 | head[at - 1]);
    }
    return 0;
}

bool IsResultCode(std::string_view line) {
    return std::any_of(kResultCodes.begin(), kResultCodes.end(), [line](std::string_view code) {
        // Codes ending in a blank or colon are followed by a value.
        const bool prefix = code.back() == ' ' || code.back() == ':';
        return prefix ? line.starts_with(code) : line == code;
    });
}

bool IsAtCommand(std::string_view line) {
    if (line.size() < 2) {
        return false;
    }
    const char a = static_cast<char>(line[0] & ~0x20);
    const char t = static_cast<char>(line[1] & ~0x20);
    return a == 'A' && (t == 'T' || line[1] == '/');
}

} // namespace

std::string_view PppProtocolName(std::uint16_t protocol) {
    switch (protocol) {
    case 0x0021:
        return "IP";
    case 0x0057:
        return "IPv6";
    case 0x002D:
        return "VJ compressed TCP/IP";
    case 0x002F:
        return "VJ uncompressed TCP/IP";
    case 0x00FD:
        return "compressed datagram";
    case 0x8021:
        return "IPCP";
    case 0x8057:
        return "IPV6CP";
    case 0x80FD:
        return "CCP";
    case 0xC021:
        return "LCP";
    case 0xC023:
        return "PAP";
    case 0xC025:
        return "LQR";
    case 0xC223:
        return "CHAP";
    default:
        return {};
    }
}

void ChunkMarker::Items::Add(std::string_view text) {
    for (auto& item : list) {
        if (item.first == text) {
            ++item.second;
            return;
        }
    }
    if (list.size() < kMostItems) {
        list.emplace_back(std::string(text), 1);
    } else {
        more = true;
    }
}

std::string ChunkMarker::Items::Joined() const {
    std::string joined;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) {
            joined += "; ";
        }
        joined += list[i].first;
        if (list[i].second > 1) {
            joined += " ×" + std::to_string(list[i].second);
        }
    }
    if (more) {
        joined += "; …";
    }
    return joined;
}

std::string ChunkMarker::Mark(ChunkDirection direction, std::string_view bytes) {
    State& state = m_states[static_cast<std::size_t>(direction)];
    Items items;
    if (direction != ChunkDirection::ProgramToHandheld) {
        ReadLines(direction, state.line, bytes, items);
        ReadFrames(state.frame, bytes, items);
    }
    ReadRequests(direction, state.requests, bytes, items);
    return items.Joined();
}

void ChunkMarker::ReadLines(ChunkDirection direction, Line& line, std::string_view bytes,
                            Items& items) {
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (!line.clean) {
            // Nothing to read before the next line end.
            at = bytes.find_first_of("\r\n", at);
            if (at == std::string_view::npos) {
                return;
            }
        }
        const char c = bytes[at];
        if (c == '\r' || c == '\n') {
            if (line.clean && !line.text.empty()) {
                if (direction == ChunkDirection::HandheldToModem ? IsAtCommand(line.text)
                                                                 : IsResultCode(line.text)) {
                    items.Add(line.text);
                }
            }
            line.text.clear();
            line.clean = true;
        } else if (c >= 0x20 && c < 0x7F && line.clean && line.text.size() < kLongestLine) {
            line.text += c;
        } else {
            line.clean = false;
            line.text.clear();
        }
    }
}

void ChunkMarker::ReadFrames(Frame& frame, std::string_view bytes, Items& items) {
    const auto finish = [&frame, &items] {
        std::size_t at = 0;
        const std::uint16_t protocol = ProtocolField(frame.head, frame.length, at);
        const std::string_view name = PppProtocolName(protocol);
        if (name.empty() || frame.length < at + 2) { // the FCS follows the protocol at least
            return;
        }
        std::string text = "PPP " + std::string(name);
        if (protocol == kIpProtocol && frame.fcs == kGoodFcs) {
            // Without the FCS, when the whole frame was kept.
            const std::string_view kept(frame.kept);
            text = "PPP " + DescribePppFrame(frame.length <= kept.size()
                                                 ? kept.substr(0, kept.size() - 2)
                                                 : kept);
        } else if (at < frame.length - 2 && at < frame.head.size()) {
            const std::string_view code = PppCodeName(protocol, frame.head[at]);
            if (!code.empty()) {
                text += ' ';
                text += code;
            }
        }
        if (frame.fcs != kGoodFcs) {
            text += " (bad FCS)";
        }
        items.Add(text);
    };
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (!frame.open || frame.unnamed) {
            // Outside a frame, or in one that will not be named, only a flag
            // matters.
            at = bytes.find(static_cast<char>(kFlag), at);
            if (at == std::string_view::npos) {
                return;
            }
        }
        auto byte = static_cast<std::uint8_t>(bytes[at]);
        if (byte == kFlag) {
            if (frame.open && frame.length >= 4) {
                finish();
            }
            frame.open = true;
            frame.unnamed = false;
            frame.escaped = false;
            frame.length = 0;
            frame.fcs = 0xFFFF;
            frame.kept.clear();
            continue;
        }
        if (byte == kEscape) {
            frame.escaped = true;
            continue;
        }
        if (frame.escaped) {
            byte ^= 0x20;
            frame.escaped = false;
        }
        if (frame.length < frame.head.size()) {
            frame.head[frame.length] = byte;
        }
        if (frame.length < kKeptOfIpFrame) {
            frame.kept += static_cast<char>(byte);
        }
        frame.fcs =
            static_cast<std::uint16_t>((frame.fcs >> 8) ^ kFcsTable[(frame.fcs ^ byte) & 0xFF]);
        if (++frame.length > kLongestFrame) {
            frame.open = false;
        }
        if (frame.length == kProtocolKnownAt) {
            std::size_t end = 0;
            frame.unnamed = PppProtocolName(ProtocolField(frame.head, frame.length, end)).empty();
        }
    }
}

void ChunkMarker::ReadRequests(ChunkDirection direction, Requests& requests, std::string_view bytes,
                               Items& items) {
    if (direction == ChunkDirection::ModemToHandheld) {
        return;
    }
    const bool towardsModem = direction == ChunkDirection::HandheldToModem;
    const std::uint64_t chunkOffset = requests.offset + requests.tail.size();
    // rest: the text from a '<' on, where: its stream offset.
    const auto readTag = [&](std::string_view rest, std::uint64_t where) {
        for (std::size_t kind = 0; kind < kRequestTags.size(); ++kind) {
            const RequestTag& tag = kRequestTags[kind];
            const std::string_view what = towardsModem ? tag.towardsModem : tag.towardsHandheld;
            if (what.empty()) {
                continue;
            }
            const bool opens = rest.starts_with(tag.open);
            const bool closes = rest.starts_with(tag.close);
            const std::size_t length = opens ? tag.open.size() : tag.close.size();
            // A tag that ended within the tail was read with the last chunk.
            if ((!opens && !closes) || where + length <= chunkOffset) {
                continue;
            }
            if (opens) {
                requests.openKind = static_cast<int>(kind);
                requests.bodyStart = where + length;
            } else if (requests.openKind == static_cast<int>(kind)) {
                items.Add(std::string(what) + ", " + std::to_string(where - requests.bodyStart) +
                          " bytes");
                requests.openKind = -1;
            } else {
                items.Add(std::string(what) + " ends");
            }
        }
    };
    // Tags that begin in the tail end within the chunk's first bytes.
    if (requests.tail.find('<') != std::string::npos) {
        const std::string seam =
            requests.tail + std::string(bytes.substr(0, std::min(bytes.size(), kLongestTag - 1)));
        for (std::size_t at = seam.find('<'); at < requests.tail.size();
             at = seam.find('<', at + 1)) {
            readTag(std::string_view(seam).substr(at), requests.offset + at);
        }
    }
    for (std::size_t at = bytes.find('<'); at != std::string_view::npos;
         at = bytes.find('<', at + 1)) {
        readTag(bytes.substr(at), chunkOffset + at);
    }
    // An opening tag not closed in this chunk.
    if (requests.openKind >= 0 && requests.bodyStart > chunkOffset) {
        const RequestTag& tag = kRequestTags[static_cast<std::size_t>(requests.openKind)];
        items.Add(std::string(towardsModem ? tag.towardsModem : tag.towardsHandheld) + " begins");
    }
    std::string tail = requests.tail;
    tail.append(bytes.substr(bytes.size() - std::min(bytes.size(), kLongestTag - 1)));
    if (tail.size() > kLongestTag - 1) {
        tail.erase(0, tail.size() - (kLongestTag - 1));
    }
    requests.offset = chunkOffset + bytes.size() - tail.size();
    requests.tail = std::move(tail);
}

} // namespace loomway
