#include "ui/documents.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>

namespace loomway {

QUrl ShippedDocumentUrl(const QString& fileName) {
    return QUrl::fromLocalFile(QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                               QStringLiteral("/../share/doc/loomway/") +
                                               fileName));
}

void OpenShippedDocument(const QString& fileName) {
    // The outcome is not examined: when nothing can open the page, nothing is said.
    (void)QDesktopServices::openUrl(ShippedDocumentUrl(fileName));
}

} // namespace loomway
