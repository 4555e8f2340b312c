#include "capture/capture.h"

#include <utility>

namespace loomway {

Capture::Capture(std::unique_ptr<CaptureSink> sink, CaptureFormat format, const Clock& clock,
                 FailureHandler onFailure)
    : m_sink(std::move(sink)), m_encoder(MakeCaptureEncoder(format)), m_clock(clock),
      m_onFailure(std::move(onFailure)), m_wantsMarks(format == CaptureFormat::HexLog) {
    m_sink->Write(m_encoder->Begin(m_clock.WallMicros(), m_clock.SteadyMicros()));
}

void Capture::OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) {
    if (!m_sink) {
        return;
    }
    const std::string marks = m_wantsMarks ? m_marker.Mark(direction, bytes) : std::string();
    const bool waiting = !m_buffer.empty();
    m_encoder->Encode({direction, consumed, bytes, m_clock.SteadyMicros(), marks}, m_buffer);
    if (!m_flushSoon || m_buffer.size() >= kBufferBytes) {
        WriteBuffer();
    } else if (!waiting) {
        m_flushSoon();
    }
}

void Capture::Flush() {
    if (m_sink && !m_buffer.empty()) {
        WriteBuffer();
    }
}

bool Capture::WriteBuffer() {
    try {
        m_sink->Write(m_buffer);
    } catch (const CaptureError& error) {
        m_buffer.clear();
        Fail(error);
        return false;
    }
    m_buffer.clear();
    return true;
}

void Capture::Stop() {
    if (!m_sink) {
        return;
    }
    auto sink = std::move(m_sink);
    if (!m_buffer.empty()) {
        sink->Write(m_buffer);
        m_buffer.clear();
    }
    sink->Close();
}

void Capture::Fail(const CaptureError& error) {
    auto sink = std::move(m_sink);
    try {
        sink->Close();
    } catch (const CaptureError&) {
        // The write failed already; that is the reason given.
    }
    if (m_onFailure) {
        m_onFailure(error.description);
    }
}

} // namespace loomway
