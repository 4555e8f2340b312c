#pragma once

#include <string>
#include <string_view>

namespace loomway {

// Text helpers for settings, AT commands and addresses. They look at ASCII
// only: bytes above 0x7F are never blanks, digits or letters here, whatever
// the locale says.

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// text without the blanks (spaces and tabs) at either end.
std::string_view TrimmedView(std::string_view text);
std::string Trimmed(std::string_view text);

std::string UpperCased(std::string text);
std::string LowerCased(std::string text);

} // namespace loomway
