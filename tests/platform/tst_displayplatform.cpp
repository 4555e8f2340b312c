// Which window system platform the program asks Qt for.
#include "platform/displayplatform.h"

#include <QTest>

#include <map>
#include <string>

using namespace loomway;

class TestDisplayPlatform : public QObject {
    Q_OBJECT
private slots:
    void choice_data() {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("platform");
        QTest::newRow("X11 session") << QStringList{"DISPLAY=:0", "XDG_SESSION_TYPE=x11"} << "";
        QTest::newRow("Wayland display")
            << QStringList{"DISPLAY=:0", "WAYLAND_DISPLAY=wayland-0"} << "xcb";
        QTest::newRow("Wayland session")
            << QStringList{"DISPLAY=:1", "XDG_SESSION_TYPE=wayland"} << "xcb";
        QTest::newRow("user's choice kept")
            << QStringList{"DISPLAY=:0", "WAYLAND_DISPLAY=w", "QT_QPA_PLATFORM=wayland"} << "";
        QTest::newRow("empty choice is none")
            << QStringList{"DISPLAY=:0", "WAYLAND_DISPLAY=w", "QT_QPA_PLATFORM="} << "xcb";
        QTest::newRow("no XWayland") << QStringList{"WAYLAND_DISPLAY=w", "DISPLAY="} << "";
        QTest::newRow("nothing at all") << QStringList{} << "";
    }
    void choice() {
        QFETCH(QStringList, environment);
        QFETCH(QString, platform);
        std::map<std::string, std::string> values;
        for (const QString& entry : environment) {
            values[entry.section('=', 0, 0).toStdString()] = entry.section('=', 1).toStdString();
        }
        const auto read = [&values](const char* name) -> const char* {
            const auto found = values.find(name);
            return found == values.end() ? nullptr : found->second.c_str();
        };
        QCOMPARE(QString::fromStdString(ChooseDisplayPlatform(read)), platform);
    }
};

QTEST_GUILESS_MAIN(TestDisplayPlatform)
#include "tst_displayplatform.moc"
