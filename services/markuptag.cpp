#include "services/markuptag.h"

#include <array>

namespace loomway {

namespace {

struct Entry {
    std::string_view name;
    MarkupTagInfo info;
};

constexpr std::array<Entry, 24> kTags{{
    {"PORIENT_P", {MarkupTag::PortraitOrientation, 0, {}}},
    {"PORIENT_L", {MarkupTag::LandscapeOrientation, 0, {}}},
    {"FBOLD", {MarkupTag::Bold, 0, {}}},
    {"FITALIC", {MarkupTag::Italic, 0, {}}},
    {"FUNDER", {MarkupTag::Underline, 0, {}}},
    {"FNORMAL", {MarkupTag::Normal, 0, {}}},
    {"FDEFAULT", {MarkupTag::Default, 0, {}}},
    {"FSIZE=8", {MarkupTag::Size, 8, {}}},
    {"FSIZE=10", {MarkupTag::Size, 10, {}}},
    {"FSIZE=12", {MarkupTag::Size, 12, {}}},
    {"FSIZE=14", {MarkupTag::Size, 14, {}}},
    {"FSIZE=16", {MarkupTag::Size, 16, {}}},
    {"FSIZE=18", {MarkupTag::Size, 18, {}}},
    {"FSIZE=24", {MarkupTag::Size, 24, {}}},
    {"FONT=ARIAL", {MarkupTag::Face, 0, "Arial"}},
    {"FONT=TNR", {MarkupTag::Face, 0, "Times New Roman"}},
    {"FONT=COURNEW", {MarkupTag::Face, 0, kDefaultFace}},
    {"ALIGN=LEFT", {MarkupTag::AlignLeft, 0, {}}},
    {"ALIGN=CENTER", {MarkupTag::AlignCenter, 0, {}}},
    {"ALIGN=RIGHT", {MarkupTag::AlignRight, 0, {}}},
    {"NL", {MarkupTag::NewLine, 0, {}}},
    {"FFEED", {MarkupTag::FormFeed, 0, {}}},
    {"PAGEN", {MarkupTag::PageNumber, 0, {}}},
    {"SRESP", {MarkupTag::StatusRequest, 0, {}}},
}};

} // namespace

MarkupTagInfo LookupTag(std::string_view name) {
    for (const Entry& entry : kTags) {
        if (entry.name == name) {
            return entry.info;
        }
    }
    return {};
}

} // namespace loomway
