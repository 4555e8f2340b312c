#include "capture/hexlogencoder.h"

#include <chrono>
#include <cstdio>

namespace loomway {

namespace {

constexpr std::size_t kPerLine = 16;
constexpr char kHexDigits[] = "0123456789abcdef";

std::string_view DirectionText(ChunkDirection direction) {
    switch (direction) {
    case ChunkDirection::HandheldToModem:
        return "handheld>modem";
    case ChunkDirection::ModemToHandheld:
        return "modem>handheld";
    case ChunkDirection::ProgramToHandheld:
        return "program>handheld";
    }
    return "?";
}

} // namespace

std::string UtcTimeText(std::int64_t wallMicros) {
    using namespace std::chrono;
    const sys_time<microseconds> time{microseconds(wallMicros)};
    const auto day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02ld:%02ld:%02lld.%06lld UTC",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long>(clock.hours().count()),
                  static_cast<long>(clock.minutes().count()),
                  static_cast<long long>(clock.seconds().count()),
                  static_cast<long long>(clock.subseconds().count()));
    return text;
}

std::string HexLogEncoder::Begin(std::int64_t wallMicros, std::int64_t steadyMicros) {
    m_startSteady = steadyMicros;
    return "# Palm Loomway capture started " + UtcTimeText(wallMicros) + "\n";
}

void HexLogEncoder::Encode(const CapturedChunk& chunk, std::string& out) {
    const std::int64_t micros = chunk.steadyMicros - m_startSteady;
    char heading[64];
    std::snprintf(heading, sizeof heading, "+%lld.%06lld ",
                  static_cast<long long>(micros / 1000000),
                  static_cast<long long>(micros % 1000000));
    out += heading;
    out += DirectionText(chunk.direction);
    out += ' ';
    out += std::to_string(chunk.bytes.size());
    out += chunk.bytes.size() == 1 ? " byte" : " bytes";
    if (chunk.consumed) {
        out += " consumed";
    }
    if (!chunk.marks.empty()) {
        out += ": ";
        out += chunk.marks;
    }
    out += '\n';
    for (std::size_t at = 0; at < chunk.bytes.size(); at += kPerLine) {
        const std::string_view line = chunk.bytes.substr(at, kPerLine);
        char offset[32];
        std::snprintf(offset, sizeof offset, "%06zx ", at);
        out += offset;
        for (std::size_t i = 0; i < kPerLine; ++i) {
            out += ' ';
            if (i < line.size()) {
                const auto byte = static_cast<unsigned char>(line[i]);
                out += kHexDigits[byte >> 4];
                out += kHexDigits[byte & 0x0F];
            } else {
                out += "  ";
            }
        }
        out += "  ";
        for (char c : line) {
            out += (c >= 0x20 && c < 0x7F) ? c : '.';
        }
        out += '\n';
    }
}

} // namespace loomway
