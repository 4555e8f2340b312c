#pragma once

#include <string>

namespace loomway {

// The main window's status bar.
class StatusPanel {
public:
    virtual ~StatusPanel() = default;
    virtual void ShowStatus(const std::string& text) = 0;
    // Panel 2: a note on what the program waits for; empty text clears it.
    virtual void ShowNotice(const std::string& text) { (void)text; }
};

} // namespace loomway
