#pragma once

#include "base/clock.h"
#include "capture/captureencoder.h"
#include "capture/capturesink.h"
#include "capture/chunkmarker.h"
#include "core/chunktap.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace loomway {

// One running capture: every chunk it is told about is encoded and written to
// its sink, at once or, once buffered, together with the chunks that follow
// until Flush() (or kBufferBytes are waiting). The first failed write closes
// the sink, calls the failure handler once with the reason, and the capture
// ignores everything after it, so the relay that feeds it goes on untouched.
class Capture : public ChunkTap {
public:
    using FailureHandler = std::function<void(const std::string& description)>;

    // Writes the file's beginning; throws CaptureError when it cannot.
    Capture(std::unique_ptr<CaptureSink> sink, CaptureFormat format, const Clock& clock,
            FailureHandler onFailure);

    static constexpr std::size_t kBufferBytes = 64 * 1024;

    // Later chunks wait for Flush(); flushSoon is called when the first of
    // them waits, so that its caller flushes a moment later. A write per chunk
    // would cost the relay a system call each.
    void Buffer(std::function<void()> flushSoon) { m_flushSoon = std::move(flushSoon); }
    void OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) override;
    // Writes the chunks that wait.
    void Flush();
    // Writes what waits and closes the file; throws CaptureError when its last bytes cannot be
    // written.
    void Stop();
    bool Failed() const { return m_sink == nullptr; }

private:
    void Fail(const CaptureError& error);
    // Writes m_buffer; false when the capture failed.
    bool WriteBuffer();

    std::unique_ptr<CaptureSink> m_sink;
    std::unique_ptr<CaptureEncoder> m_encoder;
    const Clock& m_clock;
    FailureHandler m_onFailure;
    bool m_wantsMarks = false;
    ChunkMarker m_marker;
    std::function<void()> m_flushSoon;
    std::string m_buffer; // records not written yet; keeps its room from write to write
};

} // namespace loomway
