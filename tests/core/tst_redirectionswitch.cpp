#include "core/redirectionswitch.h"
#include "tests/support/fakes.h"

#include <QTest>

#include <functional>

using namespace loomway;
using namespace loomway::test;

namespace {

// Everything the switch talks to, with fakes.
struct Rig {
    MemoryProfileFile file;
    Settings settings;
    FakeSerialPort handheld;
    FakeSerialPort modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch sw{file, settings, handheld, modem, lamps, messages, status};

    Rig(const std::string& source = "3", const std::string& destination = "4",
        const std::string& speed = "9600", bool serialMethod = true) {
        if (!source.empty()) {
            file.set("Source", "Port", source);
        }
        if (!destination.empty()) {
            file.set("Destination", "Port", destination);
        }
        if (!speed.empty()) {
            file.set("Common", "Speed", speed);
        }
        settings.SerialMethodOn = serialMethod;
    }

    std::vector<std::string> lampCalls() const {
        std::vector<std::string> out;
        for (const auto& call : lamps.calls) {
            out.push_back(std::string(call.lamp == Lamp::imgPWR     ? "PWR "
                                      : call.lamp == Lamp::imgOnOff ? "OnOff "
                                                                    : "other ") +
                          call.code);
        }
        return out;
    }
};

using Calls = std::vector<std::string>;

const std::string k8002Text3 = "Communications port 3 cannot be\n"
                               "accessed at this time.  Make sure\n"
                               "no other devices are utilizing COM3\n"
                               "and that you are using the correct port.";

// Shows a message and, while it is up, lets another event run.
class ReentrantMessageBox : public MessageBox {
public:
    MessageAnswer Show(const std::string& title, const std::string& text, MessageIcon icon,
                       MessageButtons buttons, MessageAnswer defaultButton) override {
        shown.push_back(title + "|" + text);
        if (whileShown) {
            auto run = std::exchange(whileShown, nullptr);
            run();
        }
        (void)icon;
        (void)buttons;
        return defaultButton;
    }
    std::vector<std::string> shown;
    std::function<void()> whileShown;
};

} // namespace

class TestRedirectionSwitch : public QObject {
    Q_OBJECT
private slots:
    void switchOnOpensBothPorts() {
        Rig rig;
        rig.sw.StartRedirection();
        QCOMPARE(rig.handheld.calls, (Calls{"SetPortNumber 3", "SetSettings 9600,N,8,1", "Open"}));
        QCOMPARE(rig.modem.calls, (Calls{"SetPortNumber 4", "SetSettings 9600,N,8,1", "Open"}));
        QVERIFY(rig.handheld.IsOpen() && rig.modem.IsOpen());
        QCOMPARE(rig.lampCalls(), (Calls{"PWR PON", "PWR PON", "OnOff ON"}));
        QCOMPARE(rig.status.status, std::string("STATUS:  ON"));
        QVERIFY(rig.sw.RedirectionActive());
        QCOMPARE(rig.sw.OpeningPort(), std::string("4"));
        QVERIFY(rig.messages.messages.empty());
        QCOMPARE(rig.settings.SourcePort, 3); // the settings were loaded
    }

    void settingsText_data() {
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("text");
        QTest::newRow("9600") << "9600"
                              << "9600,N,8,1";
        QTest::newRow("115200") << "115200"
                                << "115200,N,8,1";
        QTest::newRow("110") << "110"
                             << "110,N,8,1";
        QTest::newRow("decimal") << "19200.0"
                                 << "19200,N,8,1";
        QTest::newRow("rounded") << "2400.6"
                                 << "2401,N,8,1";
        QTest::newRow("exponent") << "1.2e3"
                                  << "1200,N,8,1";
        QTest::newRow("leading zeros") << "009600"
                                       << "9600,N,8,1";
    }
    void settingsText() {
        QFETCH(QString, speed);
        QFETCH(QString, text);
        Rig rig("1", "2", speed.toStdString());
        rig.sw.StartRedirection();
        QCOMPARE(rig.handheld.settings, text.toStdString());
        QCOMPARE(rig.modem.settings, text.toStdString());
        QVERIFY(rig.sw.RedirectionActive());
    }

    void serialMethodOffOpensOnlyTheHandheldPort() {
        Rig rig("1", "2", "9600", false);
        rig.sw.StartRedirection();
        QVERIFY(rig.handheld.IsOpen());
        QVERIFY(!rig.modem.IsOpen());
        QVERIFY(rig.modem.calls.empty());
        QCOMPARE(rig.lampCalls(), (Calls{"PWR PON", "OnOff ON"}));
        QCOMPARE(rig.lamps.shown[Lamp::imgOnOff], LampPicture::imgON);
        QCOMPARE(rig.status.status, std::string("STATUS:  ON"));
        QVERIFY(rig.sw.RedirectionActive());
    }

