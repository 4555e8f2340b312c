#include "ui/chunktext.h"

#include <algorithm>

namespace loomway {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
constexpr std::string_view kMore = "\xE2\x80\xA6"; // U+2026, UTF-8

bool Printable(unsigned char byte) {
    return byte >= 0x20 && byte < 0x7F;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void AppendHex(std::string& out, unsigned char byte) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
}

} // namespace

std::string HexText(std::string_view bytes, std::size_t limit) {
    const std::size_t shown = std::min(bytes.size(), limit);
    std::string out;
    out.reserve(shown * 3 + kMore.size());
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) {
            out += ' ';
        }
        AppendHex(out, static_cast<unsigned char>(bytes[i]));
    }
    if (shown < bytes.size()) {
        out += ' ';
        out += kMore;
    }
    return out;
}

std::string PrintableText(std::string_view bytes, std::size_t limit) {
    const std::size_t shown = std::min(bytes.size(), limit);
    std::string out;
    out.reserve(shown + kMore.size());
    for (std::size_t i = 0; i < shown; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out += Printable(byte) ? static_cast<char>(byte) : '.';
    }
    if (shown < bytes.size()) {
        out += kMore;
    }
    return out;
}

std::string HexDumpLines(std::string_view bytes) {
    std::string out;
    for (std::size_t line = 0; line < bytes.size(); line += 16) {
        const std::size_t offset = line & 0xFFFF'FFFF;
        for (int shift = offset > 0xFFFF ? 28 : 12; shift >= 0; shift -= 4) {
            out += kDigits[(offset >> shift) & 0xF];
        }
        out += ' ';
        for (std::size_t i = 0; i < 16; ++i) {
            out += i == 8 ? "  " : " ";
            if (line + i < bytes.size()) {
                AppendHex(out, static_cast<unsigned char>(bytes[line + i]));
            } else {
                out += "  ";
            }
        }
        out += "  |";
        out += PrintableText(bytes.substr(line, 16));
        out += "|\n";
    }
    return out;
}

std::optional<std::string> ParseHexBytes(std::string_view text) {
    std::string bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == ',' || c == '\t') {
            ++i;
            continue;
        }
        if (c == '0' && i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            i += 2;
        }
        if (i + 1 >= text.size() || HexValue(text[i]) < 0 || HexValue(text[i + 1]) < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(HexValue(text[i]) * 16 + HexValue(text[i + 1]));
        i += 2;
    }
    if (bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace loomway
