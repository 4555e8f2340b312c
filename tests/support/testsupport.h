#pragma once

#include <QByteArray>
#include <QString>

#include <initializer_list>

namespace loomway::test {

// $XDG_CONFIG_HOME/LOOMWAY.INI of the test's sandbox, its bytes, and a
// private scratch folder (see sandbox.cpp).
QString settingsFilePath();
void writeSettingsFile(const QByteArray& contents);
QByteArray readSettingsFile();
QString scratchDir();

// Adds QString columns and one data row per line of cells: a name, then a
// cell per column (or a cell per column, the first naming the row too).
void addRows(std::initializer_list<const char*> columns,
             std::initializer_list<std::initializer_list<const char*>> rows);

} // namespace loomway::test
