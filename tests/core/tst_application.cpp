// Start and end of the application with every outside part faked: the order
// of the load, the startup preferences, activation and the exit sequence.
#include "core/application.h"
#include "tests/support/fakes.h"

#include <QTest>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace loomway;
using namespace loomway::test;
using namespace std::chrono_literals;

namespace {

using Log = std::vector<std::string>;

// 1280 x 1024 pixels at 15 twips per pixel.
constexpr long kScreenWidth = 19200;
constexpr long kScreenHeight = 15360;
constexpr long kDesignedLeft = 3000;
constexpr long kDesignedTop = 2000;

class LoggedProfileFile : public MemoryProfileFile {
public:
    explicit LoggedProfileFile(Log& log) : m_log(log) {}
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, std::size_t bufferSize) override {
        m_log.push_back("read " + section + " " + key);
        return MemoryProfileFile::GetString(section, key, defaultValue, bufferSize);
    }
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override {
        m_log.push_back("write " + section + " " + key + "=" + value);
        return MemoryProfileFile::WriteString(section, key, value);
    }

private:
    Log& m_log;
};

class LoggedLamps : public RecordingLampPanel {
public:
    explicit LoggedLamps(Log& log) : m_log(log) {}
    void SetLamp(Lamp lamp, const std::string& code) override {
        m_log.push_back("lamp " + LampName(lamp) + " " + code);
        RecordingLampPanel::SetLamp(lamp, code);
    }

private:
    Log& m_log;
};

class LoggedTrafficView : public RecordingTrafficView {
public:
    explicit LoggedTrafficView(Log& log) : m_log(log) {}
    void ShowCounter(Counter counter, const std::string& label) override {
        m_log.push_back(std::string(counter == Counter::BytesSent ? "lblSNDbyt " : "lblRCVByt ") +
                        label);
        RecordingTrafficView::ShowCounter(counter, label);
    }
    void ShowPane(Pane pane, const std::string& text, bool caretToEnd) override {
        m_log.push_back(std::string(pane == Pane::txtSend ? "txtSend [" : "txtReceive [") + text +
                        "]");
        RecordingTrafficView::ShowPane(pane, text, caretToEnd);
    }

private:
    Log& m_log;
};

class LoggedPort : public FakeSerialPort {
public:
    LoggedPort(Log& log, std::string name) : m_log(log), m_name(std::move(name)) {}
    void Open() override {
        m_log.push_back("open " + m_name);
        FakeSerialPort::Open();
    }
    void Close() override {
        m_log.push_back("close " + m_name);
        FakeSerialPort::Close();
    }

private:
    Log& m_log;
    std::string m_name;
};

class FakeMainWindow : public MainWindowControl {
public:
    explicit FakeMainWindow(Log& log) : m_log(log) {}
    void SetCaption(const std::string& text) override {
        caption = text;
        m_log.push_back("caption " + text);
    }
    long ScreenWidth() const override { return kScreenWidth; }
    long ScreenHeight() const override { return kScreenHeight; }
    long Left() const override { return left; }
    long Top() const override { return top; }
    void MoveLeft(long twips) override {
        left = twips;
        m_log.push_back("left " + std::to_string(twips));
    }
    void MoveTop(long twips) override {
        top = twips;
        m_log.push_back("top " + std::to_string(twips));
    }
    bool IsNormalState() const override { return normal; }
    void SetHideMenuChecked(bool checked) override {
        hideMenuChecked = checked;
        m_log.push_back(std::string("hide menu ") + (checked ? "checked" : "cleared"));
    }
    bool HideMenuChecked() const override { return hideMenuChecked; }
    void SetDisplay(const std::string& mode) override {
        display = mode;
        m_log.push_back("display " + mode);
    }
    void OpenCommSettingsDialog() override {
        ++dialogsOpened;
        m_log.push_back("comm dialog");
    }
    void EndApplication() override {
        ++ends;
        m_log.push_back("end");
    }

