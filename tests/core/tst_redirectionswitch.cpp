// Switching redirection on and off, and the wait for a lost device.
#include "core/redirectionswitch.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QTest>

#include <numeric>

using namespace loomway;
using namespace loomway::test;

namespace {
struct ReplugPort : FakeSerialPort {
    std::string DeviceName() const override { return name; }
    std::string name;
};
struct Watcher : DeviceWatcher {
    void Watch(const std::string& d, std::function<void()> back) override { watched[d] = back; }
    void Forget(const std::string& d) override { watched.erase(d); }
    std::map<std::string, std::function<void()>> watched;
};
// Lamps as "Power PowerOn;Switch SwitchOn;", blinking as "Power lit/dark;",
// and panel 2 as the notice.
struct Panels : LampPanel, RecordingStatusPanel {
    void SetLamp(Lamp lamp, LampPicture picture) override {
        lamps += QString::fromStdString(LampName(lamp) + " " + PictureName(picture) + ";");
    }
    void BlinkLamp(Lamp lamp, LampPicture lit, LampPicture dark) override {
        lamps += QString::fromStdString(LampName(lamp) + " " + PictureName(lit) + "/" +
                                        PictureName(dark) + ";");
    }
    QString lamps;
};

struct Rig {
    MemoryProfileFile file;
    Settings settings;
    ReplugPort handheld, modem;
    Panels panels;
    RecordingMessageBox messages;
    Watcher watcher;
    RedirectionSwitch sw{file, settings, handheld, modem, panels, messages, panels};
    Rig(const std::string& source = "3", const std::string& destination = "4",
        const std::string& speed = "9600") {
        storeComm(file, source, destination, speed);
        settings.SerialMethodOn = true;
    }
    static QString calls(const FakeSerialPort& port) {
        return QString::fromStdString(std::accumulate(
            port.calls.begin(), port.calls.end(), std::string(),
            [](const std::string& all, const std::string& c) { return all + c + ";"; }));
    }
    QString message() const { // the only message: "title: text"
        const auto& m = messages.messages;
        return m.size() != 1 ? QString("%1 messages").arg(m.size())
                             : QString::fromStdString(m[0].title + ": " + m[0].text);
    }
    void lose(ReplugPort& port) {
        port.loseDevice({PortError::Code::DeviceUnavailable, "gone"});
        sw.OnPortLost(port, {PortError::Code::DeviceUnavailable, "gone"});
    }
    void back(ReplugPort& port) { watcher.watched.at(port.name)(); }
};

const std::string kPortBusy = "Port Error: Communications port 3 cannot be\naccessed at this "
                              "time.  Make sure\nno other devices are utilizing COM3\nand ";
const std::string kNoPort3 = kPortBusy + "that you are using the correct port.";
} // namespace

class TestRedirectionSwitch : public QObject {
    Q_OBJECT
private slots:
    void switchOn_data() {
        addRows({"speed", "serial", "settings"},
                {{"decimal", "2400.6", "on", "2401,N,8,1"},
                 {"serial method off: no modem", "009600", "", "9600,N,8,1"}});
    }
    void switchOn() {
        const bool serial = !cell("serial").isEmpty();
        Rig rig("3", "4", cell("speed").toStdString());
        rig.settings.SerialMethodOn = serial;
        rig.sw.StartRedirection();
        const QString open = "SetSettings " + cell("settings") + ";Open;";
        QCOMPARE(rig.calls(rig.handheld), "SetPortNumber 3;" + open);
        QCOMPARE(rig.calls(rig.modem), serial ? "SetPortNumber 4;" + open : "");
        QCOMPARE(rig.panels.lamps, serial ? "Power PowerOn;Power PowerOn;Switch SwitchOn;"
                                          : "Power PowerOn;Switch SwitchOn;");
        QCOMPARE(rig.panels.status, std::string("STATUS:  ON"));
        QVERIFY(rig.sw.RedirectionActive() && rig.handheld.IsOpen() &&
                rig.messages.messages.empty());
        rig.panels.lamps.clear();
        rig.sw.ToggleRedirection();
        QVERIFY(!rig.handheld.IsOpen() && !rig.modem.IsOpen() && !rig.sw.RedirectionActive());
        QCOMPARE(rig.panels.status, std::string("STATUS:  OFF"));
        QCOMPARE(rig.panels.lamps,
                 serial ? "Power PowerOff;Power PowerOff;Switch SwitchOff;Power PowerOff;"
                        : "Power PowerOff;Switch SwitchOff;Power PowerOff;");
    }

