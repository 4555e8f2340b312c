#include "base/asciitext.h"

namespace loomway {

std::string_view TrimmedView(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Trimmed(std::string_view text) {
    return std::string(TrimmedView(text));
}

std::string UpperCased(std::string text) {
    for (char& c : text) {
        c = UpperAscii(c);
    }
    return text;
}

std::string LowerCased(std::string text) {
    for (char& c : text) {
        c = LowerAscii(c);
    }
    return text;
}

} // namespace loomway