    std::string caption;
    long left = kDesignedLeft;
    long top = kDesignedTop;
    bool normal = true;
    bool hideMenuChecked = false;
    std::string display;
    int dialogsOpened = 0;
    int ends = 0;

private:
    Log& m_log;
};

class FakeInstanceGuard : public InstanceGuard {
public:
    explicit FakeInstanceGuard(Log& log) : m_log(log) {}
    bool AnotherInstanceRunning() override {
        m_log.push_back("another instance?");
        return another;
    }
    bool another = false;

private:
    Log& m_log;
};

// Windows of other programs by title. A window goes away after it has been
// asked to close and closesAfterLooks further looks; never when that is -1.
class FakeWindowCloser : public WindowCloser {
public:
    FakeWindowCloser(Log& log, std::chrono::steady_clock::time_point& clock)
        : m_log(log), m_clock(clock) {}
    bool WindowExists(const std::string& title) override {
        m_log.push_back("look for " + title);
        const bool exists = title == windowTitle && present;
        if (exists && asked && closesAfterLooks >= 0 && looksSinceAsked++ >= closesAfterLooks) {
            present = false;
            return false;
        }
        return exists;
    }
    int AskToClose(const std::string& title) override {
        m_log.push_back("ask to close " + title);
        if (title == windowTitle && present) {
            asked = true;
            return 1;
        }
        return 0;
    }
    void PauseBetweenLooks() override {
        m_log.push_back("pause");
        ++pauses;
        m_clock += 50ms;
        if (duringPause) {
            duringPause();
        }
    }

    std::string windowTitle;
    bool present = false;
    int closesAfterLooks = 0;
    int pauses = 0;
    std::function<void()> duringPause;

private:
    Log& m_log;
    std::chrono::steady_clock::time_point& m_clock;
    bool asked = false;
    int looksSinceAsked = 0;
};

class FakeStarter : public ProgramStarter {
public:
    explicit FakeStarter(Log& log) : m_log(log) {}
    bool StartProgram(const std::string& commandLine) override {
        m_log.push_back("start " + commandLine);
        started.push_back(commandLine);
        return succeed;
    }
    std::vector<std::string> started;
    bool succeed = true;

private:
    Log& m_log;
};

// Everything the application is given, wired as the composition root does.
struct Rig {
    Log log;
    std::chrono::steady_clock::time_point clock{};
    LoggedProfileFile file{log};
    Settings settings;
    LoggedPort handheld{log, "handheld"};
    LoggedPort modem{log, "modem"};
    LoggedLamps lamps{log};
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    LoggedTrafficView view{log};
    Traffic traffic{view};
    RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
    FakeMainWindow window{log};
    FakeInstanceGuard instances{log};
    FakeWindowCloser closer{log, clock};
    FakeStarter starter{log};
    Application app{file,   settings,  redirection, traffic, lamps,
                    window, instances, closer,      starter};

