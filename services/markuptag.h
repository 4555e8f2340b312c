#pragma once

#include <string_view>

namespace loomway {

// The tags of the print markup. Names are compared exactly (case, blanks);
// every other name, the empty one included, is Unlisted.
enum class MarkupTag {
    Unlisted,
    PortraitOrientation,  // "PORIENT_P"
    LandscapeOrientation, // "PORIENT_L"
    Bold,                 // "FBOLD"
    Italic,               // "FITALIC"
    Underline,            // "FUNDER"
    Normal,               // "FNORMAL"
    Default,              // "FDEFAULT"
    Size,                 // "FSIZE=8" ... "FSIZE=24" (listed sizes only)
    Face,                 // "FONT=ARIAL", "FONT=TNR", "FONT=COURNEW"
    AlignLeft,            // "ALIGN=LEFT"
    AlignCenter,          // "ALIGN=CENTER"
    AlignRight,           // "ALIGN=RIGHT"
    NewLine,              // "NL"
    FormFeed,             // "FFEED"
    PageNumber,           // "PAGEN"
    StatusRequest,        // "SRESP"
};

struct MarkupTagInfo {
    MarkupTag tag = MarkupTag::Unlisted;
    float size = 0;        // for Size
    std::string_view face; // for Face: the printer's face name
};

MarkupTagInfo LookupTag(std::string_view name);

inline constexpr std::string_view kDefaultFace = "Courier New";
inline constexpr float kDefaultSize = 10;

} // namespace loomway
