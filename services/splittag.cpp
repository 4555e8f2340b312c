#include "services/splittag.h"

namespace loomway {

SplitTagResult SplitTag(std::string_view text) {
    const std::size_t open = text.find('<');
    // A "<" needs at least two characters behind it to start a tag.
    if (open == std::string_view::npos || open + 2 >= text.size()) {
        return {text, {}, {}};
    }
    const std::size_t close = text.find('>', open + 1);
    if (close == std::string_view::npos) {
        return {text, {}, {}};
    }
    return {text.substr(0, open), text.substr(open + 1, close - open - 1), text.substr(close + 1)};
}

} // namespace loomway
