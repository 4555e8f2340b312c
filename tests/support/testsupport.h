#pragma once

#include <QByteArray>
#include <QString>

#include <initializer_list>

namespace loomway::test {

// Writes $XDG_CONFIG_HOME/LOOMWAY.INI of the test's sandbox; its private
// scratch folder (see sandbox.cpp).
void writeSettingsFile(const QByteArray& contents);
QString scratchDir();

// Adds QString columns and one data row per line of cells: a name, then a
// cell per column (or a cell per column, the first naming the row too).
void addRows(std::initializer_list<const char*> columns,
             std::initializer_list<std::initializer_list<const char*>> rows);
// The current row's cell in column (what QFETCH gives, as an expression).
QString cell(const char* column);

} // namespace loomway::test