    Rig() {
        app.SetCloseWait(kCloseWaitLimit, [this] { return clock; });
    }
    void setCommSettings() {
        file.set("Source", "Port", "1");
        file.set("Destination", "Port", "2");
        file.set("Common", "Speed", "19200");
    }
    bool contains(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
    std::size_t indexOf(const std::string& entry) const {
        return static_cast<std::size_t>(std::find(log.begin(), log.end(), entry) - log.begin());
    }
    int count(const std::string& entry) const {
        return static_cast<int>(std::count(log.begin(), log.end(), entry));
    }
    // The log from the first entry that starts with prefix.
    Log from(const std::string& prefix) const {
        auto it = std::find_if(log.begin(), log.end(),
                               [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
        return Log(it, log.end());
    }
};

QStringList Strings(const Log& log) {
    QStringList out;
    for (const auto& e : log) {
        out << QString::fromStdString(e);
    }
    return out;
}

} // namespace

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    void loadRunsItsStepsInOrder();
    void previousInstanceEndsAtOnceAndDoesNothingElse();
    void windowPosition_data();
    void windowPosition();
    void menuVisible_data();
    void menuVisible();
    void closeApp_data();
    void closeApp();
    void startApp_data();
    void startApp();
    void startupDisplay_data();
    void startupDisplay();
    void status_data();
    void status();
    void closeWaitGivesUpAfterTenSecondsAndStartupGoesOn();
    void exitRequestDuringTheCloseWait();
    void activation_data();
    void activation();
    void activationComesBackWhileASettingIsMissing();
    void quitProgramRunsExactlyOnce();
    void exitActions_data();
    void exitActions();
    void noSettingsFileAtAll();
};

void TestApplication::loadRunsItsStepsInOrder() {
    Rig rig;
    rig.setCommSettings();
    rig.file.set("Display", "XLoc", "1500");
    rig.file.set("Display", "YLoc", "900");
    rig.file.set("Preferences", "MenuVisible", "NO");
    rig.file.set("Preferences", "CloseApp", "HotSync Manager");
    rig.file.set("Preferences", "StartApp", "/usr/bin/hotsync --restart");
    rig.file.set("Preferences", "Startup", "LEDs");
    rig.file.set("Preferences", "Status", "ON");
    rig.closer.windowTitle = "HotSync Manager";
    rig.closer.present = true;
    rig.closer.closesAfterLooks = 2;

    QVERIFY(rig.app.Load());

    const Log expected{
        "caption Palm Loomway by QUILLON",
        "another instance?",
        "read Display XLoc",
        "left 1500",
        "read Display YLoc",
        "top 900",
        "lamp imgPWR POFF",
        "lamp imgRCV PDOFF",
        "lamp imgSND MOFF",
        "lamp imgOnOff ON",
        "lblSNDbyt 0",
        "lblRCVByt 0",
        "txtSend []",
        "txtReceive []",
        "read Methods LMW_S",
        "read Methods LMW_P",
        "read Methods LMW_C",
        "read Preferences MenuVisible",
        "hide menu checked",
        "read Preferences CloseApp",
        "look for HotSync Manager",
        "ask to close HotSync Manager",
        "pause",
        "look for HotSync Manager",
        "pause",
        "look for HotSync Manager",
        "pause",
        "look for HotSync Manager",
        "read Preferences StartApp",
        "read Preferences Startup",
        "display LED_ONLY",
        "read Preferences Status",
    };
    const Log head(rig.log.begin(), rig.log.begin() + std::min(rig.log.size(), expected.size()));
    QCOMPARE(Strings(head), Strings(expected));

    // Status ON: the ports open during the load, after the wait.
    QVERIFY(rig.indexOf("open handheld") > rig.indexOf("read Preferences Status"));
    QVERIFY(rig.handheld.IsOpen());
    QVERIFY(rig.modem.IsOpen());
    QVERIFY(rig.redirection.RedirectionActive());
    QCOMPARE(rig.settings.ExitProgramPath, std::string("/usr/bin/hotsync --restart"));
    QVERIFY(rig.settings.SerialMethodOn && rig.settings.PrintMethodOn &&
            rig.settings.ClipboardMethodOn);
    // Nothing is written at start, nothing ended.
    QVERIFY(rig.file.writes.empty());
    QCOMPARE(rig.window.ends, 0);
    QVERIFY(!rig.app.Ended());
}

void TestApplication::previousInstanceEndsAtOnceAndDoesNothingElse() {
    Rig rig;
    rig.setCommSettings();
    rig.file.set("Display", "XLoc", "1500");
    rig.file.set("Preferences", "Status", "ON");
    rig.file.set("Preferences", "StartApp", "/usr/bin/hotsync");
    rig.instances.another = true;

    QVERIFY(!rig.app.Load());
    QCOMPARE(Strings(rig.log),
             QStringList({"caption Palm Loomway by QUILLON", "another instance?", "end"}));
    QVERIFY(rig.app.Ended());

    // Nothing that could follow touches anything either.
    rig.app.Activate();
    rig.app.QuitProgram();
    QCOMPARE(rig.log.size(), std::size_t(3));
    QVERIFY(rig.file.writes.empty());
    QVERIFY(rig.starter.started.empty());
    QVERIFY(rig.handheld.calls.empty());
}

void TestApplication::windowPosition_data() {
    QTest::addColumn<QString>("xloc");
    QTest::addColumn<QString>("yloc");
    QTest::addColumn<long>("left");
    QTest::addColumn<long>("top");
    const long dl = kDesignedLeft;
    const long dt = kDesignedTop;
    QTest::newRow("both inside") << "1500"
                                 << "900" << 1500L << 900L;
    QTest::newRow("absent") << ""
                            << "" << dl << dt;
    QTest::newRow("zero") << "0"
                          << "0" << dl << dt;
    QTest::newRow("negative") << "-15"
                              << "-1" << dl << dt;
    QTest::newRow("one twip") << "1"
                              << "1" << 1L << 1L;
    QTest::newRow("at the screen size") << "19200"
                                        << "15360" << dl << dt;
    QTest::newRow("just inside") << "19199"
                                 << "15359" << 19199L << 15359L;
    QTest::newRow("beyond") << "40000"
                            << "99999999999999999999" << dl << dt;
    QTest::newRow("x beyond height but inside width") << "16000"
                                                      << "16000" << 16000L << dt;
    QTest::newRow("not a number") << "abc"
                                  << "left" << dl << dt;
    QTest::newRow("leading number") << "750px"
                                    << "60 twips" << 750L << 60L;
    QTest::newRow("decimal point") << "1500.6"
                                   << "899.4" << 1501L << 899L;
    QTest::newRow("comma is no decimal separator") << "1,5"
                                                   << "2,9" << 1L << 2L;
    QTest::newRow("plus sign") << "+300"
                               << "+45" << 300L << 45L;
    QTest::newRow("blanks around") << "  1200  "
                                   << "\t600 " << 1200L << 600L;
    QTest::newRow("only a fraction") << ".4"
                                     << "0.6" << 0L << 1L;
}

void TestApplication::windowPosition() {
    QFETCH(QString, xloc);
    QFETCH(QString, yloc);
    QFETCH(long, left);
    QFETCH(long, top);
    Rig rig;
    rig.file.set("Display", "XLoc", xloc.toStdString());
    rig.file.set("Display", "YLoc", yloc.toStdString());
    QVERIFY(rig.app.Load());
    QCOMPARE(rig.window.left, left);
    QCOMPARE(rig.window.top, top);
    QCOMPARE(rig.count("left " + std::to_string(left)), left == kDesignedLeft ? 0 : 1);
    QCOMPARE(rig.count("top " + std::to_string(top)), top == kDesignedTop ? 0 : 1);
}

void TestApplication::menuVisible_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected"); // the log entry, or empty for none
    QTest::newRow("NO") << "NO"
                        << "hide menu checked";
    QTest::newRow("YES") << "YES"
                         << "hide menu cleared";
    QTest::newRow("empty") << ""
                           << "hide menu cleared";
    QTest::newRow("no in lower case") << "no"
                                      << "";
    QTest::newRow("Yes mixed case") << "Yes"
                                    << "";
    QTest::newRow("other") << "maybe"
                           << "";
}

