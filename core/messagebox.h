#pragma once

#include <string>

namespace loomway {

enum class MessageIcon { Exclamation, Critical };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// A modal message box; only the ui layer shows one. Texts are UTF-8; a line
// break inside a text is a single line feed.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual MessageAnswer Show(const std::string& title, const std::string& text, MessageIcon icon,
                               MessageButtons buttons,
                               MessageAnswer defaultButton = MessageAnswer::Ok) = 0;
};

} // namespace loomway
