// Closing another program's window by its exact title on a real X server (the
// test environment's Xvfb, no window manager). The other programs are this
// test binary started again in a child mode: a Qt window, or a bare X11
// window that has only the old WM_NAME.
#include "core/application.h"
#include "platform/exitsignals.h"
#include "platform/x11windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace loomway;

namespace {

const char* const kQtWindowMode = "--qt-window";   // title, "stubborn" or "polite"
const char* const kRawWindowMode = "--raw-window"; // title (sent as Latin-1 WM_NAME only)
const char* const kLookMode = "--look";            // title: prints "found" or "none"

void Say(const char* text, unsigned long id = 0) {
    std::printf("%s %lu\n", text, id);
    std::fflush(stdout);
}

class ChildWindow : public QWidget {
public:
    explicit ChildWindow(bool stubborn) : m_stubborn(stubborn) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        if (m_stubborn) {
            Say("refused");
            event->ignore();
        } else {
            Say("closed");
            event->accept();
        }
    }

private:
    bool m_stubborn;
};

int QtWindowChild(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ChildWindow window(qstrcmp(argv[3], "stubborn") == 0);
    window.setWindowTitle(QString::fromUtf8(argv[2]));
    window.resize(200, 100);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return 3;
    }
    Say("ready", static_cast<unsigned long>(window.winId()));
    return app.exec();
}

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

int RawWindowChild(const char* title) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        return 3;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 10, 10, 150, 80, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const QByteArray latin1 = QString::fromUtf8(title).toLatin1();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(latin1.size()), latin1.constData());
    const xcb_atom_t protocols = InternAtom(c, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = InternAtom(c, "WM_DELETE_WINDOW");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32, 1,
                        &deleteWindow);
    xcb_map_window(c, window);
    xcb_flush(c);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // round trip
    Say("ready", window);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool isDelete =
            (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
            reinterpret_cast<xcb_client_message_event_t*>(event)->type == protocols &&
            reinterpret_cast<xcb_client_message_event_t*>(event)->data.data32[0] == deleteWindow;
        std::free(event);
        if (isDelete) {
            Say("closed");
            xcb_destroy_window(c, window);
            xcb_disconnect(c);
            return 0;
        }
    }
    xcb_disconnect(c);
    return 4;
}

int LookChild(const char* title) {
    X11Windows windows(X11Windows::SessionDisplay());
    Say(windows.WindowExists(title) ? "found" : "none");
    return 0;
}

// Another program with a window; ended (killed if need be) when it goes.
class OtherProgram {
public:
    OtherProgram(const char* mode, const QString& title, const QString& manner = QString()) {
        QStringList args{QLatin1String(mode), title};
        if (!manner.isEmpty()) {
            args << manner;
        }
        m_process.start(QCoreApplication::applicationFilePath(), args);
    }
    ~OtherProgram() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    // Waits for the window to be shown; its X11 id, 0 on failure.
    unsigned long WaitReady() {
        const QByteArray line = NextLine();
        return line.startsWith("ready ") ? line.mid(6).trimmed().toULong() : 0;
    }
    QByteArray NextLine() {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(30000)) {
                return {};
            }
        }
        return m_process.readLine();
    }
    bool Running() const { return m_process.state() == QProcess::Running; }
    QProcess& Process() { return m_process; }

private:
    QProcess m_process;
};

constexpr std::chrono::milliseconds kQuickPause{10};

} // namespace

class TestX11Windows : public QObject {
    Q_OBJECT
private slots:
    void closesAQtWindowOfAnotherProcess();
    void exactTitleOnly_data();
    void exactTitleOnly();
    void closesABareWindowByItsLatin1WmName();
    void findsWindowsInsideFramesAsAWindowManagerMakes();
    void givesUpOnAWindowThatNeverCloses();
    void exitSignalDuringTheWaitStopsIt();
    void ownWindowsAreNeverMatched();
    void withoutAnX11DisplayNothingIsFound();
};

