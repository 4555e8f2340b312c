#pragma once

#include <optional>
#include <string>
#include <vector>

namespace loomway::sim {

// What crosses the line between the handheld's companion application and
// Palm Loomway: the request tags, the clipboard transfer, the status reply.
inline constexpr const char* kClipOpen = "<LMW_C>";
inline constexpr const char* kClipClose = "</LMW_C>";
inline constexpr const char* kPrintOpen = "<LMW_P>";
inline constexpr const char* kPrintClose = "</LMW_P>";
inline constexpr const char* kStatusTag = "<SRESP>";
inline constexpr const char* kReplyOpen = "<LMW_RSP>";
inline constexpr const char* kReplyClose = "</LMW_RSP>";

// The handheld's line ends: CR LF and a lone CR become a single LF.
std::string ToHandheldLineEnds(const std::string& text);

std::string ClipRequest(const std::string& text);
// The document, with <SRESP> added at its end when a reply is wanted.
std::string PrintBody(const std::string& document, bool status);
std::string PrintRequest(const std::string& body);

// UTF-8 to the handheld's Latin-1: a character it lacks (or a broken
// sequence) becomes "?". And back, for showing Latin-1 bytes on a terminal.
std::string Utf8ToLatin1(const std::string& text);
std::string Latin1ToUtf8(const std::string& text);

// The fields of a printer status reply, as the program sent them.
struct StatusReply {
    std::string sta;     // "DEFINED" or "ERROR(<code>)"
    std::string printHw; // "<lines per page>,<characters per line>"
    std::string fontHw;  // "<height>,<width>" of the letter O in twips
    std::string len;     // characters of the document body
    std::string name;    // the printer's name, unescaped
    bool defined() const { return sta == "DEFINED"; }
};

// Parses the text between <LMW_RSP> and </LMW_RSP>. On a malformed reply,
// returns nothing and says why in `why`.
std::optional<StatusReply> ParseStatusReply(const std::string& inner, std::string& why);

// Cuts framed texts out of a byte stream that also carries other bytes.
// Keeps only what could still become a framed text, so memory stays flat.
class FrameScanner {
public:
    FrameScanner(std::string open, std::string close);
    // Appends bytes; returns the texts between the tags completed by them.
    std::vector<std::string> feed(const std::string& bytes);
    // Everything seen so far that is not part of a completed framed text.
    const std::string& pending() const { return m_buffer; }

private:
    std::string m_open;
    std::string m_close;
    std::string m_buffer;
};

} // namespace loomway::sim