void TestApplication::menuVisible() {
    QFETCH(QString, value);
    QFETCH(QString, expected);
    Rig rig;
    rig.window.hideMenuChecked = false;
    if (!value.isEmpty()) {
        rig.file.set("Preferences", "MenuVisible", value.toStdString());
    }
    QVERIFY(rig.app.Load());
    const int calls = rig.count("hide menu checked") + rig.count("hide menu cleared");
    QCOMPARE(calls, expected.isEmpty() ? 0 : 1);
    if (!expected.isEmpty()) {
        QVERIFY(rig.contains(expected.toStdString()));
    }
    QCOMPARE(rig.window.hideMenuChecked, value == "NO");
}

void TestApplication::closeApp_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("lookedFor");
    QTest::newRow("HotSync Manager") << "HotSync Manager" << true;
    QTest::newRow("None is a title too") << "None" << true;
    QTest::newRow("two characters") << "ab" << true;
    QTest::newRow("one character") << "X" << false;
    QTest::newRow("empty") << "" << false;
}

void TestApplication::closeApp() {
    QFETCH(QString, value);
    QFETCH(bool, lookedFor);
    Rig rig;
    rig.closer.windowTitle = "Something Else"; // a window that must be left alone
    rig.closer.present = true;
    if (!value.isEmpty()) {
        rig.file.set("Preferences", "CloseApp", value.toStdString());
    }
    QVERIFY(rig.app.Load());
    QCOMPARE(rig.contains("look for " + value.toStdString()), lookedFor);
    // Not found: nothing asked, no waiting, start-up goes on at once.
    QCOMPARE(rig.count("ask to close " + value.toStdString()), 0);
    QCOMPARE(rig.closer.pauses, 0);
    QVERIFY(rig.contains("read Preferences Status"));
    QVERIFY(rig.closer.present);
}