void TestX11Windows::closesAQtWindowOfAnotherProcess() {
    OtherProgram hotsync(kQtWindowMode, QStringLiteral("HotSync Manager"),
                         QStringLiteral("polite"));
    QVERIFY(hotsync.WaitReady() != 0);

    X11Windows windows(X11Windows::SessionDisplay(), kQuickPause);
    QVERIFY(windows.Connected());
    QVERIFY(windows.WindowExists("HotSync Manager"));
    QVERIFY(CloseProgramByTitle(windows, "HotSync Manager"));
    QVERIFY(!windows.WindowExists("HotSync Manager"));
    QCOMPARE(hotsync.NextLine().trimmed(), QByteArray("closed 0"));
    QVERIFY(hotsync.Process().waitForFinished(30000));
    QCOMPARE(hotsync.Process().exitCode(), 0);
}

void TestX11Windows::exactTitleOnly_data() {
    QTest::addColumn<QString>("lookedFor");
    QTest::newRow("shorter") << QStringLiteral("HotSync");
    QTest::newRow("lower case") << QStringLiteral("hotsync manager");
    QTest::newRow("trailing blank") << QStringLiteral("HotSync Manager ");
    QTest::newRow("leading blank") << QStringLiteral(" HotSync Manager");
    QTest::newRow("longer") << QStringLiteral("HotSync Manager 2");
    QTest::newRow("None") << QStringLiteral("None");
}

void TestX11Windows::exactTitleOnly() {
    QFETCH(QString, lookedFor);
    OtherProgram hotsync(kQtWindowMode, QStringLiteral("HotSync Manager"),
                         QStringLiteral("polite"));
    QVERIFY(hotsync.WaitReady() != 0);

    X11Windows windows(X11Windows::SessionDisplay(), kQuickPause);
    const std::string title = lookedFor.toStdString();
    QVERIFY(!windows.WindowExists(title));
    QCOMPARE(windows.AskToClose(title), 0);
    QVERIFY(CloseProgramByTitle(windows, title));
    // The window with the exact title is still there and was not asked.
    QVERIFY(windows.WindowExists("HotSync Manager"));
    QTest::qWait(200);
    QVERIFY(hotsync.Running());
    QVERIFY(!hotsync.Process().canReadLine());
}

void TestX11Windows::closesABareWindowByItsLatin1WmName() {
    const QString title = QStringLiteral("Caf\u00e9 Sync");
    OtherProgram bare(kRawWindowMode, title);
    QVERIFY(bare.WaitReady() != 0);

    X11Windows windows(X11Windows::SessionDisplay(), kQuickPause);
    QVERIFY(windows.WindowExists(title.toStdString())); // UTF-8 title, Latin-1 property
    QVERIFY(!windows.WindowExists("Caf\xe9 Sync"));     // raw Latin-1 bytes are not UTF-8
    QVERIFY(CloseProgramByTitle(windows, title.toStdString()));
    QCOMPARE(bare.NextLine().trimmed(), QByteArray("closed 0"));
    QVERIFY(bare.Process().waitForFinished(30000));
    QCOMPARE(bare.Process().exitCode(), 0);
}

void TestX11Windows::findsWindowsInsideFramesAsAWindowManagerMakes() {
    OtherProgram hotsync(kQtWindowMode, QStringLiteral("HotSync Manager"),
                         QStringLiteral("polite"));
    const unsigned long client = hotsync.WaitReady();
    QVERIFY(client != 0);

    // Do what a reparenting window manager does: a frame on the root with a
    // decoration window inside it, and the client inside that.
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    QVERIFY(xcb_connection_has_error(c) == 0);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t frame = xcb_generate_id(c);
    const xcb_window_t inner = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, frame, screen->root, 0, 0, 300, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, inner, frame, 5, 20, 290, 175, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_reparent_window(c, static_cast<xcb_window_t>(client), inner, 0, 0);
    xcb_map_window(c, inner);
    xcb_map_window(c, frame);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // round trip

    // The client really is two levels down now.
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, static_cast<xcb_window_t>(client)), nullptr),
        &std::free);
    QVERIFY(tree);
    QCOMPARE(tree->parent, inner);

    X11Windows windows(X11Windows::SessionDisplay(), kQuickPause);
    QVERIFY(windows.WindowExists("HotSync Manager"));
    QVERIFY(CloseProgramByTitle(windows, "HotSync Manager"));
    QCOMPARE(hotsync.NextLine().trimmed(), QByteArray("closed 0"));
    QVERIFY(hotsync.Process().waitForFinished(30000));
    xcb_destroy_window(c, frame);
    xcb_disconnect(c);
}

