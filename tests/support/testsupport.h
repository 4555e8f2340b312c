#pragma once

#include <QByteArray>
#include <QString>

#include <initializer_list>
#include <string>

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

// Stores [Source] Port, [Destination] Port and [Common] Speed in a settings
// file in memory (an empty text reads as none stored).
template <typename File>
void storeComm(File& file, const std::string& source, const std::string& destination,
               const std::string& speed) {
    file.set("Source", "Port", source), file.set("Destination", "Port", destination);
    file.set("Common", "Speed", speed);
}

} // namespace loomway::test
