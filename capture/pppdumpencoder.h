#pragma once

#include "capture/captureencoder.h"

namespace loomway {

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

} // namespace loomway
