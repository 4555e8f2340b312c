#include "tests/support/testsupport.h"

#include <QFile>
#include <QTest>

namespace loomway::test {

void writeSettingsFile(const QByteArray& contents) {
    QFile file(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/LOOMWAY.INI"));
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) {
        qFatal("cannot write the test settings file");
    }
}

QString scratchDir() {
    return qEnvironmentVariable("LOOMWAY_TEST_TMP");
}

void addRows(std::initializer_list<const char*> columns,
             std::initializer_list<std::initializer_list<const char*>> rows) {
    for (const char* column : columns) {
        QTest::addColumn<QString>(column);
    }
    for (const auto& row : rows) {
        auto& data = QTest::newRow(*row.begin());
        // A row of one cell per column is named after its first cell.
        for (auto cell = row.begin() + (row.size() > columns.size()); cell != row.end(); ++cell) {
            data << QString::fromUtf8(*cell);
        }
    }
}

QString cell(const char* column) {
    return *static_cast<QString*>(QTest::qData(column, qMetaTypeId<QString>()));
}

} // namespace loomway::test