void TestApplication::startApp_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("exitProgram");
    QTest::newRow("a command line") << "/opt/palm/hotsync --quiet"
                                    << "/opt/palm/hotsync --quiet";
    QTest::newRow("empty") << ""
                           << "<NONE>";
    QTest::newRow("<NONE> as written by the dialog") << "<NONE>"
                                                     << "<NONE>";
    QTest::newRow("one character") << "x"
                                   << "x";
}

void TestApplication::startApp() {
    QFETCH(QString, value);
    QFETCH(QString, exitProgram);
    Rig rig;
    rig.settings.ExitProgramPath = "left over";
    if (!value.isEmpty()) {
        rig.file.set("Preferences", "StartApp", value.toStdString());
    }
    QVERIFY(rig.app.Load());
    QCOMPARE(QString::fromStdString(rig.settings.ExitProgramPath), exitProgram);
}

void TestApplication::startupDisplay_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("mode"); // empty: SetDisplay is not called
    QTest::newRow("LEDs") << "LEDs"
                          << "LED_ONLY";
    QTest::newRow("SND/RCV Rate") << "SND/RCV Rate"
                                  << "SENDREC";
    QTest::newRow("Data Sniffer") << "Data Sniffer"
                                  << "FULL";
    QTest::newRow("empty") << ""
                           << "ALL";
    QTest::newRow("leds in lower case") << "leds"
                                        << "";
    QTest::newRow("Data sniffer") << "Data sniffer"
                                  << "";
    QTest::newRow("a mode text itself") << "FULL"
                                        << "";
}

void TestApplication::startupDisplay() {
    QFETCH(QString, value);
    QFETCH(QString, mode);
    Rig rig;
    if (!value.isEmpty()) {
        rig.file.set("Preferences", "Startup", value.toStdString());
    }
    QVERIFY(rig.app.Load());
    int displays = 0;
    for (const auto& e : rig.log) {
        displays += e.rfind("display ", 0) == 0 ? 1 : 0;
    }
    QCOMPARE(displays, mode.isEmpty() ? 0 : 1);
    QCOMPARE(QString::fromStdString(rig.window.display), mode);
}

void TestApplication::status_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<bool>("ended");    // EndRedirection ran
    QTest::addColumn<QString>("onOff"); // the switch picture afterwards
    QTest::newRow("ON") << "ON" << true << false << "ON";
    QTest::newRow("OFF") << "OFF" << false << true << "OFF";
    QTest::newRow("empty") << "" << false << true << "OFF";
    QTest::newRow("on in lower case") << "on" << false << false << "ON";
    QTest::newRow("Off mixed case") << "Off" << false << false << "ON";
    QTest::newRow("other") << "YES" << false << false << "ON";
}

