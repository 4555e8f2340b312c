#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace loomway {

// Bytes as the traffic monitor shows them: two upper-case hex digits per byte,
// separated by blanks ("41 54 0D"), at most `limit` bytes, then "…" when more
// follow.
std::string HexText(std::string_view bytes, std::size_t limit = std::string_view::npos);

// The same bytes as printable text: the printable ASCII characters as they
// are, every other byte as '.'; at most `limit` bytes, then "…".
std::string PrintableText(std::string_view bytes, std::size_t limit = std::string_view::npos);

// Lines of 16 bytes: the offset (4 hex digits), the bytes in hex (a wider gap
// after the eighth) and the printable text between bars, e.g.
// "0000  41 54 44 0D                                         |ATD.|".
std::string HexDumpLines(std::string_view bytes);

// A byte sequence typed as hex: pairs of hex digits, blanks, commas and a
// leading "0x" on a pair allowed ("7e ff 03", "7EFF03", "0x7e,0xff").
// Nothing for an empty text, an odd digit or any other character.
std::optional<std::string> ParseHexBytes(std::string_view text);

} // namespace loomway
