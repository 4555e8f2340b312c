#include "config/initext.h"

#include "base/asciitext.h"

#include <algorithm>
#include <vector>

namespace loomway {

namespace {

// Letter case folded for ASCII and the Latin-1 letters.
unsigned char Folded(unsigned char c) {
    if (c >= 'A' && c <= 'Z') {
        return static_cast<unsigned char>(c + 32);
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return static_cast<unsigned char>(c + 32);
    }
    return c;
}

// One line of the text as the reader sees it.
struct Line {
    std::size_t begin = 0; // offset of the line in the text
    std::size_t end = 0;   // offset of its line ending (or of the text's end)
    std::size_t next = 0;  // offset of the next line
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::string_view name;      // section or key name, trimmed
    std::size_t valueBegin = 0; // offset of the value after "=" and its blanks
};

std::vector<Line> Parse(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        std::size_t nl = text.find('\n', pos);
        line.next = nl == std::string_view::npos ? text.size() : nl + 1;
        line.end = nl == std::string_view::npos ? text.size() : nl;
        if (line.end > line.begin && text[line.end - 1] == '\r') {
            --line.end;
        }
        std::string_view body = text.substr(line.begin, line.end - line.begin);
        std::string_view trimmed = TrimmedView(body);
        if (!trimmed.empty() && trimmed.front() == '[') {
            std::string_view inside = trimmed.substr(1);
            inside = inside.substr(0, inside.find(']'));
            line.kind = Line::Kind::Section;
            line.name = TrimmedView(inside);
        } else if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#') {
            std::size_t eq = body.find('=');
            if (eq != std::string_view::npos && !TrimmedView(body.substr(0, eq)).empty()) {
                line.kind = Line::Kind::Key;
                line.name = TrimmedView(body.substr(0, eq));
                std::size_t v = line.begin + eq + 1;
                while (v < line.end && IsBlank(text[v])) {
                    ++v;
                }
                line.valueBegin = v;
            }
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

// Where a key stands: the index of its line, or of the last line of the first
// matching section after which a new key goes.
struct Place {
    std::optional<std::size_t> keyLine;
    std::optional<std::size_t> insertAfter;
};

Place Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Place place;
    bool inSection = false;
    bool inFirstSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == Line::Kind::Section) {
            inSection = SameIniName(line.name, section);
            inFirstSection = inSection && !place.insertAfter;
            if (inFirstSection) {
                place.insertAfter = i;
            }
        } else if (inSection && line.kind == Line::Kind::Key) {
            if (SameIniName(line.name, key)) {
                place.keyLine = i;
                return place;
            }
            // New keys go after the last key of the first matching section.
            if (inFirstSection) {
                place.insertAfter = i;
            }
        }
    }
    return place;
}

std::string WithoutLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\n' && c != '\r') {
            out += c;
        }
    }
    return out;
}

bool ReadableSection(const std::string& name) {
    return TrimmedView(name).size() == name.size() && name.find(']') == std::string::npos;
}

bool ReadableKey(const std::string& name) {
    return !name.empty() && TrimmedView(name).size() == name.size() &&
           name.find('=') == std::string::npos && name.front() != '[' && name.front() != ';' &&
           name.front() != '#';
}

} // namespace

bool SameIniName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Folded(static_cast<unsigned char>(x)) ==
                      Folded(static_cast<unsigned char>(y));
           });
}

std::optional<std::string> ReadIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
    const std::vector<Line> lines = Parse(text);
    const Place place = Find(lines, section, key);
    if (!place.keyLine) {
        return std::nullopt;
    }
    const Line& line = lines[*place.keyLine];
    return Trimmed(text.substr(line.valueBegin, line.end - line.valueBegin));
}

std::optional<std::string> WriteIniValue(std::string_view text, std::string_view section,
                                         std::string_view key, std::string_view value) {
    const std::string sectionName = WithoutLineBreaks(section);
    const std::string keyName = WithoutLineBreaks(key);
    if (!ReadableSection(sectionName) || !ReadableKey(keyName)) {
        return std::nullopt;
    }
    const std::string cleanValue = WithoutLineBreaks(value);

    const std::vector<Line> lines = Parse(text);
    const std::size_t firstBreak = text.find('\n');
    const std::string eol =
        firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r'
            ? "\r\n"
            : "\n";
    // What ends the text's last line when it lacks its line feed; after a
    // carriage return, that is the first half of the line ending already.
    const std::string lastLineEnding = text.empty() || text.back() == '\n' ? ""
                                       : text.back() == '\r'               ? "\n"
                                                                           : eol;

    const Place place = Find(lines, sectionName, keyName);
    std::string updated;
    if (place.keyLine) {
        const Line& line = lines[*place.keyLine];
        updated.reserve(text.size() + cleanValue.size());
        updated.append(text.substr(0, line.valueBegin));
        updated += cleanValue;
        updated.append(text.substr(line.end));
    } else if (place.insertAfter) {
        const Line& line = lines[*place.insertAfter];
        updated.append(text.substr(0, line.next));
        if (line.next == text.size()) {
            updated += lastLineEnding;
        }
        updated += keyName + "=" + cleanValue + eol;
        updated.append(text.substr(line.next));
    } else {
        updated = text;
        updated += lastLineEnding;
        if (!lines.empty() &&
            !TrimmedView(text.substr(lines.back().begin, lines.back().end - lines.back().begin))
                 .empty()) {
            updated += eol;
        }
        updated += "[" + sectionName + "]" + eol + keyName + "=" + cleanValue + eol;
    }
    return updated;
}

} // namespace loomway
