#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtGlobal>

namespace loomway::test {

QString settingsFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty()) {
        qFatal("XDG_CONFIG_HOME is not set: tests must run through tests/support/test-env");
    }
    return base + QStringLiteral("/LOOMWAY.INI");
}

void writeSettingsFile(const QByteArray& contents) {
    QFile file(settingsFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(contents) != contents.size()) {
        qFatal("cannot write the test settings file");
    }
}

QByteArray readSettingsFile() {
    QFile file(settingsFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

QString scratchDir() {
    QString dir = qEnvironmentVariable("LOOMWAY_TEST_TMP");
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    return dir;
}

std::string bytes(const QByteArray& data) {
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

QByteArray qbytes(const std::string& data) {
    return QByteArray(data.data(), static_cast<qsizetype>(data.size()));
}

} // namespace loomway::test
