#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace loomway {

// A complete request cut out of a request buffer.
struct FramedRequest {
    std::string body;     // the text between the tags
    std::string leftover; // everything after the closing tag
    // How many bytes at the end of the chunk just fed follow the last request
    // in the buffer that is complete (this one, or one already complete in its
    // leftover): ordinary bytes, or the beginning of a request still to come.
    std::size_t tail = 0;
};

// Assembles in-band requests ("<LMW_C>" ... "</LMW_C>", "<LMW_P>" ... "</LMW_P>")
// from handheld chunks. One framer per engine, each with its own buffer.
//
// A request is the text from the first opening tag to the first closing tag
// after it. Memory and time stay bounded: without an opening tag the buffer
// keeps only the end that could still begin one (shorter than the tag); a
// closing tag in front of the first opening tag is dropped with everything
// before it; the closing-tag search goes on where the previous one ended; a
// request that grows past maxRequest characters after its opening tag without
// a closing tag is abandoned. Each call costs time in proportion to its chunk.
// Both tags must be non-empty.
class RequestFramer {
public:
    static constexpr std::size_t kMaxRequest = 1024 * 1024;

    RequestFramer(std::string openTag, std::string closeTag, std::size_t maxRequest = kMaxRequest);

    // Appends chunk to the buffer. When a request is complete, returns it and
    // empties the buffer: the engine then hands the leftover back with
    // SetBuffer (or drops it). At most one request per call.
    std::optional<FramedRequest> Feed(const std::string& chunk);

    void SetBuffer(std::string text);
    const std::string& Buffer() const { return m_buffer; }

private:
    std::optional<FramedRequest> CutRequest();
    std::size_t AfterCompleteRequests(std::string_view text) const;
    void ResumeSearchAtEnd();
    void NoCloseYet();
    void Abandon();

    std::string m_open;
    std::string m_close;
    std::size_t m_maxRequest;
    std::string m_buffer;
    std::size_t m_openPos = std::string::npos; // of the opening tag in m_buffer, if any
    std::size_t m_searchFrom = 0;              // where the closing-tag search goes on
};

} // namespace loomway
