#pragma once

#include <string>

namespace loomway {

// Which way a chunk went on the lines.
enum class ChunkDirection {
    HandheldToModem,   // read from the handheld port
    ModemToHandheld,   // read from the modem port
    ProgramToHandheld, // the program's own writes: clipboard transfers, status replies
};

// Told about every chunk the program reads from a port or writes to the
// handheld of its own accord, on the user-interface thread, after the chunk
// has been dealt with. consumed: a request engine took the chunk, so it was
// not forwarded. A listener must not throw and must be quick: the relay
// waits for it.
class ChunkTap {
public:
    virtual ~ChunkTap() = default;
    virtual void OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) = 0;
};

// Tells tap, when there is one.
inline void ReportChunk(ChunkTap* tap, ChunkDirection direction, bool consumed,
                        const std::string& bytes) {
    if (tap != nullptr) {
        tap->OnChunk(direction, consumed, bytes);
    }
}

} // namespace loomway