void TestX11Windows::givesUpOnAWindowThatNeverCloses() {
    OtherProgram asking(kQtWindowMode, QStringLiteral("HotSync Manager"),
                        QStringLiteral("stubborn"));
    QVERIFY(asking.WaitReady() != 0);

    X11Windows windows(X11Windows::SessionDisplay(), kQuickPause);
    QVERIFY(!CloseProgramByTitle(windows, "HotSync Manager", std::chrono::milliseconds(300)));
    // It was asked, said no, and is still there.
    QCOMPARE(asking.NextLine().trimmed(), QByteArray("refused 0"));
    QVERIFY(asking.Running());
    QVERIFY(windows.WindowExists("HotSync Manager"));
}

void TestX11Windows::exitSignalDuringTheWaitStopsIt() {
    OtherProgram asking(kQtWindowMode, QStringLiteral("HotSync Manager"),
                        QStringLiteral("stubborn"));
    QVERIFY(asking.WaitReady() != 0);

    // The wait processes this program's events, so a SIGTERM is seen in it.
    bool exitAsked = false;
    ExitSignals exits([&exitAsked](int) { exitAsked = true; });
    QVERIFY(exits.Installed());
    ::raise(SIGTERM);
    QVERIFY(!exitAsked);

    int looks = 0;
    X11Windows windows(X11Windows::SessionDisplay(), kQuickPause);
    const bool gone = CloseProgramByTitle(windows, "HotSync Manager", std::chrono::minutes(5),
                                          std::chrono::steady_clock::now, [&] {
                                              ++looks;
                                              return exitAsked;
                                          });
    QVERIFY(!gone);
    QVERIFY(exitAsked);
    QVERIFY(looks <= 3);
    QVERIFY(asking.Running());
}

void TestX11Windows::ownWindowsAreNeverMatched() {
    QWidget own;
    own.setWindowTitle(QStringLiteral("Loomway Own Window"));
    own.show();
    QVERIFY(QTest::qWaitForWindowExposed(&own));

    // Another process sees it...
    OtherProgram look(kLookMode, QStringLiteral("Loomway Own Window"));
    QCOMPARE(look.NextLine().trimmed(), QByteArray("found 0"));
    // ...this one does not, so it never asks itself to close.
    X11Windows windows(X11Windows::SessionDisplay(), kQuickPause);
    QVERIFY(!windows.WindowExists("Loomway Own Window"));
    QCOMPARE(windows.AskToClose("Loomway Own Window"), 0);
    QVERIFY(own.isVisible());
}

void TestX11Windows::withoutAnX11DisplayNothingIsFound() {
    OtherProgram hotsync(kQtWindowMode, QStringLiteral("HotSync Manager"),
                         QStringLiteral("polite"));
    QVERIFY(hotsync.WaitReady() != 0);

    for (const char* display : {"", ":4711", "not a display"}) {
        X11Windows windows(display, kQuickPause);
        QVERIFY(!windows.Connected());
        QVERIFY(!windows.WindowExists("HotSync Manager"));
        QCOMPARE(windows.AskToClose("HotSync Manager"), 0);
        windows.PauseBetweenLooks();
        QVERIFY(CloseProgramByTitle(windows, "HotSync Manager"));
    }
    QVERIFY(hotsync.Running());
}

int main(int argc, char* argv[]) {
    if (argc == 4 && qstrcmp(argv[1], kQtWindowMode) == 0) {
        return QtWindowChild(argc, argv);
    }
    if (argc == 3 && qstrcmp(argv[1], kRawWindowMode) == 0) {
        return RawWindowChild(argv[2]);
    }
    if (argc == 3 && qstrcmp(argv[1], kLookMode) == 0) {
        return LookChild(argv[2]);
    }
    QApplication app(argc, argv);
    TestX11Windows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_x11windows.moc"
