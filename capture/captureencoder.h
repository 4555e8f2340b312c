#pragma once

#include "core/chunktap.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace loomway {

enum class CaptureFormat {
    // The record format of pppd's "record" option, which Wireshark and tshark
    // read and decode as PPP: the handheld's side is the one that sends.
    Pppdump,
    // Readable text: one heading line per chunk, then offset, hex and text.
    HexLog,
};

// One chunk as an encoder is given it.
struct CapturedChunk {
    ChunkDirection direction = ChunkDirection::HandheldToModem;
    bool consumed = false;
    std::string_view bytes;
    std::int64_t steadyMicros = 0;
    std::string_view marks;
};

// Turns chunks into a capture file's bytes.
class CaptureEncoder {
public:
    virtual ~CaptureEncoder() = default;
    // The file's first bytes, for a capture that starts at these times.
    virtual std::string Begin(std::int64_t wallMicros, std::int64_t steadyMicros) = 0;
    // Appends the records of one chunk to out.
    virtual void Encode(const CapturedChunk& chunk, std::string& out) = 0;
};

std::unique_ptr<CaptureEncoder> MakeCaptureEncoder(CaptureFormat format);

} // namespace loomway
