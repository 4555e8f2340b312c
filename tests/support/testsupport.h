#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace loomway::test {

// $XDG_CONFIG_HOME/LOOMWAY.INI of the test's private environment.
QString settingsFilePath();
// Replaces the settings file with the given bytes.
void writeSettingsFile(const QByteArray& contents);
QByteArray readSettingsFile();
// A private scratch folder of this test run.
QString scratchDir();

std::string bytes(const QByteArray& data);
QByteArray qbytes(const std::string& data);

} // namespace loomway::test
