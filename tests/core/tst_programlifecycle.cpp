// Start and end of the program with every outside part faked.
#include "core/programlifecycle.h"
#include "tests/support/fakeclock.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QRegularExpression>
#include <QTest>

using namespace loomway;
using namespace loomway::test;
using namespace std::chrono_literals;

namespace {
struct Log {
    QStringList entries;
    void operator()(const std::string& entry) { entries << QString::fromStdString(entry); }
    QString only(const QString& pattern, qsizetype from = 0) const {
        return entries.mid(from).filter(QRegularExpression(pattern)).join("; ");
    }
};

struct Port : FakeSerialPort {
    Port(Log& log, const char* name) : log(log), name(name) {}
    void Open() override { log(std::string("open ") + name), FakeSerialPort::Open(); }
    void Close() override { log(std::string("close ") + name), FakeSerialPort::Close(); }
    Log& log;
    const char* name;
};

// Everything outside in one. A window asked to close goes after closesAfter
// more looks (never when -1); each pause takes 50 ms of the fake clock.
struct Desktop : MainWindowControl,
                 InstanceGuard,
                 WindowCloser,
                 ProgramStarter,
                 LampPanel,
                 TrafficView {
    explicit Desktop(Log& log) : log(log) {}
    void SetCaption(const std::string& t) override { log("caption " + t); }
    void SetLamp(Lamp lamp, LampPicture picture) override {
        log("lamp " + LampName(lamp) + " " + PictureName(picture));
    }
    void ShowCounter(Counter c, const std::string& l) override {
        log((c == Counter::Sent ? "S " : "R ") + l);
    }
    void ShowPane(Pane p, const std::string& t, bool) override {
        log((p == Pane::Sent ? "sent [" : "received [") + t + "]");
    }
    long ScreenWidth() const override { return 19200; } // 1280 x 1024 pixels
    long ScreenHeight() const override { return 15360; }
    long Left() const override { return left; }
    long Top() const override { return top; }
    void MoveLeft(long t) override { left = t, log("left " + std::to_string(t)); }
    void MoveTop(long t) override { top = t, log("top " + std::to_string(t)); }
    bool IsNormalState() const override { return normal; }
    void SetHideMenuChecked(bool c) override { hideMenu = c, log(c ? "hide menu" : "show menu"); }
    bool HideMenuChecked() const override { return hideMenu; }
    void SetDisplay(DisplayMode mode) override {
        const char* const names[] = {"LedOnly", "SendRec", "Full", "All"};
        log(std::string("display ") + names[int(mode)]);
    }
    void OpenCommSettingsDialog() override { log("comm dialog"); }
    void EndApplication() override { log("end"); }
    bool AnotherInstanceRunning() override { return log("another?"), another; }
    bool WindowExists(const std::string& title) override {
        log("look for " + title);
        if (title != other || !present) {
            return false;
        }
        present = !(asked && closesAfter >= 0 && looks++ >= closesAfter);
        return present;
    }
    int AskToClose(const std::string& title) override {
        log("ask to close " + title);
        asked = asked || (title == other && present);
        return asked ? 1 : 0;
    }
    void PauseBetweenLooks() override { log("pause"), clock.Advance(50), duringPause(); }
    bool StartProgram(const std::string& commandLine) override {
        return log("start " + commandLine), true;
    }

    Log& log;
    long left = 3000, top = 2000;
    bool normal = true, hideMenu = false, another = false;
    std::string other = "HotSync Manager";
    bool present = false, asked = false;
    int closesAfter = 0, looks = 0;
    FakeClock clock;
    std::function<void()> duringPause = [] {};
};

// An empty text reads as none stored.
struct Rig {
    Log log;
    MemoryProfileFile file;
    Settings settings;
    Port handheld{log, "handheld"}, modem{log, "modem"};
    Desktop desktop{log};
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    Traffic traffic{desktop};
    RedirectionSwitch redirection{file, settings, handheld, modem, desktop, messages, status};
    ProgramLifecycle app{file,    settings, redirection, traffic, desktop,
                         desktop, desktop,  desktop,     desktop, desktop.clock};
    Rig(std::initializer_list<std::pair<const char*, const char*>> preferences = {},
        bool ports = true) {
        for (auto [k, v] : preferences) {
            file.set("Preferences", k, v);
        }
        storeComm(file, ports ? "1" : "", ports ? "2" : "", ports ? "19200" : "");
    }
};
} // namespace

class TestProgramLifecycle : public QObject {
    Q_OBJECT
private slots:
    void loadRunsItsStepsInOrder() {
        Rig rig{{"MenuVisible", "NO"},
                {"CloseApp", "HotSync Manager"},
                {"Startup", "LEDs"},
                {"Status", "ON"}};
        rig.desktop.present = true;
        rig.desktop.closesAfter = 1;
        QVERIFY(rig.app.Load());
        QCOMPARE(
            rig.log.only(""),
            QString("caption Palm Loomway by QUILLON; another?; "
                    "lamp Power PowerOff; lamp Receive ReceiveOff; lamp ModemSend ModemSendOff; "
                    "lamp Switch SwitchOn; S 0; R 0; sent []; received []; hide menu; "
                    "look for HotSync Manager; ask to close HotSync Manager; pause; "
                    "look for HotSync Manager; pause; look for HotSync Manager; "
                    "display LedOnly; lamp Power PowerOn; open handheld; lamp Power PowerOn; "
                    "open modem; lamp Switch SwitchOn"));
    }

