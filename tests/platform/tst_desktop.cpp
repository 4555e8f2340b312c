// The program among other programs on the test's Xvfb (no window manager): a private CUPS
// whose queue writes PDF files, xclip, xdotool, and this binary in one of the modes of main().
#include "core/programlifecycle.h"
#include "core/traffic.h"
#include "platform/displayplatform.h"
#include "platform/exitsignals.h"
#include "platform/programstarter.h"
#include "platform/qtclipboard.h"
#include "platform/qtprintersurface.h"
#include "platform/singleinstance.h"
#include "platform/x11windows.h"
#include "services/printengine.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

using namespace loomway;
using namespace loomway::test;
constexpr std::chrono::milliseconds kPause{10};

namespace {
// Another program (this binary in one of its modes unless said), ended when
// it goes out of scope.
struct Other {
    explicit Other(const QStringList& args,
                   const QString& program = QCoreApplication::applicationFilePath()) {
        process.start(program, args);
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
    // All it writes until it ends; this process serves its events meanwhile.
    QString output() {
        (void)QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, 10000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    QProcess process;
};

// Another program owning the clipboard with `data` until it ends.
struct Owner : Other {
    explicit Owner(const QByteArray& data, const QString& type = "UTF8_STRING")
        : Other({"-i", "-quiet", "-selection", "clipboard", "-t", type}, "xclip") {
        process.write(data);
        process.closeWriteChannel();
    }
};

// A bare window; one that refuses says so at each close request and stays.
int RawWindowChild(const char* title, bool refuses) {
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
    for (int i = 0; const char* name : {"WM_PROTOCOLS", "WM_DELETE_WINDOW"}) {
        auto* reply =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
        atoms[i++] = reply->atom;
        std::free(reply);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atoms[0], XCB_ATOM_ATOM, 32, 1,
                        &atoms[1]);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip
    std::puts(std::to_string(window).c_str());                                // ready: its id
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
        const bool close = (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                           message->data.data32[0] == atoms[1];
        std::free(event);
        if (close && refuses) {
            std::puts("refused");
        } else if (close) {
            return std::puts("closed"), 0;
        }
    }
    return 4;
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int cups(const QString& verb) {
    const QString command = "exec '" LOOMWAY_SOURCE_DIR "/tests/support/private-cups' %1 '%2/cups'";
    return std::system(qPrintable(command.arg(verb, scratchDir())));
}

// For each page of a PDF, whether it reads as landscape: the printer may put
// a landscape page on a portrait sheet turned by 90 degrees (its text then
// runs up the sheet) or mark the page as rotated.
QList<bool> landscapePages(const QString& pdf) {
    const QString info = Other({"-f", "1", "-l", "99", pdf}, "pdfinfo").output();
    const QStringList pages =
        Other({"-bbox", pdf, "-"}, "pdftotext").output().split("<page ").mid(1);
    QList<bool> landscape;
    for (int page = 1; page <= pages.size(); ++page) {
        const auto rot =
            QRegularExpression(QString("Page\\s+%1 rot:\\s+(\\d+)").arg(page)).match(info);
        const auto sheet =
            QRegularExpression("width=\"([0-9.]+)\" height=\"([0-9.]+)\"").match(pages[page - 1]);
        const auto word = QRegularExpression("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
                                             "xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">\\w{4,}<")
                              .match(pages[page - 1]);
        if (!rot.hasMatch() || !sheet.hasMatch() || !word.hasMatch()) {
            qWarning("page %d unreadable: %s", page, qPrintable(pages[page - 1]));
            return {};
        }
        const auto at = [](const auto& m, int i) { return m.captured(i).toDouble(); };
        const bool wideSheet = at(sheet, 1) > at(sheet, 2);
        const bool turned = rot.captured(1).toInt() % 180 == 90;
        const bool upright = at(word, 4) - at(word, 2) > at(word, 3) - at(word, 1);
        landscape << ((wideSheet != turned) != upright);
    }
    return landscape;
}

QStringList leftoverDocuments() {
    return QDir(QDir::tempPath()).entryList({"loomway-print-*"}, QDir::Files);
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("TMPDIR", scratchDir().toLocal8Bit()); // the documents being drawn go here
        qputenv("PRIVATE_CUPS_OWNER", QByteArray::number(::getpid()));
        QCOMPARE(cups("start"), 0);
        qputenv("CUPS_SERVER", (scratchDir() + "/cups/cups.sock").toLocal8Bit());
    }
    void cleanupTestCase() { QCOMPARE(cups("stop"), 0); }

    // Print jobs as the print server sees them. A job the queue refuses fails
    // (with the status the handheld asked for) and a job that fails before its
    // end reaches the printer with none of its pages; neither leaves a
    // document behind. The next job is submitted whole, every page in the
    // orientation it was drawn in. (tests/e2e/tst_print.py: the text, fonts
    // and status of a printed document.)
    void printJobs() {
        FakeSerialPort handheld;
        handheld.forceOpen(true);
        RecordingTrafficView view;
        Traffic traffic{view};
        RecordingLampPanel lamps;
        QtPrinterSurface surface;
        PrintEngine engine{surface, handheld, traffic, lamps};
        QCOMPARE(QProcess::execute("cupsreject", {"FilePDF"}), 0);
        QVERIFY(engine.Redirect("<LMW_P>Hello<SRESP></LMW_P>").completed);
        QVERIFY(handheld.written.find("STA=ERROR(483)~") != std::string::npos);
        QVERIFY(leftoverDocuments().isEmpty());
        QCOMPARE(QProcess::execute("cupsaccept", {"FilePDF"}), 0);

        surface.SetOrientation(PrinterSurface::kPortrait);
        surface.PrintLine("Partial page");
        QCOMPARE(leftoverDocuments().size(), qsizetype(1)); // drawn so far
        surface.AbortDoc();
        QVERIFY(leftoverDocuments().isEmpty());

        handheld.written.clear();
        QVERIFY(engine
                    .Redirect("<LMW_P>Portrait first<FFEED><PORIENT_L>Landscape second<FFEED>"
                              "<PORIENT_P>Portrait third<NL><PORIENT_L>still portrait"
                              "<SRESP></LMW_P>")
                    .completed);
        QVERIFY(handheld.written.find("STA=DEFINED") != std::string::npos);
        const QString pdf = scratchDir() + "/cups/job.pdf"; // once it is the queue's only job
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pdf).size() > 0 &&
                                     Other({"-o"}, "lpstat").output().trimmed().isEmpty(),
                                 60000);
        QCOMPARE(Other({"-W", "completed", "-o"}, "lpstat").output().count('\n'), qsizetype(1));
        QCOMPARE(landscapePages(pdf), (QList<bool>{false, true, false}));
        const QString text = Other({pdf, "-"}, "pdftotext").output();
        QVERIFY2(!text.contains("Hello") && !text.contains("Partial"), qPrintable(text));
        QVERIFY(leftoverDocuments().isEmpty());
    }

    // The handheld's bytes are Windows-1252 text to other programs. All rows
    // to the desktop ('>') first: once another process owned the clipboard,
    // Qt's last X timestamp may be too old to take it back.
    // An empty clipboard sends nothing: tests/services/tst_services (send).
    void clipboard_data() {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QByteArray>("handheld");
        const QString latin1 = "tab\there\r\nline\n ~\x7f\u00a0\u00e9\u00ff",
                      marks = "\u201ca\u201d \u2018b\u2019 \u2013 \u2014 \u2026 "
                              "\u20ac\u2122\u2022\u017d\u017e\u0178\u2666\u2665\u2660";
        const QByteArray
            latin1Bytes = "tab\there\r\nline\n ~\x7f\xa0\xe9\xff",
            suits = "\223a\224 \221b\222 \226 \227 \205 \x80\x99\x95\x8e\x9e\x9f\x8d\x8f\x90";
        QTest::newRow("> latin-1") << latin1 << latin1Bytes;
        QTest::newRow("> Windows-1252 marks, the handheld's suits") << marks << suits;
        QTest::newRow("> codes without a character") << QString("??") << QByteArray("\x81\x9d");
        QTest::newRow("< latin-1") << latin1 << latin1Bytes;
        QTest::newRow("< Windows-1252 marks, the handheld's suits") << marks << suits;
        QTest::newRow("< club, C1 control, outside the BMP")
            << QString("\u2663\u0081\U0001F600") << QByteArray("???");
    }
    void clipboard() {
        QFETCH(QString, desktop);
        QFETCH(QByteArray, handheld);
        QtClipboard clipboard(*QGuiApplication::clipboard());
        if (QTest::currentDataTag()[0] == '<') {
            Owner owner(desktop.toUtf8());
            QTRY_COMPARE_WITH_TIMEOUT(clipboard.GetText(),
                                      std::optional<std::string>(handheld.toStdString()), 10000);
            return;
        }
        clipboard.SetText(handheld.toStdString());
        QCOMPARE(Other({"-o", "-selection", "clipboard", "-t", "UTF8_STRING"}, "xclip").output(),
                 desktop);
    }

    // A picture on the clipboard is no text.
    void pictureIsNoText() {
        Owner owner(QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR"
                                           "4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC"),
                    "image/png");
        QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::clipboard()->mimeData()->hasFormat("image/png"),
                                 10000);
        QCOMPARE(QtClipboard(*QGuiApplication::clipboard()).GetText(),
                 std::optional<std::string>());
    }

