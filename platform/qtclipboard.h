#pragma once

#include "services/clipboard.h"

#include <optional>
#include <string>

class QClipboard;

namespace loomway {

// The desktop's CLIPBOARD selection through QClipboard, plain text only.
// Text crosses in the handheld's character set (config/handheldcharset.h):
// one byte per character in both directions.
class QtClipboard : public Clipboard {
public:
    // clipboard: the application's clipboard (QGuiApplication::clipboard()).
    explicit QtClipboard(QClipboard& clipboard);

    std::optional<std::string> GetText() override;
    void SetText(const std::string& text) override;

private:
    QClipboard& m_clipboard;
};

} // namespace loomway
