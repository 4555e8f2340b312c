#include "ui/appicon.h"

#include <QDirIterator>

namespace loomway {

QIcon ApplicationIcon() {
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/loomway/icons"), {QStringLiteral("loomway.png")},
                       QDir::Files, QDirIterator::Subdirectories);
    while (sizes.hasNext()) {
        icon.addFile(sizes.next());
    }
    return icon;
}

} // namespace loomway
