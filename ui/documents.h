#pragma once

#include <QString>
#include <QUrl>

namespace loomway {

inline constexpr const char* kUserGuide = "README.md";
inline constexpr const char* kChangeLog = "CHANGELOG.md";

// The file address of a document shipped with the program: the installed copy
// in <prefix>/share/doc/loomway beside the binary, else the copy in the
// source tree the program was built from.
QUrl ShippedDocumentUrl(const QString& fileName);

// Opens the document with the desktop's default handler; a failure is ignored.
void OpenShippedDocument(const QString& fileName);

} // namespace loomway