void TestApplication::status() {
    QFETCH(QString, value);
    QFETCH(bool, opened);
    QFETCH(bool, ended);
    QFETCH(QString, onOff);
    Rig rig;
    rig.setCommSettings();
    if (!value.isEmpty()) {
        rig.file.set("Preferences", "Status", value.toStdString());
    }
    QVERIFY(rig.app.Load());
    QCOMPARE(rig.handheld.IsOpen(), opened);
    QCOMPARE(rig.modem.IsOpen(), opened);
    QCOMPARE(rig.redirection.RedirectionActive(), opened);
    QCOMPARE(rig.status.updates > 0, opened || ended);
    if (ended) {
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
    }
    std::string lastOnOff;
    for (const auto& call : rig.lamps.calls) {
        if (call.lamp == Lamp::imgOnOff) {
            lastOnOff = call.code;
        }
    }
    QCOMPARE(QString::fromStdString(lastOnOff), onOff);
    if (!opened && !ended) {
        // Nothing opened or closed, and RedirectionActive stayed false: the
        // first click on the switch starts redirection.
        QVERIFY(rig.handheld.calls.empty());
        rig.redirection.ToggleRedirection();
        QVERIFY(rig.handheld.IsOpen());
    }
    QVERIFY(rig.messages.messages.empty());
}

void TestApplication::closeWaitGivesUpAfterTenSecondsAndStartupGoesOn() {
    Rig rig;
    rig.setCommSettings();
    rig.file.set("Preferences", "CloseApp", "HotSync Manager");
    rig.file.set("Preferences", "Status", "ON");
    rig.closer.windowTitle = "HotSync Manager";
    rig.closer.present = true;
    rig.closer.closesAfterLooks = -1; // asks a question and never closes
    const auto started = rig.clock;

    QVERIFY(rig.app.Load());
    const auto waited = rig.clock - started;
    QVERIFY(waited >= 10s);
    QVERIFY(waited < 10s + 100ms);
    QCOMPARE(rig.count("ask to close HotSync Manager"), 1);
    QVERIFY(rig.closer.present);
    // Start-up went on: the preferences after CloseApp were applied.
    QVERIFY(rig.indexOf("read Preferences StartApp") > rig.indexOf("ask to close HotSync Manager"));
    QVERIFY(rig.handheld.IsOpen());

    // The same wait as a function, with a limit of its own.
    Rig quick;
    quick.closer.windowTitle = "Stubborn";
    quick.closer.present = true;
    quick.closer.closesAfterLooks = -1;
    QVERIFY(
        !CloseProgramByTitle(quick.closer, "Stubborn", 200ms, [&quick] { return quick.clock; }));
    QCOMPARE(quick.closer.pauses, 4);
}

void TestApplication::exitRequestDuringTheCloseWait() {
    Rig rig;
    rig.setCommSettings();
    rig.file.set("Preferences", "CloseApp", "HotSync Manager");
    rig.file.set("Preferences", "Status", "ON");
    rig.file.set("Preferences", "StartApp", "/usr/bin/hotsync");
    rig.closer.windowTitle = "HotSync Manager";
    rig.closer.present = true;
    rig.closer.closesAfterLooks = -1;
    // A SIGTERM arrives while pending events are processed.
    rig.closer.duringPause = [&rig] { rig.app.QuitProgram(); };

    QVERIFY(!rig.app.Load());
    QVERIFY(rig.app.Ended());
    QCOMPARE(rig.window.ends, 1);
    QCOMPARE(rig.closer.pauses, 1); // the wait stopped at once
    QVERIFY(!rig.contains("read Preferences StartApp"));
    QVERIFY(!rig.contains("read Preferences Status"));
    QVERIFY(!rig.contains("open handheld"));
    QVERIFY(rig.starter.started.empty()); // the exit program was not known yet
    QCOMPARE(rig.count("write Display XLoc=3000"), 1);
}

