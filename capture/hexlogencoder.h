#pragma once

#include "capture/captureencoder.h"

namespace loomway {

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
std::string UtcTimeText(std::int64_t wallMicros);

} // namespace loomway