    // The listed codes switch redirection off, the others leave it as it was.
    void openFailures_data() {
        addRows({"code", "message"},
                {{"8005", (kPortBusy + "try to connect again.").c_str()},
                 {"8012", "Verify Power/Connection: Communications port 3 cannot be \naccessed at "
                          "this time.  Make sure \n that the device is powered on and "
                          "properly\nconnected."},
                 {"8018", "Port not Connected: It appears that one (or more) devices is\ncurrently "
                          "in use by another program or not available\nPlease correct the "
                          "conflicting (or missing) port."},
                 {"70", "Port Error: Error Number:  70-Error - Permission denied"}});
    }
    void openFailures() {
        const bool switchesOff = cell("code") != "70";
        Rig rig;
        rig.sw.SetRedirectionActive(true); // as the start-up preference "ON" leaves it
        rig.handheld.openError =
            PortError{PortError::Code(cell("code").toInt()), "Permission denied"};
        rig.sw.StartRedirection();
        QCOMPARE(rig.message(), cell("message"));
        const auto& m = rig.messages.messages[0];
        QVERIFY(m.icon == MessageIcon::Exclamation && m.buttons == MessageButtons::Ok);
        QVERIFY(rig.modem.calls.empty());
        QCOMPARE(rig.sw.RedirectionActive(), !switchesOff);
        QCOMPARE(rig.panels.lamps,
                 switchesOff ? "Power PowerOn;Switch SwitchOff;Power PowerOff;" : "Power PowerOn;");
        QCOMPARE(rig.panels.status, std::string(switchesOff ? "STATUS:  OFF" : ""));
    }

    // No message when none is set, else the error of the first value that fails.
    void badSettings_data() {
        const char* const k380 = "Port Error: Error Number:  380-Error - Invalid property value";
        const char* const k13 = "Port Error: Error Number:  13-Error - Type mismatch";
        addRows({"source", "destination", "speed", "message", "handheldOpen"},
                {{"nothing", "", "", "", "0 messages", ""},
                 {"no source", "", "2", "9600", k380, ""},
                 {"no destination", "1", "", "9600", k380, "open"},
                 {"speed text", "1", "2", "fast", k13, ""},
                 {"destination text", "1", "COM2", "9600", k13, "open"},
                 {"overflow", "1", "99999999999", "9600",
                  "Port Error: Error Number:  6-Error - Overflow", "open"}});
    }
    void badSettings() {
        Rig rig(cell("source").toStdString(), cell("destination").toStdString(),
                cell("speed").toStdString());
        rig.sw.StartRedirection();
        QCOMPARE(rig.message(), cell("message"));
        QCOMPARE(rig.handheld.IsOpen(), !cell("handheldOpen").isEmpty());
        QVERIFY(!rig.modem.IsOpen() && !rig.sw.RedirectionActive());
        QCOMPARE(rig.panels.updates, 0);
        if (rig.handheld.IsOpen()) { // the stranded port is closed before the next attempt
            rig.file.set("Destination", "Port", "2");
            rig.handheld.calls.clear();
            rig.sw.StartRedirection();
            QCOMPARE(rig.calls(rig.handheld), "Close;SetPortNumber 1;SetSettings 9600,N,8,1;Open;");
            QVERIFY(rig.sw.RedirectionActive());
        }
    }