void TestApplication::activation_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<bool>("dialog");
    QTest::newRow("all present") << "1"
                                 << "2"
                                 << "19200" << false;
    QTest::newRow("no source") << ""
                               << "2"
                               << "19200" << true;
    QTest::newRow("no destination") << "1"
                                    << ""
                                    << "19200" << true;
    QTest::newRow("no speed") << "1"
                              << "2"
                              << "" << true;
    QTest::newRow("none at all") << ""
                                 << ""
                                 << "" << true;
    QTest::newRow("present but odd") << "abc"
                                     << "COM2"
                                     << "fast" << false;
}

void TestApplication::activation() {
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QString, speed);
    QFETCH(bool, dialog);
    Rig rig;
    QVERIFY(rig.app.Load());
    if (!source.isEmpty()) {
        rig.file.set("Source", "Port", source.toStdString());
    }
    if (!destination.isEmpty()) {
        rig.file.set("Destination", "Port", destination.toStdString());
    }
    if (!speed.isEmpty()) {
        rig.file.set("Common", "Speed", speed.toStdString());
    }
    rig.log.clear();
    rig.app.Activate();
    Log expected{"read Source Port", "read Destination Port", "read Common Speed"};
    if (dialog) {
        expected.push_back("comm dialog");
    }
    QCOMPARE(Strings(rig.log), Strings(expected));
    QCOMPARE(rig.window.dialogsOpened, dialog ? 1 : 0);
}

void TestApplication::activationComesBackWhileASettingIsMissing() {
    Rig rig;
    QVERIFY(rig.app.Load());
    QCOMPARE(rig.window.dialogsOpened, 0); // the load itself opens no dialog
    rig.app.Activate();
    rig.app.Activate(); // the dialog was cancelled and the main window is active again
    QCOMPARE(rig.window.dialogsOpened, 2);
    // The settings are re-read each time: once stored, no more dialog.
    rig.setCommSettings();
    rig.app.Activate();
    QCOMPARE(rig.window.dialogsOpened, 2);
    QCOMPARE(rig.settings.SourcePort, 1);
    QCOMPARE(rig.settings.DestinationPort, std::string("2"));
    QCOMPARE(rig.settings.CommonSpeed, std::string("19200"));
    // After the end, activation does nothing.
    rig.file.set("Common", "Speed", "");
    rig.app.QuitProgram();
    rig.app.Activate();
    QCOMPARE(rig.window.dialogsOpened, 2);
}

void TestApplication::quitProgramRunsExactlyOnce() {
    Rig rig;
    rig.setCommSettings();
    rig.file.set("Preferences", "Status", "ON");
    rig.file.set("Preferences", "StartApp", "/usr/bin/hotsync --restart");
    QVERIFY(rig.app.Load());
    QVERIFY(rig.handheld.IsOpen());
    rig.window.left = 1234;
    rig.window.top = 567;
    rig.log.clear();

    // "&Exit", then the close event and the end of the session and a signal.
    rig.app.QuitProgram();
    rig.app.QuitProgram();
    rig.app.QuitProgram();
    rig.app.RunExitActions(); // only by the sequence; once it ended, it is done
    rig.app.QuitProgram();

    QVERIFY(!rig.handheld.IsOpen());
    QVERIFY(!rig.modem.IsOpen());
    QCOMPARE(rig.count("close handheld"), 1);
    QCOMPARE(rig.count("write Display XLoc=1234"), 1);
    QCOMPARE(rig.count("write Display YLoc=567"), 1);
    QCOMPARE(rig.starter.started, std::vector<std::string>{"/usr/bin/hotsync --restart"});
    QCOMPARE(rig.window.ends, 1);
    QVERIFY(rig.app.Ended());
    // In its order: ports closed, position saved, exit program, end.
    QVERIFY(rig.indexOf("close handheld") < rig.indexOf("write Display XLoc=1234"));
    QVERIFY(rig.indexOf("write Display XLoc=1234") < rig.indexOf("write Display YLoc=567"));
    QVERIFY(rig.indexOf("write Display YLoc=567") <
            rig.indexOf("start /usr/bin/hotsync --restart"));
    QCOMPARE(rig.log.back(), std::string("end"));
}

