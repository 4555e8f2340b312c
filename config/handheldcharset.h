#pragma once

#include <string>
#include <string_view>

namespace loomway {

// The handheld's 8-bit character set, the one table for every conversion
// between handheld bytes and desktop text (clipboard, printing) and for
// settings values that are not UTF-8.
//
// It is Windows-1252 (the desktop code page of the handheld's era, Latin-1
// plus typographic marks in 0x80..0x9F). Windows-1252 leaves five codes
// empty; the handheld's own font puts card suits into three of them, and
// those take the handheld's symbols: 0x8D diamond, 0x8F heart, 0x90 spade.
// The handheld's club (0x8E) clashes with Windows-1252's Z caron and stays
// out. The remaining two codes (0x81, 0x9D) have no character in either set
// and read as '?'; so does, the other way, every character without a byte.

// The character that one byte stands for.
char32_t HandheldCharToUnicode(unsigned char byte);

// Bytes to text and back; one character per byte.
std::u32string HandheldToUnicode(std::string_view bytes);
std::string UnicodeToHandheld(std::u32string_view text);

// Bytes to UTF-8 text.
std::string HandheldToUtf8(std::string_view bytes);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsUtf8(std::string_view bytes);

// The number of characters of well-formed UTF-8 text, and the byte length of
// its first `count` characters (all of it when it has fewer).
std::size_t Utf8Length(std::string_view text);
std::size_t Utf8Prefix(std::string_view text, std::size_t count);

} // namespace loomway
