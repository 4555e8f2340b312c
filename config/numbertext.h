#pragma once

#include <optional>
#include <string>

namespace loomway {

// Numbers read from settings texts.

// The number formed by the leading decimal digits of text (after leading
// blanks, with an optional sign); 0 when there are none.
long LeadingNumber(const std::string& text);

// The text as a whole number when it is one (blanks around it allowed,
// decimals rounded); nothing when it is not a number at all.
std::optional<long> ToWholeNumber(const std::string& text);

// The port number a port text stands for: one rule for the switch-on, which
// opens that port, and for the communication dialog, which refuses two texts
// that stand for the same port. The text as a whole number (ToWholeNumber:
// "3.9" is port 4); nothing when it is no number at all.
std::optional<long> PortNumberOfText(const std::string& text);

} // namespace loomway
