#include "capture/captureencoder.h"

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

// A text log: a heading line with the capture's start in UTC, then for each
// chunk a line with the seconds since the start, the direction, the length,
// "consumed" when a request took it, and its marks, followed by the bytes,
// sixteen to a line, as offset, hex and printable text ("." for the rest):
//
//   +1.250000 handheld>modem 9 bytes: ATDT5551234
//   000000  41 54 44 54 35 35 35 31 32 33 34 0d              ATDT5551234.
class HexLogEncoder : public CaptureEncoder {
public:
    std::string Begin(std::int64_t wallMicros, std::int64_t steadyMicros) override;
    void Encode(const CapturedChunk& chunk, std::string& out) override;

private:
    std::int64_t m_startSteady = 0;
};

// "2026-12-07 03:15:00.123456 UTC"
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
    // "000000 " + 16 x " hh" + "  " + 16 characters + "\n"
    constexpr std::size_t kLineLength = 7 + 3 * kPerLine + 2 + kPerLine + 1;
    char text[kLineLength];
    for (std::size_t at = 0; at < chunk.bytes.size(); at += kPerLine) {
        const std::string_view line = chunk.bytes.substr(at, kPerLine);
        char* p = text;
        for (int shift = 20; shift >= 0; shift -= 4) {
            *p++ = kHexDigits[(at >> shift) & 0x0F];
        }
        *p++ = ' ';
        for (std::size_t i = 0; i < kPerLine; ++i) {
            *p++ = ' ';
            if (i < line.size()) {
                const auto byte = static_cast<unsigned char>(line[i]);
                *p++ = kHexDigits[byte >> 4];
                *p++ = kHexDigits[byte & 0x0F];
            } else {
                *p++ = ' ';
                *p++ = ' ';
            }
        }
        *p++ = ' ';
        *p++ = ' ';
        for (char c : line) {
            *p++ = (c >= 0x20 && c < 0x7F) ? c : '.';
        }
        *p++ = '\n';
        out.append(text, static_cast<std::size_t>(p - text));
    }
}

} // namespace

std::unique_ptr<CaptureEncoder> MakeHexLogEncoder() {
    return std::make_unique<HexLogEncoder>();
}

} // namespace loomway
