#include "ui/documents.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace loomway {

QUrl ShippedDocumentUrl(const QString& fileName) {
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/doc/loomway/") + fileName);
    if (QFileInfo::exists(installed)) {
        return QUrl::fromLocalFile(installed);
    }
    return QUrl::fromLocalFile(QDir::cleanPath(QStringLiteral(LOOMWAY_SOURCE_DIR "/") + fileName));
}

void OpenShippedDocument(const QString& fileName) {
    // The outcome is not examined: when nothing can open the page, nothing is said.
    (void)QDesktopServices::openUrl(ShippedDocumentUrl(fileName));
}

} // namespace loomway
