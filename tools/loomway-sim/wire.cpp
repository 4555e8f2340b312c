#include "tools/loomway-sim/wire.h"

#include <cctype>

namespace loomway::sim {
namespace {

bool AllDigits(const std::string& s) {
    if (s.empty()) {
        return false;
    }
    for (unsigned char c : s) {
        if (!std::isdigit(c)) {
            return false;
        }
    }
    return true;
}

bool NumberPair(const std::string& s) {
    const auto comma = s.find(',');
    return comma != std::string::npos && AllDigits(s.substr(0, comma)) &&
           AllDigits(s.substr(comma + 1));
}

} // namespace

std::string ToHandheldLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ClipRequest(const std::string& text) {
    return std::string(kClipOpen) + text + kClipClose;
}

std::string PrintBody(const std::string& document, bool status) {
    return status ? document + kStatusTag : document;
}

std::string PrintRequest(const std::string& body) {
    return std::string(kPrintOpen) + body + kPrintClose;
}

std::string Utf8ToLatin1(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t len = c < 0x80         ? 1
                          : (c >> 5) == 6  ? 2
                          : (c >> 4) == 14 ? 3
                          : (c >> 3) == 30 ? 4
                                           : 0;
        if (len == 0 || i + len > text.size()) {
            out += '?';
            ++i;
            continue;
        }
        unsigned long cp = len == 1 ? c : c & (0x7F >> len);
        bool valid = true;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc >> 6) != 2) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        out += cp <= 0xFF ? static_cast<char>(cp) : '?';
        i += len;
    }
    return out;
}

std::string Latin1ToUtf8(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<StatusReply> ParseStatusReply(const std::string& inner, std::string& why) {
    // The name comes last and is sent unescaped, so the fields are found in
    // their fixed order rather than by splitting at "~".
    static const char* const kKeys[] = {"STA=", "~PRINT_HW=", "~FONT_HW=", "~LEN=", "~NAME="};
    std::string values[5];
    std::size_t at = 0;
    for (int k = 0; k < 5; ++k) {
        const std::string key = kKeys[k];
        if (inner.compare(at, key.size(), key) != 0) {
            why = "expected \"" + key + "\" at position " + std::to_string(at + 1);
            return std::nullopt;
        }
        at += key.size();
        if (k == 4) {
            values[k] = inner.substr(at);
            break;
        }
        const auto next = inner.find(kKeys[k + 1], at);
        if (next == std::string::npos) {
            why = std::string("no \"") + kKeys[k + 1] + "\" field";
            return std::nullopt;
        }
        values[k] = inner.substr(at, next - at);
        at = next;
    }
    StatusReply reply{values[0], values[1], values[2], values[3], values[4]};
    const bool errorSta = reply.sta.size() > 7 && reply.sta.rfind("ERROR(", 0) == 0 &&
                          reply.sta.back() == ')' &&
                          AllDigits(reply.sta.substr(6, reply.sta.size() - 7));
    if (!reply.defined() && !errorSta) {
        why = "STA is \"" + reply.sta + "\", neither DEFINED nor ERROR(<code>)";
    } else if (!NumberPair(reply.printHw)) {
        why = "PRINT_HW is \"" + reply.printHw + "\", not two numbers";
    } else if (!NumberPair(reply.fontHw)) {
        why = "FONT_HW is \"" + reply.fontHw + "\", not two numbers";
    } else if (!AllDigits(reply.len)) {
        why = "LEN is \"" + reply.len + "\", not a number";
    } else if (reply.name.empty()) {
        why = "NAME is empty";
    } else {
        return reply;
    }
    return std::nullopt;
}

FrameScanner::FrameScanner(std::string open, std::string close)
    : m_open(std::move(open)), m_close(std::move(close)) {}

std::vector<std::string> FrameScanner::feed(const std::string& bytes) {
    std::vector<std::string> done;
    m_buffer += bytes;
    for (;;) {
        const auto open = m_buffer.find(m_open);
        if (open == std::string::npos) {
            // Keep only a tail that may be the start of an opening tag.
            const std::size_t keep = std::min(m_buffer.size(), m_open.size() - 1);
            m_buffer.erase(0, m_buffer.size() - keep);
            return done;
        }
        const auto close = m_buffer.find(m_close, open + m_open.size());
        if (close == std::string::npos) {
            m_buffer.erase(0, open);
            return done;
        }
        done.push_back(m_buffer.substr(open + m_open.size(), close - open - m_open.size()));
        m_buffer.erase(0, close + m_close.size());
    }
}

} // namespace loomway::sim