void TestApplication::exitActions_data() {
    QTest::addColumn<bool>("normal");
    QTest::addColumn<long>("left");
    QTest::addColumn<long>("top");
    QTest::addColumn<QString>("exitProgram");
    QTest::addColumn<bool>("startSucceeds");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("normal with a program")
        << true << 1500L << 900L << "/usr/bin/hotsync" << true
        << QStringList{"write Display XLoc=1500", "write Display YLoc=900",
                       "start /usr/bin/hotsync"};
    QTest::newRow("normal without a program")
        << true << 1500L << 900L << "<NONE>" << true
        << QStringList{"write Display XLoc=1500", "write Display YLoc=900"};
    QTest::newRow("partly off the screen")
        << true << -450L << 0L << "<NONE>" << true
        << QStringList{"write Display XLoc=-450", "write Display YLoc=0"};
    QTest::newRow("program that cannot start")
        << true << 15L << 30L << "/no/such/program" << false
        << QStringList{"write Display XLoc=15", "write Display YLoc=30", "start /no/such/program"};
    QTest::newRow("minimized or maximized")
        << false << 1500L << 900L << "/usr/bin/hotsync" << true << QStringList{};
}

void TestApplication::exitActions() {
    QFETCH(bool, normal);
    QFETCH(long, left);
    QFETCH(long, top);
    QFETCH(QString, exitProgram);
    QFETCH(bool, startSucceeds);
    QFETCH(QStringList, expected);
    Rig rig;
    QVERIFY(rig.app.Load());
    rig.settings.ExitProgramPath = exitProgram.toStdString();
    rig.starter.succeed = startSucceeds;
    rig.window.normal = normal;
    rig.window.left = left;
    rig.window.top = top;
    rig.log.clear();
    rig.app.RunExitActions();
    QCOMPARE(Strings(rig.log), expected);

    // The whole sequence ends the program whatever the exit actions did.
    rig.log.clear();
    rig.app.QuitProgram();
    QCOMPARE(rig.window.ends, 1);
    QCOMPARE(rig.count("write Display XLoc=" + std::to_string(left)), normal ? 1 : 0);
}

void TestApplication::noSettingsFileAtAll() {
    Rig rig;
    QVERIFY(rig.app.Load());
    QCOMPARE(rig.window.caption, std::string("Palm Loomway by QUILLON"));
    QCOMPARE(rig.window.left, kDesignedLeft);
    QCOMPARE(rig.window.top, kDesignedTop);
    QVERIFY(!rig.window.hideMenuChecked);
    QCOMPARE(rig.window.display, std::string("ALL"));
    QCOMPARE(rig.settings.ExitProgramPath, std::string("<NONE>"));
    QVERIFY(rig.settings.SerialMethodOn && rig.settings.PrintMethodOn &&
            rig.settings.ClipboardMethodOn);
    QVERIFY(!rig.redirection.RedirectionActive());
    QVERIFY(rig.handheld.calls.empty());
    QCOMPARE(rig.closer.pauses, 0);
    QVERIFY(!rig.from("read Preferences CloseApp").empty());
    QVERIFY(!rig.contains("look for "));
    QVERIFY(rig.messages.messages.empty());
    QCOMPARE(rig.window.dialogsOpened, 0);
    rig.app.Activate();
    QCOMPARE(rig.window.dialogsOpened, 1);
}

QTEST_APPLESS_MAIN(TestApplication)
#include "tst_application.moc"
