// Closing another program's window by its exact title on the test's Xvfb
// (no window manager). The other programs are this binary started again: a
// Qt window that closes or refuses, or a bare window with only a Latin-1 WM_NAME.
// And the window system platform the program asks Qt for.
#include "core/application.h"
#include "platform/displayplatform.h"
#include "platform/x11windows.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdio>
#include <map>
#include <string>

using namespace loomway;
constexpr std::chrono::milliseconds kPause{10};

namespace {
void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

struct ChildWindow : QWidget {
    void closeEvent(QCloseEvent* event) override {
        Say(stubborn ? "refused" : "closed");
        event->setAccepted(!stubborn);
    }
    bool stubborn = false;
};

int RawWindowChild(const char* title) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    // Framed twice, as a window manager does it.
    xcb_window_t parent = screen->root, window = 0;
    for (int level = 0; level < 3; ++level, parent = window) {
        window = xcb_generate_id(c);
        xcb_create_window(c, 0, window, parent, 10, 10, 150, 80, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        xcb_map_window(c, window);
    }
    const QByteArray latin1 = QString::fromUtf8(title).toLatin1();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        uint32_t(latin1.size()), latin1.constData());
    xcb_atom_t atoms[2];
    const char* names[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW"};
    for (int i = 0; i < 2; ++i) {
        auto* reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, uint16_t(strlen(names[i])), names[i]), nullptr);
        atoms[i] = reply->atom;
        std::free(reply);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atoms[0], XCB_ATOM_ATOM, 32, 1,
                        &atoms[1]);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip
    Say("ready");
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
        const bool close = (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                           message->data.data32[0] == atoms[1];
        std::free(event);
        if (close) {
            return Say("closed"), 0;
        }
    }
    return 4;
}

// Another program with a window, ended when it goes out of scope.
struct Other {
    Other(const char* mode, const QString& title) {
        process.start(QCoreApplication::applicationFilePath(), {mode, title});
        ready = line() == "ready";
    }
    ~Other() {
        process.kill();
        process.waitForFinished(10000);
    }
    QByteArray line() {
        while (!process.canReadLine() && process.waitForReadyRead(30000)) {
        }
        return process.readLine().trimmed();
    }
    QProcess process;
    bool ready = false;
};
} // namespace

class TestX11Windows : public QObject {
    Q_OBJECT
private slots:
    // Only the exact title of another program's window is found and asked,
    // never this program's own; the window closes. No display, nothing found.
    void closesByExactTitle() {
        QWidget own;
        own.setWindowTitle("HotSync Manager");
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        X11Windows windows(X11Windows::SessionDisplay(), kPause);
        QVERIFY(windows.Connected() && !windows.WindowExists("HotSync Manager"));
        Other hotsync("--polite", "HotSync Manager");
        QVERIFY(hotsync.ready);
        for (const char* near :
             {"HotSync", "hotsync manager", "HotSync Manager ", " HotSync Manager", "None"}) {
            QVERIFY(!windows.WindowExists(near) && windows.AskToClose(near) == 0);
        }
        QVERIFY(hotsync.process.state() == QProcess::Running && !hotsync.process.canReadLine());
        for (const char* display : {"", ":4711", "not a display"}) {
            X11Windows none(display, kPause);
            QVERIFY(!none.Connected() && !none.WindowExists("HotSync Manager"));
            QVERIFY(CloseProgramByTitle(none, "HotSync Manager"));
        }
        QVERIFY(windows.WindowExists("HotSync Manager"));
        QVERIFY(CloseProgramByTitle(windows, "HotSync Manager"));
        QCOMPARE(hotsync.line(), QByteArray("closed"));
        QVERIFY(!windows.WindowExists("HotSync Manager") && own.isVisible());
    }

    // A bare window known by its Latin-1 WM_NAME, two frames deep, is found
    // by the title's text.
    void bareWindowInsideFrames() {
        Other bare("--raw", "Caf\u00e9 Sync");
        QVERIFY(bare.ready);
        X11Windows windows(X11Windows::SessionDisplay(), kPause);
        QVERIFY(!windows.WindowExists("Caf\xe9 Sync")); // Latin-1 bytes are not the text
        QVERIFY(CloseProgramByTitle(windows, "Caf\u00e9 Sync"));
        QCOMPARE(bare.line(), QByteArray("closed"));
    }

    // A window that refuses: asked once, given up after the limit, left alone.
    void givesUp() {
        Other stubborn("--stubborn", "HotSync Manager");
        QVERIFY(stubborn.ready);
        X11Windows windows(X11Windows::SessionDisplay(), kPause);
        QVERIFY(!CloseProgramByTitle(windows, "HotSync Manager", std::chrono::milliseconds(300)));
        QCOMPARE(stubborn.line(), QByteArray("refused"));
        QVERIFY(windows.WindowExists("HotSync Manager"));
    }

    // Which window system platform the program asks Qt for.
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

int main(int argc, char* argv[]) {
    if (argc == 3 && qstrcmp(argv[1], "--raw") == 0) {
        return RawWindowChild(argv[2]);
    }
    QApplication app(argc, argv);
    if (argc == 3) { // --polite or --stubborn
        ChildWindow window;
        window.stubborn = qstrcmp(argv[1], "--stubborn") == 0;
        window.setWindowTitle(QString::fromUtf8(argv[2]));
        window.show();
        return QTest::qWaitForWindowExposed(&window) ? (Say("ready"), app.exec()) : 3;
    }
    TestX11Windows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_x11windows.moc"
