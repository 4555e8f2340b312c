#include "ui/panetext.h"

namespace loomway {

QString PaneDisplayText(const char* data, std::size_t size) {
    QString text(static_cast<qsizetype>(size), Qt::Uninitialized);
    QChar* out = text.data();
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        char16_t shown = byte;
        if (byte < 0x20 && byte != '\n') {
            shown = static_cast<char16_t>(0x2400 + byte);
        } else if (byte == 0x7F) {
            shown = 0x2421;
        }
        out[i] = QChar(shown);
    }
    return text;
}

QString PaneDisplayText(const std::string& bytes) {
    return PaneDisplayText(bytes.data(), bytes.size());
}

} // namespace loomway
