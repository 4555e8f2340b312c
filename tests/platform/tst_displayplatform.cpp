// Which window system platform the program asks Qt for.
#include "platform/displayplatform.h"
#include "tests/support/testsupport.h"

#include <QTest>

#include <map>
#include <string>

using namespace loomway;

class TestDisplayPlatform : public QObject {
    Q_OBJECT
private slots:
    void choice_data() {
        test::addRows(
            {"environment", "platform"},
            {{"X11 session", "DISPLAY=:0 XDG_SESSION_TYPE=x11", ""},
             {"Wayland display", "DISPLAY=:0 WAYLAND_DISPLAY=wayland-0", "xcb"},
             {"Wayland session", "DISPLAY=:1 XDG_SESSION_TYPE=wayland", "xcb"},
             {"user's choice kept", "DISPLAY=:0 WAYLAND_DISPLAY=w QT_QPA_PLATFORM=wayland", ""},
             {"empty choice is none", "DISPLAY=:0 WAYLAND_DISPLAY=w QT_QPA_PLATFORM=", "xcb"},
             {"no XWayland", "WAYLAND_DISPLAY=w DISPLAY=", ""},
             {"nothing at all", "", ""}});
    }
    void choice() {
        QFETCH(QString, environment);
        QFETCH(QString, platform);
        std::map<std::string, std::string> values;
        for (const QString& entry : environment.split(' ', Qt::SkipEmptyParts)) {
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