    // The activation command runs when the main window becomes active from
    // one of the program's own windows (and once at start), not when the
    // user comes back from another program.
    void onlyTheProgramsOwnWindowsCount() {
        MainWindow window;
        int activations = 0;
        QObject::connect(&window, &MainWindow::activated, [&activations] { ++activations; });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(activations, 1);

        QDialog dialog(&window);
        dialog.show();
        dialog.activateWindow();
        // (A transient window counts as active while its parent has the focus.)
        QTRY_COMPARE(QGuiApplication::focusWindow(), dialog.windowHandle());
        dialog.hide();
        window.activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), window.windowHandle());
        QCOMPARE(activations, 2);

        Other other({"--raw", "Other"});
        Other({"windowfocus", "--sync", other.line()}, "xdotool").output();
        QTRY_VERIFY(QApplication::activeWindow() == nullptr);
        Other({"windowfocus", QString::number(window.winId())}, "xdotool").output();
        QTRY_COMPARE(QGuiApplication::focusWindow(), window.windowHandle());
        QTest::qWait(100);
        QCOMPARE(activations, 2);
    }

    // Another program's bare window, known by its Latin-1 WM_NAME alone and
    // two frames deep, is found by the exact title's text and asked to close;
    // near titles are not, nor this program's own window of that title. No
    // display, nothing found.
    void closesByExactTitle() {
        const char* title = "Caf\u00e9 Sync";
        QWidget own;
        own.setWindowTitle(title);
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        Other bare({"--raw", title});
        QVERIFY(!bare.line().isEmpty()); // ready
        X11Windows windows(X11Windows::SessionDisplay(), kPause);
        for (const char* near : {"Caf\xe9 Sync", "Caf\u00e9", "Caf\u00e9 Sync ", "None"}) {
            QVERIFY2(!windows.WindowExists(near) && windows.AskToClose(near) == 0, near);
        }
        for (const char* display : {"", ":4711"}) {
            X11Windows none(display, kPause);
            QVERIFY(!none.Connected() && !none.WindowExists(title));
            QVERIFY(CloseProgramByTitle(none, title, SystemClock()));
        }
        QVERIFY(windows.WindowExists(title));
        QVERIFY(CloseProgramByTitle(windows, title, SystemClock()));
        QCOMPARE(bare.line(), QByteArray("closed"));
        QVERIFY(!windows.WindowExists(title) && own.isVisible());
    }

    // A window that refuses: asked once, given up after the limit, left alone.
    void givesUp() {
        Other stubborn({"--stubborn", "HotSync Manager"});
        QVERIFY(!stubborn.line().isEmpty()); // ready
        X11Windows windows(X11Windows::SessionDisplay(), kPause);
        QVERIFY(!CloseProgramByTitle(windows, "HotSync Manager", SystemClock(),
                                     std::chrono::milliseconds(300)));
        QCOMPARE(stubborn.line(), QByteArray("refused"));
        QVERIFY(windows.WindowExists("HotSync Manager"));
    }

    // Which window system platform the program asks Qt for.
    // (tests/e2e/tst_wayland.py: the window of a Wayland session on XWayland.)
    void choice_data() {
        test::addRows(
            {"environment", "platform"},
            {{"Wayland display", "DISPLAY=:0 WAYLAND_DISPLAY=wayland-0", "xcb"},
             {"Wayland session", "DISPLAY=:1 XDG_SESSION_TYPE=wayland", "xcb"},
             {"user's choice kept", "DISPLAY=:0 WAYLAND_DISPLAY=w QT_QPA_PLATFORM=wayland", ""},
             {"empty choice is none", "DISPLAY=:0 WAYLAND_DISPLAY=w QT_QPA_PLATFORM=", "xcb"},
             {"no XWayland", "WAYLAND_DISPLAY=w DISPLAY=", ""}});
    }
    void choice() {
        std::map<std::string, std::string> values;
        for (const QString& entry : cell("environment").split(' ', Qt::SkipEmptyParts)) {
            values[entry.section('=', 0, 0).toStdString()] = entry.section('=', 1).toStdString();
        }
        QCOMPARE(QString::fromStdString(ChooseDisplayPlatform([&values](const char* name) {
                     return values.count(name) != 0 ? values[name].c_str() : nullptr;
                 })),
                 cell("platform"));
    }

    // One running copy per user: a refused copy leaves the lock; a copy
    // killed without cleaning up leaves a stale lock, taken over; a folder
    // that cannot hold a lock keeps no one from starting.
    // (tests/e2e/tst_lifecycle.py: a second copy ends, a later one starts.)
    void oneCopy() {
        const QString path = scratchDir() + "/loomway.lock";
        Other holder({"--hold", path}); // keeps what it got until killed
        QCOMPARE(holder.line(), QByteArray("alone"));
        QVERIFY(SingleInstance(path).AnotherInstanceRunning());
        QVERIFY(SingleInstance(path).AnotherInstanceRunning()); // the refused copy left the lock
        ::kill(pid_t(holder.process.processId()), SIGKILL);
        QVERIFY(holder.process.waitForFinished(30000) && QFile::exists(path));
        QVERIFY(!SingleInstance(path).AnotherInstanceRunning());
        QVERIFY(!SingleInstance(scratchDir() + "/missing/loomway.lock").AnotherInstanceRunning());
    }

    // The lock lies in the runtime folder when only the user can write to it,
    // else in a folder of the program's own in the user's cache, made 0700:
    // never where another user could lay it first.
    void lockFolder_data() {
        addRows({"runtime", "lock"}, {{"private", "700", "run/loomway.lock"},
                                      {"unset", "", "cache/loomway/loomway.lock"},
                                      {"shared", "1777", "cache/loomway/loomway.lock"}});
    }
    void lockFolder() {
        const QString scratch = scratchDir();
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        QVERIFY(QDir(scratch + "/cache").removeRecursively() && QDir().mkpath(scratch + "/run"));
        QVERIFY(::chmod(qPrintable(scratch + "/run"), cell("runtime").toUInt(nullptr, 8)) == 0);
        cell("runtime").isEmpty() ? qunsetenv("XDG_RUNTIME_DIR")
                                  : qputenv("XDG_RUNTIME_DIR", QFile::encodeName(scratch + "/run"));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(scratch + "/cache"));
        const QString path = SingleInstance::DefaultLockPath();
        qputenv("XDG_RUNTIME_DIR", saved);
        QCOMPARE(path, scratch + "/" + cell("lock"));
        struct stat folder {};
        QVERIFY(::stat(qPrintable(QFileInfo(path).path()), &folder) == 0 &&
                (folder.st_mode & 0777) == 0700);
        SingleInstance instance(path);
        QVERIFY(!instance.AnotherInstanceRunning() && QFile::exists(path));
    }

    // The exit program is started once, not as our child, in a session of its
    // own, reading nothing; its words are split as a shell would, nothing
    // expanded; what cannot be started says so. (More ways to split a command
    // line: tests/lines/tst_lines, the exec: rows.)
    void startsDetachedOnce() {
        const QString record = scratchDir() + "/started.txt";
        QVERIFY(QDir().mkpath(scratchDir() + "/exit program"));
        const QString program = scratchDir() + "/exit program/recorder";
        QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), program));
        const QString start = " '" + program + "' --record '" + record + "'";
        DetachedProgramStarter starter;
        QVERIFY(starter.StartProgram(
            (start + " \"two words\" ''\tpre'mid'\"post\" \"a\\\"b\\\\c\\$d\\e\" a\\ b $HOME ~ * ")
                .toStdString()));
        QTRY_VERIFY_WITH_TIMEOUT(Contents(record).endsWith("END\n"), 20000);
        QTest::qWait(300);
        const QList<QByteArray> lines = Contents(record).split('\n');
        QCOMPARE(lines.value(0),
                 QByteArray("ARGS|two words||premidpost|a\"b\\c$d\\e|a b|$HOME|~|*"));
        QVERIFY(lines.value(1) != "PPID " + QByteArray::number(::getpid()));
        QVERIFY(lines.value(2) != "SID " + QByteArray::number(::getsid(0)));
        QCOMPARE(lines.value(3), QByteArray("STDIN /dev/null"));
        QCOMPARE(Contents(record).count("END\n"), 1);
        const QString plain = scratchDir() + "/plain.txt";
        QFile(plain).open(QIODevice::WriteOnly);
        for (const QString& line :
             QStringList{"", "\"\"", start + " \"unterminated", start + " trailing\\",
                         "loomway-no-such-program", plain}) {
            QVERIFY2(!starter.StartProgram(line.toStdString()), qPrintable(line));
        }
    }

    // SIGTERM, SIGINT and SIGHUP arrive as one queued call each on the
    // user-interface thread, from this process or another thread; the former
    // handlers come back. (tests/e2e/tst_lifecycle.py: SIGTERM from another
    // process ends the program as its close box does.)
    void exitSignalsOnce() {
        struct sigaction before = {}, after = {};
        ::sigaction(SIGTERM, nullptr, &before);
        {
            std::vector<int> calls;
            ExitSignals exits(
                [&](int s) { calls.push_back(QThread::currentThread() == thread() ? s : -s); });
            QVERIFY(exits.Installed() && !ExitSignals([](int) {}).Installed()); // one owner
            ::raise(SIGHUP);
            QVERIFY(calls.empty()); // queued, not run inside the handler
            std::unique_ptr<QThread> other(QThread::create([] { ::raise(SIGINT); }));
            other->start();
            QVERIFY(other->wait(10000));
            ::raise(SIGTERM);
            QTRY_COMPARE(calls, (std::vector<int>{SIGHUP, SIGINT, SIGTERM}));
            QTest::qWait(100);
            QCOMPARE(calls.size(), std::size_t(3));
        }
        ::sigaction(SIGTERM, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);
    }
};