    // The handler hears of complete switches only; a failing modem closes the handheld port.
    void switchHandler() {
        Rig rig("7", "3");
        std::string told;
        rig.sw.SetSwitchHandler([&told](bool on) { told += on ? "on " : "off "; });
        rig.sw.EndRedirection(); // was not on
        rig.sw.StartRedirection();
        rig.modem.lastWords = "~bye~"; // reaches the handheld before its port closes
        rig.sw.EndRedirection();
        QCOMPARE(rig.handheld.written, std::string("~bye~"));
        std::string relayed; // or to the relay, which counts and shows them
        rig.sw.SetLastWordsHandler([&relayed](const std::string& words) { relayed += words; });
        rig.sw.StartRedirection();
        rig.modem.lastWords = "~again~";
        rig.sw.EndRedirection();
        QCOMPARE(relayed + "|" + rig.handheld.written, std::string("~again~|~bye~"));
        rig.sw.EndRedirection();
        rig.modem.openError = {PortError::Code::NoSuchPort, "no such port"};
        rig.handheld.calls.clear();
        rig.sw.StartRedirection(); // fails and switches off: it was never on
        QCOMPARE(rig.message(), QString::fromStdString(kNoPort3));
        QCOMPARE(rig.calls(rig.handheld), "SetPortNumber 7;SetSettings 9600,N,8,1;Open;Close;");
        rig.modem.openError = {};
        rig.modem.SetLostHandler([&](const PortError& e) { rig.sw.OnPortLost(rig.modem, e); });
        for (int lost = 0; lost < 2; ++lost) { // each loss is reported and switches off
            rig.sw.StartRedirection();
            rig.modem.loseDevice({PortError::Code::DeviceUnavailable, "gone"});
        }
        QCOMPARE(told, std::string("on off on off on off on off "));
    }

    // The lamp blinks until the last is back; a port with no device name is
    // lost as of old: reported once, switched off.
    void waitsAndResumes() {
        Rig rig;
        rig.handheld.name = "/dev/cradle";
        rig.modem.name = "/dev/modem";
        rig.sw.SetDeviceWatcher(&rig.watcher);
        rig.sw.StartRedirection();
        rig.lose(rig.handheld);
        rig.lose(rig.modem);
        QVERIFY(rig.sw.RedirectionActive() && rig.sw.Awaiting(rig.modem));
        QCOMPARE(rig.panels.notice,
                 std::string("Waiting for COM3 (/dev/cradle); COM4 (/dev/modem)"));
        rig.back(rig.modem);
        rig.handheld.openError = {PortError::Code::PortAlreadyOpen, "probed by another program"};
        rig.back(rig.handheld);
        QCOMPARE(rig.panels.notice, std::string("Waiting for COM3 (/dev/cradle)"));
        QVERIFY(rig.panels.lamps.endsWith(";Power PowerOn/PowerOff;"));

        rig.handheld.openError = {};
        rig.back(rig.handheld);
        QVERIFY(rig.panels.lamps.endsWith(";Power PowerOn;"));
        QVERIFY(rig.watcher.watched.empty() && rig.panels.notice.empty());
        QCOMPARE(rig.modem.requeues, 1); // what it held back goes on

        rig.lose(rig.modem);
        auto late = rig.watcher.watched.at(rig.modem.name);
        rig.sw.ToggleRedirection();
        late();
        QVERIFY(rig.watcher.watched.empty() && rig.panels.notice.empty() && !rig.modem.IsOpen());

        rig.sw.StartRedirection();
        rig.handheld.name.clear();
        rig.lose(rig.handheld);
        rig.lose(rig.modem); // once off, a loss is not reported again
        QVERIFY(rig.message().startsWith(
            "Verify Power/Connection: Communications port 3 cannot be \n"));
        QVERIFY(!rig.sw.RedirectionActive() && !rig.modem.IsOpen() && rig.watcher.watched.empty());
        QCOMPARE(rig.panels.status, std::string("STATUS:  OFF"));
    }
};

QTEST_APPLESS_MAIN(TestRedirectionSwitch)
#include "tst_redirectionswitch.moc"