    void messages_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("switchesOff");
        QTest::newRow("8002") << 8002 << "no such port"
                              << "Port Error" << QString::fromStdString(k8002Text3) << true;
        QTest::newRow("8005") << 8005 << "busy"
                              << "Port Error"
                              << "Communications port 3 cannot be\n"
                                 "accessed at this time.  Make sure\n"
                                 "no other devices are utilizing COM3\n"
                                 "and try to connect again."
                              << true;
        QTest::newRow("8012") << 8012 << "cannot open"
                              << "Verify Power/Connection"
                              << "Communications port 3 cannot be \n"
                                 "accessed at this time.  Make sure \n"
                                 " that the device is powered on and properly\n"
                                 "connected."
                              << true;
        QTest::newRow("8018") << 8018 << "not open"
                              << "Port not Connected"
                              << "It appears that one (or more) devices is\n"
                                 "currently in use by another program or not available\n"
                                 "Please correct the conflicting (or missing) port."
                              << true;
        QTest::newRow("380") << 380 << "Invalid property value"
                             << "Port Error"
                             << "Error Number:  380-Error - Invalid property value" << false;
        QTest::newRow("70") << 70 << "Permission denied: /dev/ttyS2"
                            << "Port Error"
                            << "Error Number:  70-Error - Permission denied: /dev/ttyS2" << false;
        QTest::newRow("empty description") << 8015 << ""
                                           << "Port Error"
                                           << "Error Number:  8015-Error - " << false;
    }
    void messages() {
        QFETCH(int, code);
        QFETCH(QString, description);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, switchesOff);
        Rig rig;
        rig.handheld.openError = PortError{code, description.toStdString()};
        rig.sw.StartRedirection();

        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        const auto& m = rig.messages.messages.front();
        QCOMPARE(QString::fromStdString(m.title), title);
        QCOMPARE(QString::fromStdString(m.text), text);
        QCOMPARE(m.icon, MessageIcon::Exclamation);
        QCOMPARE(m.buttons, MessageButtons::Ok);
        QVERIFY(rig.modem.calls.empty()); // the sequence ended at the failure
        QVERIFY(!rig.sw.RedirectionActive());
        if (switchesOff) {
            QCOMPARE(rig.lampCalls(), (Calls{"PWR PON", "OnOff OFF", "PWR POFF"}));
            QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
        } else {
            QCOMPARE(rig.lampCalls(), (Calls{"PWR PON"})); // nothing undone
            QCOMPARE(rig.status.updates, 0);
        }
    }

    void unlistedCodeKeepsTheSwitchState() {
        Rig rig;
        rig.sw.SetRedirectionActive(true); // as the startup preference "ON" does
        rig.handheld.openError = PortError{380, "Invalid property value"};
        rig.sw.StartRedirection();
        QVERIFY(rig.sw.RedirectionActive());
        QCOMPARE(rig.status.updates, 0);
        // The next click switches off.
        rig.sw.ToggleRedirection();
        QVERIFY(!rig.sw.RedirectionActive());
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
    }

    void modemFailureClosesTheHandheldPort() {
        Rig rig("1", "2");
        rig.modem.openError = PortError{8002, "no such port"};
        rig.sw.StartRedirection();
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        QCOMPARE(rig.messages.messages[0].text,
                 std::string("Communications port 2 cannot be\n"
                             "accessed at this time.  Make sure\n"
                             "no other devices are utilizing COM2\n"
                             "and that you are using the correct port."));
        QCOMPARE(rig.handheld.calls,
                 (Calls{"SetPortNumber 1", "SetSettings 9600,N,8,1", "Open", "Close"}));
        QVERIFY(!rig.handheld.IsOpen());
        QCOMPARE(rig.lampCalls(),
                 (Calls{"PWR PON", "PWR PON", "PWR POFF", "OnOff OFF", "PWR POFF"}));
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
        QVERIFY(!rig.sw.RedirectionActive());
    }

    void heldHandheldPortNamesItsNumber() {
        Rig rig("7", "8");
        rig.handheld.openError = PortError{8005, "held"};
        rig.sw.StartRedirection();
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        const std::string& text = rig.messages.messages[0].text;
        QVERIFY(text.find("Communications port 7 cannot be\n") == 0);
        QVERIFY(text.find("utilizing COM7\n") != std::string::npos);
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
    }

    void nothingConfiguredDoesNothing() {
        Rig rig("", "", "");
        rig.sw.StartRedirection();
        QVERIFY(rig.messages.messages.empty());
        QCOMPARE(rig.status.updates, 0);
        QVERIFY(rig.lamps.calls.empty());
        QVERIFY(!rig.sw.RedirectionActive());
        QCOMPARE(rig.handheld.calls, (Calls{"SetPortNumber -1"}));
        QVERIFY(rig.modem.calls.empty());

        // The switch is not touched, whatever it stood at.
        rig.sw.SetRedirectionActive(true);
        rig.sw.StartRedirection();
        QVERIFY(rig.sw.RedirectionActive());
        QVERIFY(rig.messages.messages.empty());
        QCOMPARE(rig.status.updates, 0);
    }

    void partlyConfiguredGivesTheAnyOtherRow_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("handheldOpen");
        QTest::newRow("no source") << ""
                                   << "2"
                                   << "9600"
                                   << "Error Number:  380-Error - Invalid property value" << false;
        QTest::newRow("no destination")
            << "1"
            << ""
            << "9600"
            << "Error Number:  380-Error - Invalid property value" << true;
        QTest::newRow("speed not a number") << "1"
                                            << "2"
                                            << "fast"
                                            << "Error Number:  13-Error - Type mismatch" << false;
        QTest::newRow("destination not a number")
            << "1"
            << "COM2"
            << "9600"
            << "Error Number:  13-Error - Type mismatch" << true;
        QTest::newRow("destination beyond range") << "1"
                                                  << "99999999999"
                                                  << "9600"
                                                  << "Error Number:  6-Error - Overflow" << true;
    }
    void partlyConfiguredGivesTheAnyOtherRow() {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, speed);
        QFETCH(QString, text);
        QFETCH(bool, handheldOpen);
        Rig rig(source.toStdString(), destination.toStdString(), speed.toStdString());
        rig.sw.StartRedirection();
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        QCOMPARE(rig.messages.messages[0].title, std::string("Port Error"));
        QCOMPARE(QString::fromStdString(rig.messages.messages[0].text), text);
        QCOMPARE(rig.handheld.IsOpen(), handheldOpen);
        QVERIFY(!rig.modem.IsOpen());
        QVERIFY(!rig.sw.RedirectionActive());
        QCOMPARE(rig.status.updates, 0);
    }

    void speedTextNeverReachesThePortWhenNotANumber() {
        Rig rig("1", "2", "fast");
        rig.sw.StartRedirection();
        QCOMPARE(rig.handheld.calls, (Calls{"SetPortNumber 1"}));
        QCOMPARE(rig.sw.OpeningPort(), std::string("1"));
        QVERIFY(rig.lamps.calls.empty());
    }

    void strandedPortIsClosedBeforeTheNextAttempt() {
        Rig rig("1", "");
        rig.sw.StartRedirection(); // the modem's -1 fails with 380
        QVERIFY(rig.handheld.IsOpen());
        rig.handheld.calls.clear();
        rig.lamps.calls.clear();

        rig.file.set("Destination", "Port", "2");
        rig.sw.StartRedirection();
        QCOMPARE(rig.handheld.calls,
                 (Calls{"Close", "SetPortNumber 1", "SetSettings 9600,N,8,1", "Open"}));
        QCOMPARE(rig.lampCalls(), (Calls{"PWR POFF", "PWR PON", "PWR PON", "OnOff ON"}));
        QVERIFY(rig.sw.RedirectionActive());
        QCOMPARE(rig.messages.messages.size(), std::size_t(1)); // only the first failure
    }

    void portsOpenAfterACompleteSwitchOnAreNotClosedByTheNextStart() {
        Rig rig;
        rig.sw.StartRedirection();
        rig.handheld.calls.clear();
        rig.sw.StartRedirection(); // a port that is open fails to open again
        QCOMPARE(rig.handheld.calls.front(), std::string("SetPortNumber 3"));
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        QCOMPARE(rig.messages.messages[0].text.substr(0, 32),
                 std::string("Communications port 3 cannot be\n"));
        QVERIFY(!rig.sw.RedirectionActive());
        QVERIFY(!rig.handheld.IsOpen() && !rig.modem.IsOpen());
    }

    void settingsAreReadAtEverySwitchOn() {
        Rig rig("1", "2");
        rig.sw.StartRedirection();
        rig.sw.EndRedirection();
        rig.file.set("Source", "Port", "5");
        rig.file.set("Common", "Speed", "115200");
        rig.sw.StartRedirection();
        QCOMPARE(rig.handheld.calls[3], std::string("Close"));
        QCOMPARE(rig.handheld.calls[4], std::string("SetPortNumber 5"));
        QCOMPARE(rig.handheld.settings, std::string("115200,N,8,1"));
        QCOMPARE(rig.settings.SourcePort, 5);
    }

    void endRedirectionWithNothingOpen() {
        Rig rig;
        rig.sw.EndRedirection();
        QCOMPARE(rig.lampCalls(), (Calls{"OnOff OFF", "PWR POFF"}));
        QCOMPARE(rig.lamps.shown[Lamp::imgOnOff], LampPicture::imgOFF);
        QCOMPARE(rig.lamps.shown[Lamp::imgPWR], LampPicture::IMG_OFF);
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
        QVERIFY(rig.handheld.calls.empty() && rig.modem.calls.empty());
        QVERIFY(!rig.sw.RedirectionActive());
    }

    void endRedirectionClosesBothPorts() {
        Rig rig;
        rig.sw.StartRedirection();
        rig.lamps.calls.clear();
        rig.sw.EndRedirection();
        QVERIFY(!rig.handheld.IsOpen() && !rig.modem.IsOpen());
        QCOMPARE(rig.lampCalls(), (Calls{"PWR POFF", "PWR POFF", "OnOff OFF", "PWR POFF"}));
    }

    void toggleSwitchesOnAndOff() {
        Rig rig;
        rig.sw.ToggleRedirection();
        QVERIFY(rig.sw.RedirectionActive());
        QVERIFY(rig.handheld.IsOpen());
        rig.sw.ToggleRedirection();
        QVERIFY(!rig.sw.RedirectionActive());
        QVERIFY(!rig.handheld.IsOpen());
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
    }

    void openingPortStartsAsZeroAndKeepsItsValue() {
        Rig rig;
        QCOMPARE(rig.sw.OpeningPort(), std::string());
        rig.settings.SourcePort = 1; // configured, nothing opened yet
        rig.sw.ReportPortError(8002, "");
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        QCOMPARE(rig.messages.messages[0].text,
                 std::string("Communications port 0 cannot be\n"
                             "accessed at this time.  Make sure\n"
                             "no other devices are utilizing COM0\n"
                             "and that you are using the correct port."));
        rig.sw.StartRedirection();
        rig.sw.EndRedirection();
        QCOMPARE(rig.sw.OpeningPort(), std::string("4"));
        rig.sw.ReportPortError(8005, "");
        QVERIFY(rig.messages.messages.back().text.find("COM4\n") != std::string::npos);
    }

    void lostDeviceIsReportedOnce() {
        Rig rig("1", "2");
        rig.sw.StartRedirection();
        rig.modem.forceOpen(false); // the layer has closed it already
        rig.sw.OnPortLost(rig.modem, PortError{8012, "gone"});
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        QCOMPARE(rig.messages.messages[0].title, std::string("Verify Power/Connection"));
        QCOMPARE(rig.messages.messages[0].text,
                 std::string("Communications port 2 cannot be \n"
                             "accessed at this time.  Make sure \n"
                             " that the device is powered on and properly\n"
                             "connected."));
        QVERIFY(!rig.sw.RedirectionActive());
        QVERIFY(!rig.handheld.IsOpen());
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));

        rig.handheld.forceOpen(false);
        rig.sw.OnPortLost(rig.handheld, PortError{8012, "gone too"});
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
    }

    void secondLostPortWhileTheMessageIsUp() {
        MemoryProfileFile file;
        file.set("Source", "Port", "1");
        file.set("Destination", "Port", "2");
        file.set("Common", "Speed", "9600");
        Settings settings;
        settings.SerialMethodOn = true;
        FakeSerialPort handheld, modem;
        RecordingLampPanel lamps;
        ReentrantMessageBox messages;
        RecordingStatusPanel status;
        RedirectionSwitch sw(file, settings, handheld, modem, lamps, messages, status);
        sw.StartRedirection();
        QVERIFY(sw.RedirectionActive());
        messages.whileShown = [&] {
            modem.forceOpen(false);
            sw.OnPortLost(modem, PortError{8012, "modem gone"});
        };
        handheld.forceOpen(false);
        sw.OnPortLost(handheld, PortError{8012, "handheld gone"});
        QCOMPARE(messages.shown.size(), std::size_t(1));
        QVERIFY(messages.shown[0].find("Communications port 1 cannot be \n") != std::string::npos);
        QVERIFY(!sw.RedirectionActive());
        QCOMPARE(status.status, std::string("STATUS:  OFF"));
    }

    void lostDeviceWithSettingsGoneStillSwitchesOff() {
        Rig rig;
        rig.sw.StartRedirection();
        rig.settings = Settings{}; // nothing configured in memory any more
        rig.handheld.forceOpen(false);
        rig.sw.OnPortLost(rig.handheld, PortError{8012, "gone"});
        QVERIFY(rig.messages.messages.empty());
        QVERIFY(!rig.sw.RedirectionActive());
        QVERIFY(!rig.modem.IsOpen());
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
    }
};

QTEST_APPLESS_MAIN(TestRedirectionSwitch)
#include "tst_redirectionswitch.moc"
