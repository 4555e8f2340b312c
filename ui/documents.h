#pragma once

#include <QString>
#include <QUrl>

namespace loomway {

inline constexpr const char* kUserGuide = "README.html";
inline constexpr const char* kChangeLog = "CHANGELOG.html";

// The file address of a page shipped with the program, in share/doc/loomway
// beside the folder of the binary: <prefix>/share/doc/loomway when installed,
// <build>/share/doc/loomway in the build tree.
QUrl ShippedDocumentUrl(const QString& fileName);

// Opens the page in the desktop's browser; a failure is ignored.
void OpenShippedDocument(const QString& fileName);

} // namespace loomway
