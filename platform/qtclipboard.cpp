#include "platform/qtclipboard.h"

#include "config/handheldcharset.h"

#include <QClipboard>
#include <QMimeData>
#include <QString>

namespace loomway {

QtClipboard::QtClipboard(QClipboard& clipboard) : m_clipboard(clipboard) {}

std::optional<std::string> QtClipboard::GetText() {
    // Some platforms give no data at all for an empty or foreign clipboard.
    const QMimeData* data = m_clipboard.mimeData(QClipboard::Clipboard);
    if (data == nullptr || !data->hasText()) {
        return std::nullopt;
    }
    // Code points, not UTF-16 units, so a character outside the BMP becomes
    // a single '?'.
    return UnicodeToHandheld(data->text().toStdU32String());
}

void QtClipboard::SetText(const std::string& text) {
    m_clipboard.setText(QString::fromStdU32String(HandheldToUnicode(text)), QClipboard::Clipboard);
}

} // namespace loomway
