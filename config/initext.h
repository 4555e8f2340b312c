#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace loomway {

// The text of an INI file: "[section]" lines, "key=value" lines below them,
// comments (";" or "#") and anything else, in LF or CR LF line endings.
// Section and key names match without regard to letter case (ASCII and
// Latin-1 letters); blanks around names and values do not count.

// Whether two section or key names match.
bool SameIniName(std::string_view a, std::string_view b);

// The value of the first key in a section of that name, without the blanks
// around it; nothing when there is no such key.
std::optional<std::string> ReadIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// text with key in section set to value, line breaks in the names and the
// value dropped. An existing key keeps its line and only its value changes;
// a new key goes after the last key of the first section of that name, a new
// section at the end after a blank line. New lines take the text's line
// ending (that of its first line), and every other byte stays. Nothing when
// the names could not be read back as written: a key that is empty, holds
// "=", begins with "[", ";" or "#", or has blanks at either end; a section
// that holds "]" or has blanks at either end.
std::optional<std::string> WriteIniValue(std::string_view text, std::string_view section,
                                         std::string_view key, std::string_view value);

} // namespace loomway
