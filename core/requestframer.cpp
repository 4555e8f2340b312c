#include "core/requestframer.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace loomway {

namespace {

constexpr std::size_t npos = std::string::npos;

// Length of the longest end of `head + tail` that is a proper beginning of
// `tag`: the only part of a text without the tag that could still become it.
std::size_t PartialTagAtEnd(std::string_view head, std::string_view tail, std::string_view tag) {
    if (tag.empty()) {
        return 0;
    }
    const std::size_t total = head.size() + tail.size();
    const auto at = [&](std::size_t i) {
        return i < head.size() ? head[i] : tail[i - head.size()];
    };
    for (std::size_t k = std::min(tag.size() - 1, total); k > 0; --k) {
        const std::size_t start = total - k;
        std::size_t i = 0;
        while (i < k && at(start + i) == tag[i]) {
            ++i;
        }
        if (i == k) {
            return k;
        }
    }
    return 0;
}

// Empties a buffer and gives back the memory a large request left behind.
void ReleaseBuffer(std::string& buffer) {
    constexpr std::size_t kKeepCapacity = 64 * 1024;
    buffer.clear();
    if (buffer.capacity() > kKeepCapacity) {
        buffer.shrink_to_fit();
    }
}

} // namespace

RequestFramer::RequestFramer(std::string openTag, std::string closeTag, std::size_t maxRequest)
    : m_open(std::move(openTag)), m_close(std::move(closeTag)), m_maxRequest(maxRequest) {}

// Two states. Without an opening tag the buffer holds only its end that could
// still begin one (shorter than the tag): everything before an opening tag is
// dropped when its request completes, and a closing tag in front of the first
// opening tag is dropped with it. With an opening tag the buffer starts with
// that tag, and m_searchFrom is where the closing tag may first begin.
std::optional<FramedRequest> RequestFramer::Feed(const std::string& chunk) {
    if (m_openPos == npos) {
        // An opening tag that begins in the kept end, else one inside the chunk.
        std::size_t open = npos;
        const std::size_t kept = m_buffer.size();
        if (kept > 0) {
            std::string joint = m_buffer + chunk.substr(0, m_open.size() - 1);
            open = joint.find(m_open);
        }
        if (open != npos) {
            m_buffer.erase(0, open);
            m_buffer += chunk;
        } else if (std::size_t inChunk = chunk.find(m_open); inChunk != npos) {
            m_buffer.assign(chunk, inChunk);
        } else {
            const std::size_t partial = PartialTagAtEnd(m_buffer, chunk, m_open);
            if (partial <= chunk.size()) {
                m_buffer.assign(chunk, chunk.size() - partial);
            } else {
                m_buffer.erase(0, kept - (partial - chunk.size()));
                m_buffer += chunk;
            }
            return std::nullopt;
        }
        m_openPos = 0;
        m_searchFrom = m_open.size();
    } else {
        m_buffer += chunk;
    }
    std::optional<FramedRequest> request = CutRequest();
    if (request) {
        // The buffer ended with the chunk, so the leftover's end is the chunk's.
        request->tail = std::min(AfterCompleteRequests(request->leftover), chunk.size());
    }
    return request;
}

// The length of text's end behind the last request that stands complete in it.
std::size_t RequestFramer::AfterCompleteRequests(std::string_view text) const {
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = text.find(m_open, from);
        const std::size_t close = open == npos ? npos : text.find(m_close, open + m_open.size());
        if (close == npos) {
            return text.size() - from;
        }
        from = close + m_close.size();
    }
}

std::optional<FramedRequest> RequestFramer::CutRequest() {
    const std::size_t close = m_buffer.find(m_close, m_searchFrom);
    if (close != npos) {
        FramedRequest request;
        request.body.assign(m_buffer, m_open.size(), close - m_open.size());
        request.leftover.assign(m_buffer, close + m_close.size());
        ReleaseBuffer(m_buffer);
        m_openPos = npos;
        m_searchFrom = 0;
        return request;
    }
    NoCloseYet();
    return std::nullopt;
}

// A closing tag that is still to come starts no earlier than here.
void RequestFramer::ResumeSearchAtEnd() {
    if (m_buffer.size() + 1 > m_close.size()) {
        m_searchFrom = std::max(m_searchFrom, m_buffer.size() + 1 - m_close.size());
    }
}

void RequestFramer::NoCloseYet() {
    ResumeSearchAtEnd();
    if (m_buffer.size() - m_open.size() > m_maxRequest) {
        Abandon();
    }
}

// The request never closed: everything goes except an end of it that could
// begin the next opening tag.
void RequestFramer::Abandon() {
    const std::string_view body = std::string_view(m_buffer).substr(m_open.size());
    const std::string partial(body.substr(body.size() - PartialTagAtEnd({}, body, m_open)));
    ReleaseBuffer(m_buffer);
    m_buffer = partial;
    m_openPos = npos;
    m_searchFrom = 0;
}

void RequestFramer::SetBuffer(std::string text) {
    m_buffer = std::move(text);
    m_openPos = npos;
    m_searchFrom = 0;
    const std::size_t open = m_buffer.find(m_open);
    if (open == npos) {
        const std::size_t partial = PartialTagAtEnd({}, m_buffer, m_open);
        m_buffer.erase(0, m_buffer.size() - partial);
        if (m_buffer.capacity() > 64 * 1024) {
            m_buffer.shrink_to_fit();
        }
        return;
    }
    m_buffer.erase(0, open);
    m_openPos = 0;
    m_searchFrom = m_open.size();
    // A request that already stands complete in the text is cut with the next
    // chunk; leave the search at its closing tag.
    if (std::size_t close = m_buffer.find(m_close, m_searchFrom); close != npos) {
        m_searchFrom = close;
        return;
    }
    // Not abandoned here even when long: the next chunk may still close it,
    // and it is no longer than the chunk it came from.
    ResumeSearchAtEnd();
}

} // namespace loomway