int main(int argc, char* argv[]) {
    std::setvbuf(stdout, nullptr, _IONBF, 0); // the other modes' lines reach the test at once
    if (argc >= 3 && qstrcmp(argv[1], "--record") == 0) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        QByteArray record = "ARGS";
        for (int i = 3; i < argc; ++i) {
            record += QByteArray("|") + argv[i];
        }
        record += "\nPPID " + QByteArray::number(::getppid()) + "\nSID " +
                  QByteArray::number(::getsid(0)) + "\nSTDIN " +
                  QFileInfo("/proc/self/fd/0").symLinkTarget().toLocal8Bit() + "\nEND\n";
        return file.open(QIODevice::Append) && file.write(record) > 0 ? 0 : 2;
    }
    if (argc == 3 && (qstrcmp(argv[1], "--raw") == 0 || qstrcmp(argv[1], "--stubborn") == 0)) {
        return RawWindowChild(argv[2], qstrcmp(argv[1], "--stubborn") == 0);
    }
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0) {
        QCoreApplication app(argc, argv);
        SingleInstance instance(QString::fromLocal8Bit(argv[2]));
        std::puts(instance.AnotherInstanceRunning() ? "another" : "alone");
        QThread::sleep(600);
        return 0;
    }
    QApplication app(argc, argv);
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
