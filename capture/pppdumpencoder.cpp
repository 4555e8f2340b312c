#include "capture/captureencoder.h"

#include <algorithm>

namespace loomway {

namespace {

constexpr char kSent = 0x01;
constexpr char kReceived = 0x02;
constexpr char kLongStep = 0x05;
constexpr char kShortStep = 0x06;
constexpr char kResetTime = 0x07;
constexpr std::size_t kLongestRecord = 0xFFFF;

void PutBigEndian32(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

// pppdump records: 0x07 and four bytes (big-endian) reset the clock to a
// time in whole seconds since 1970; 0x05 and four bytes or 0x06 and one byte
// step it on in tenths of a second; 0x01 (sent) and 0x02 (received), two
// bytes of length and as many raw line bytes carry the traffic. The
// handheld's bytes are the ones sent; everything written to the handheld is
// received.
class PppdumpEncoder : public CaptureEncoder {
public:
    std::string Begin(std::int64_t wallMicros, std::int64_t steadyMicros) override;
    void Encode(const CapturedChunk& chunk, std::string& out) override;

private:
    std::int64_t m_startSteady = 0;   // steady time of the clock reset
    std::int64_t m_startFraction = 0; // microseconds past the whole second of the reset
    std::int64_t m_tenths = 0;        // tenths of a second written since the reset
};

std::string PppdumpEncoder::Begin(std::int64_t wallMicros, std::int64_t steadyMicros) {
    const std::int64_t seconds = std::max<std::int64_t>(0, wallMicros / 1000000);
    m_startSteady = steadyMicros;
    m_startFraction = wallMicros - seconds * 1000000;
    m_tenths = 0;
    std::string begin;
    begin += kResetTime;
    PutBigEndian32(begin, static_cast<std::uint32_t>(seconds));
    return begin;
}

void PppdumpEncoder::Encode(const CapturedChunk& chunk, std::string& out) {
    const std::int64_t tenths = (chunk.steadyMicros - m_startSteady + m_startFraction) / 100000;
    if (tenths > m_tenths) {
        const std::int64_t step = std::min<std::int64_t>(tenths - m_tenths, 0xFFFFFFFF);
        if (step <= 0xFF) {
            out += kShortStep;
            out += static_cast<char>(step);
        } else {
            out += kLongStep;
            PutBigEndian32(out, static_cast<std::uint32_t>(step));
        }
        m_tenths += step;
    }
    const char code = chunk.direction == ChunkDirection::HandheldToModem ? kSent : kReceived;
    for (std::size_t at = 0; at < chunk.bytes.size(); at += kLongestRecord) {
        const std::string_view piece = chunk.bytes.substr(at, kLongestRecord);
        out += code;
        out += static_cast<char>(piece.size() >> 8);
        out += static_cast<char>(piece.size() & 0xFF);
        out.append(piece);
    }
}

} // namespace

std::unique_ptr<CaptureEncoder> MakePppdumpEncoder() {
    return std::make_unique<PppdumpEncoder>();
}

} // namespace loomway
