#pragma once

#include <string_view>

namespace loomway {

// The text in front of the first tag, the tag's name (everything between "<"
// and ">", exactly as written) and the text behind it. All three views point
// into the text given to SplitTag.
struct SplitTagResult {
    std::string_view before;
    std::string_view tagName;
    std::string_view rest;
};

// Cuts text at its first tag. With no tag (no "<", no ">" behind it, or a "<"
// that is the last or second-to-last character), before is the whole text and
// the tag name and rest are empty.
SplitTagResult SplitTag(std::string_view text);

} // namespace loomway
