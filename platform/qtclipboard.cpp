#include "platform/qtclipboard.h"

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
    const QList<uint> codePoints = data->text().toUcs4();
    std::string text;
    text.reserve(static_cast<std::size_t>(codePoints.size()));
    for (uint c : codePoints) {
        text += c < 256 ? static_cast<char>(static_cast<unsigned char>(c)) : '?';
    }
    return text;
}

void QtClipboard::SetText(const std::string& text) {
    m_clipboard.setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())),
                        QClipboard::Clipboard);
}

} // namespace loomway
