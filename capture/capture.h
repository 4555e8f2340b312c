#pragma once

#include "capture/captureencoder.h"
#include "capture/capturesink.h"
#include "capture/chunkmarker.h"
#include "capture/clock.h"
#include "core/chunktap.h"

#include <functional>
#include <memory>
#include <string>

namespace loomway {

// One running capture: every chunk it is told about is encoded and written to
// its sink at once. The first failed write closes the sink, calls the failure
// handler once with the reason, and the capture ignores everything after it,
// so the relay that feeds it goes on untouched.
class Capture : public ChunkTap {
public:
    using FailureHandler = std::function<void(const std::string& description)>;

    // Writes the file's beginning; throws CaptureError when it cannot.
    Capture(std::unique_ptr<CaptureSink> sink, CaptureFormat format, const Clock& clock,
            FailureHandler onFailure);

    void OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) override;
    // Closes the file; throws CaptureError when its last bytes cannot be written.
    void Stop();
    bool Failed() const { return m_sink == nullptr; }

private:
    void Fail(const CaptureError& error);

    std::unique_ptr<CaptureSink> m_sink;
    std::unique_ptr<CaptureEncoder> m_encoder;
    const Clock& m_clock;
    FailureHandler m_onFailure;
    bool m_wantsMarks = false;
    ChunkMarker m_marker;
    std::string m_buffer; // one chunk's records; keeps its room from chunk to chunk
};

} // namespace loomway
