#pragma once

#include <optional>
#include <string>

namespace loomway {

// The desktop's clipboard (CLIPBOARD selection), plain text only. Text is
// 8-bit: one char per Latin-1 character.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's text as Latin-1 bytes (a character with no Latin-1 form
    // becomes '?'); nothing when the clipboard holds no text or cannot be read.
    virtual std::optional<std::string> GetText() = 0;
    // Puts text (Latin-1 bytes) on the clipboard as plain text; failures are ignored.
    virtual void SetText(const std::string& text) = 0;
};

} // namespace loomway
