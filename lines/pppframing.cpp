#include "lines/pppframing.h"

#include <array>

namespace loomway {

namespace {

constexpr std::array<std::uint16_t, 256> MakeFcsTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned v = b;
        for (int i = 0; i < 8; ++i) {
            v = v & 1 ? (v >> 1) ^ 0x8408 : v >> 1;
        }
        table[b] = static_cast<std::uint16_t>(v);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kFcsTable = MakeFcsTable();

bool Flagged(unsigned char byte, std::uint32_t accm) {
    return byte < 0x20 && (accm >> byte & 1) != 0;
}

} // namespace

std::uint16_t PppFcs16(std::uint16_t fcs, std::string_view bytes) {
    for (const char c : bytes) {
        fcs = static_cast<std::uint16_t>((fcs >> 8) ^
                                         kFcsTable[(fcs ^ static_cast<unsigned char>(c)) & 0xFF]);
    }
    return fcs;
}

std::string EncodePppFrame(std::string_view content, std::uint32_t sendAccm) {
    const std::uint16_t fcs = static_cast<std::uint16_t>(~PppFcs16(0xFFFF, content));
    std::string out;
    out.reserve(content.size() * 2 + 6);
    out += static_cast<char>(kPppFlag);
    auto put = [&](unsigned char byte) {
        if (byte == kPppFlag || byte == kPppEscape || Flagged(byte, sendAccm)) {
            out += static_cast<char>(kPppEscape);
            byte ^= 0x20;
        }
        out += static_cast<char>(byte);
    };
    for (const char c : content) {
        put(static_cast<unsigned char>(c));
    }
    put(fcs & 0xFF);
    put(fcs >> 8);
    out += static_cast<char>(kPppFlag);
    return out;
}

PppFrameReader::PppFrameReader(std::size_t maxContent) : m_max(maxContent + 2) {
    m_frame.reserve(m_max);
}

void PppFrameReader::Clear() {
    m_frame.clear();
    m_accm = kPppAllControls;
    m_escaped = false;
    m_overflow = false;
    m_complete = false;
}

bool PppFrameReader::Push(unsigned char byte) {
    if (m_complete) {
        m_frame.clear();
        m_complete = false;
    }
    if (byte == kPppFlag) {
        return EndOfFrame();
    }
    if (Flagged(byte, m_accm)) {
        return false;
    }
    if (byte == kPppEscape) {
        m_escaped = true;
        return false;
    }
    if (m_escaped) {
        byte ^= 0x20;
        m_escaped = false;
    }
    if (m_frame.size() < m_max) {
        m_frame += static_cast<char>(byte);
    } else {
        m_overflow = true;
    }
    return false;
}

bool PppFrameReader::EndOfFrame() {
    const bool aborted = m_escaped;
    const bool overflow = m_overflow;
    m_escaped = false;
    m_overflow = false;
    if (aborted || overflow) {
        ++(aborted ? m_aborted : m_tooLong);
        m_frame.clear();
        return false;
    }
    if (m_frame.empty()) {
        return false; // back-to-back flags
    }
    if (m_frame.size() < 3 || PppFcs16(0xFFFF, m_frame) != kPppGoodFcs) {
        ++m_badFcs;
        m_frame.clear();
        return false;
    }
    m_frame.resize(m_frame.size() - 2);
    m_complete = true;
    return true;
}

} // namespace loomway
