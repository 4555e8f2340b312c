#pragma once

// The request framing without shortcuts, to check the real framer against: a
// request runs from the first opening tag to the first closing tag after it;
// one that passes max characters unclosed is given up, keeping only an end that
// could begin the next opening tag.

#include "core/requestframer.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

namespace loomway::test {

class ReferenceFramer {
public:
    ReferenceFramer(std::string open, std::string close, std::size_t max)
        : m_open(std::move(open)), m_close(std::move(close)), m_max(max) {}

    std::optional<FramedRequest> Feed(const std::string& chunk) {
        m_buffer += chunk;
        const auto o = m_buffer.find(m_open);
        if (o == std::string::npos) {
            return std::nullopt;
        }
        const auto c = m_buffer.find(m_close, o + m_open.size());
        if (c == std::string::npos) {
            if (m_buffer.size() - o - m_open.size() > m_max) {
                ++abandoned;
                const std::string body = m_buffer.substr(o + m_open.size());
                m_buffer.clear();
                for (std::size_t k = std::min(body.size(), m_open.size() - 1); k > 0; --k) {
                    if (body.compare(body.size() - k, k, m_open, 0, k) == 0) {
                        m_buffer = body.substr(body.size() - k);
                        break;
                    }
                }
            }
            return std::nullopt;
        }
        FramedRequest request{m_buffer.substr(o + m_open.size(), c - o - m_open.size()),
                              m_buffer.substr(c + m_close.size())};
        m_buffer.clear();
        return request;
    }
    void SetBuffer(const std::string& text) { m_buffer = text; }

    int abandoned = 0;

private:
    std::string m_open, m_close;
    std::size_t m_max;
    std::string m_buffer;
};

} // namespace loomway::test
