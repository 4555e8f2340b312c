#pragma once

#include <string>

namespace loomway {

// Panel 1 of the main window's status bar.
class StatusPanel {
public:
    virtual ~StatusPanel() = default;
    virtual void ShowStatus(const std::string& text) = 0;
};

} // namespace loomway