    void previousInstanceEndsAtOnce() {
        Rig rig({{"StartApp", "/bin/hs"}}, false);
        rig.desktop.another = true;
        QVERIFY(!rig.app.Load());
        rig.app.Activate();
        rig.app.QuitProgram();
        QCOMPARE(rig.log.only(""), QString("caption Palm Loomway by QUILLON; another?; end"));
    }

    // A stored position is used when it lies on the screen (in twips).
    void windowPosition_data() {
        addRows({"x", "y", "moves"},
                {{"inside, rounded", "1500", "899.6", "left 1500; top 900"},
                 {"zero, negative", "0", "-1", ""},
                 {"edge, x beyond height", "16000", "15360", "left 16000"},
                 {"number first, comma", "+750px", " 2,9 ", "left 750; top 2"}});
    }
    void windowPosition() {
        Rig rig({}, false);
        rig.file.set("Display", "XLoc", cell("x").toStdString());
        rig.file.set("Display", "YLoc", cell("y").toStdString());
        QVERIFY(rig.app.Load());
        QCOMPARE(rig.log.only("^(left|top) "), cell("moves"));
    }

    // The exact texts act, anything else does nothing.
    void preferences_data() {
        addRows({"key", "value", "effect"}, // effect: the log entries it causes
                {{"menu YES", "MenuVisible", "YES", "show menu"},
                 {"menu absent", "MenuVisible", "", "show menu"},
                 {"menu no", "MenuVisible", "no", ""},
                 {"rate", "Startup", "SND/RCV Rate", "display SendRec"},
                 {"sniffer", "Startup", "Data Sniffer", "display Full"},
                 {"startup absent", "Startup", "", "display All"},
                 {"leds", "Startup", "leds", ""},
                 {"status OFF", "Status", "OFF", "lamp Switch SwitchOff"},
                 {"status absent", "Status", "", "lamp Switch SwitchOff"},
                 {"status on", "Status", "on", ""},
                 {"one character", "CloseApp", "X", ""}});
    }
    void preferences() {
        const QString key = cell("key");
        Rig rig{{qPrintable(key), qPrintable(cell("value"))}};
        QVERIFY(rig.app.Load());
        QCOMPARE(rig.log.only(key == "MenuVisible" ? "^(hide|show) menu"
                              : key == "Startup"   ? "^display "
                              : key == "Status"    ? "^(open |lamp Switch SwitchOff)"
                                                   : "^look for "),
                 cell("effect"));
        QVERIFY(rig.messages.messages.empty());
    }

    // A window that never goes is given up after ten seconds; an exit
    // request during the wait ends the program at once.
    void closeWait() {
        for (bool quit : {false, true}) {
            Rig rig{{"CloseApp", "HotSync Manager"}, {"Status", "ON"}};
            rig.desktop.present = true;
            rig.desktop.closesAfter = -1;
            if (quit) {
                rig.desktop.duringPause = [&rig] { rig.app.QuitProgram(); };
            }
            QCOMPARE(rig.app.Load(), !quit);
            const std::chrono::microseconds waited(rig.desktop.clock.steady);
            QVERIFY(quit ? waited == 50ms : waited >= 10s && waited < 10s + 100ms);
            QCOMPARE(rig.handheld.IsOpen(), !quit);
            QCOMPARE(rig.log.entries.count("end"), quit ? 1 : 0);
        }
    }

    // Any port setting missing opens the dialog at each activation; never after the end.
    void activation() {
        Rig rig({}, false);
        QVERIFY(rig.app.Load());
        QCOMPARE(rig.log.entries.count("comm dialog"), 0);
        rig.app.Activate();
        storeComm(rig.file, "abc", "COM2", "");
        rig.app.Activate();
        rig.file.set("Common", "Speed", "fast");
        rig.app.Activate();
        QCOMPARE(rig.log.entries.count("comm dialog"), 2);
        rig.file.set("Common", "Speed", "");
        rig.app.QuitProgram();
        rig.app.Activate();
        QCOMPARE(rig.log.entries.count("comm dialog"), 2);
    }

    // However often asked, the exit sequence runs once.
    void exitSequence_data() {
        const QString saved = "; write Display XLoc=-450; write Display YLoc=567";
        addRows({"minimized", "program", "expected"},
                {{"normal", "", "/bin/hs -r", qPrintable("start /bin/hs -r; end" + saved)},
                 {"no program", "", "", qPrintable("end" + saved)},
                 {"<NONE> stored", "", "<NONE>", qPrintable("end" + saved)},
                 {"minimized", "yes", "/bin/hs", "end"}});
    }
    void exitSequence() {
        Rig rig{{"Status", "ON"}, {"StartApp", qPrintable(cell("program"))}};
        QVERIFY(rig.app.Load());
        rig.desktop.normal = cell("minimized").isEmpty();
        rig.desktop.left = -450;
        rig.desktop.top = 567;
        const auto from = rig.log.entries.size();
        rig.app.QuitProgram();
        rig.app.QuitProgram();
        rig.app.RunExitActions();
        for (const auto& w : rig.file.writes) {
            rig.log("write " + w.section + " " + w.key + "=" + w.value);
        }
        QCOMPARE(rig.log.only("^(?!lamp )", from),
                 "close handheld; close modem; " + cell("expected"));
    }
};

QTEST_APPLESS_MAIN(TestProgramLifecycle)
#include "tst_programlifecycle.moc"
