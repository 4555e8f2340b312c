#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace loomway {

// HDLC-like framing of PPP on an asynchronous line (RFC 1662): 0x7E flags,
// 0x7D escapes, a 16-bit frame check sequence, and the async control
// character map (ACCM), one bit per control character 0x00-0x1F.

inline constexpr unsigned char kPppFlag = 0x7E;
inline constexpr unsigned char kPppEscape = 0x7D;
inline constexpr std::uint32_t kPppAllControls = 0xFFFFFFFF; // the ACCM before one is agreed

// The FCS-16 register after bytes, starting from fcs (0xFFFF for a new frame).
std::uint16_t PppFcs16(std::uint16_t fcs, std::string_view bytes);
// What the register holds after a frame and its own FCS went through it.
inline constexpr std::uint16_t kPppGoodFcs = 0xF0B8;

// One frame for the line: content (address, control, protocol, information)
// with its FCS, escaped, between flags. Escapes 0x7E, 0x7D and the control
// characters flagged in sendAccm.
std::string EncodePppFrame(std::string_view content, std::uint32_t sendAccm);

// Takes line bytes one at a time and gives back each frame whose FCS checks,
// without the FCS. Frames longer than maxContent are dropped while they
// arrive, so memory never grows past that bound.
class PppFrameReader {
public:
    explicit PppFrameReader(std::size_t maxContent);

    // Unescaped control characters flagged here are noise added by the line
    // and are discarded (the map this end asked the peer to use).
    void SetReceiveAccm(std::uint32_t accm) { m_accm = accm; }

    // Forgets a frame half received and the map; the counters stay.
    void Clear();

    // True when byte completed a good frame; Frame() then holds it until the
    // next call.
    bool Push(unsigned char byte);
    std::string_view Frame() const { return m_frame; }

    // Frames dropped: wrong FCS (or shorter than one), over-long, aborted by 0x7D 0x7E.
    std::uint64_t BadFcs() const { return m_badFcs; }
    std::uint64_t TooLong() const { return m_tooLong; }
    std::uint64_t Aborted() const { return m_aborted; }

private:
    bool EndOfFrame();

    std::size_t m_max;
    std::string m_frame;
    std::uint32_t m_accm = kPppAllControls;
    bool m_escaped = false;
    bool m_overflow = false;
    bool m_complete = false;
    std::uint64_t m_badFcs = 0;
    std::uint64_t m_tooLong = 0;
    std::uint64_t m_aborted = 0;
};

} // namespace loomway
