#include "core/redirectionswitch.h"
#include "tests/support/fakes.h"

#include <QTest>

using namespace loomway;
using namespace loomway::test;

namespace {
struct Rig {
    MemoryProfileFile file;
    Settings settings;
    FakeSerialPort handheld, modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch sw{file, settings, handheld, modem, lamps, messages, status};
    Rig(const std::string& source = "3", const std::string& destination = "4",
        const std::string& speed = "9600") {
        for (auto [section, key, value] : {std::tuple{"Source", "Port", source},
                                           {"Destination", "Port", destination},
                                           {"Common", "Speed", speed}}) {
            if (!value.empty()) {
                file.set(section, key, value);
            }
        }
        settings.SerialMethodOn = true;
    }
    std::string lampLog() const {
        std::string out;
        for (const auto& call : lamps.calls) {
            out += (call.lamp == Lamp::imgPWR ? "PWR " : "OnOff ") + call.code + ";";
        }
        return out;
    }
    std::string calls(const FakeSerialPort& port) const {
        std::string out;
        for (const auto& c : port.calls) {
            out += c + ";";
        }
        return out;
    }
};

const char* const kNoPort3 =
    "Communications port 3 cannot be\naccessed at this time.  Make sure\n"
    "no other devices are utilizing COM3\nand that you are using the correct port.";
} // namespace

class TestRedirectionSwitch : public QObject {
    Q_OBJECT
private slots:
    void switchOn_data() {
        QTest::addColumn<QString>("speed");
        QTest::addColumn<bool>("serial");
        QTest::addColumn<QString>("settings");
        QTest::newRow("9600") << "9600" << true << "9600,N,8,1";
        QTest::newRow("decimal") << "2400.6" << true << "2401,N,8,1";
        QTest::newRow("exponent") << "1.2e3" << true << "1200,N,8,1";
        QTest::newRow("serial method off: no modem") << "009600" << false << "9600,N,8,1";
    }
    void switchOn() {
        QFETCH(QString, speed);
        QFETCH(bool, serial);
        QFETCH(QString, settings);
        Rig rig("3", "4", speed.toStdString());
        rig.settings.SerialMethodOn = serial;
        rig.sw.StartRedirection();
        const std::string open = "SetSettings " + settings.toStdString() + ";Open;";
        QCOMPARE(rig.calls(rig.handheld), "SetPortNumber 3;" + open);
        QCOMPARE(rig.calls(rig.modem), serial ? "SetPortNumber 4;" + open : "");
        QCOMPARE(rig.lampLog(),
                 std::string(serial ? "PWR PON;PWR PON;OnOff ON;" : "PWR PON;OnOff ON;"));
        QCOMPARE(rig.status.status, std::string("STATUS:  ON"));
        QVERIFY(rig.sw.RedirectionActive() && rig.handheld.IsOpen() &&
                rig.messages.messages.empty());
        rig.lamps.calls.clear();
        rig.sw.ToggleRedirection();
        QVERIFY(!rig.handheld.IsOpen() && !rig.modem.IsOpen() && !rig.sw.RedirectionActive());
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
        QCOMPARE(QString::fromStdString(rig.lampLog()),
                 serial ? "PWR POFF;PWR POFF;OnOff OFF;PWR POFF;" : "PWR POFF;OnOff OFF;PWR POFF;");
    }

    // The message for each failure of the handheld port; the listed codes
    // switch redirection off, the others leave the switch as it was.
    void openFailures_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("switchesOff");
        QTest::newRow("8002") << 8002 << "x"
                              << "Port Error" << kNoPort3 << true;
        QTest::newRow("8005")
            << 8005 << "x"
            << "Port Error"
            << "Communications port 3 cannot be\naccessed at this time.  Make sure\n"
               "no other devices are utilizing COM3\nand try to connect again."
            << true;
        QTest::newRow("8012")
            << 8012 << "x"
            << "Verify Power/Connection"
            << "Communications port 3 cannot be \naccessed at this time.  Make sure \n"
               " that the device is powered on and properly\nconnected."
            << true;
        QTest::newRow("8018")
            << 8018 << "x"
            << "Port not Connected"
            << "It appears that one (or more) devices is\ncurrently in use by another program "
               "or not available\nPlease correct the conflicting (or missing) port."
            << true;
        QTest::newRow("70") << 70 << "Permission denied"
                            << "Port Error"
                            << "Error Number:  70-Error - Permission denied" << false;
    }
    void openFailures() {
        QFETCH(int, code);
        QFETCH(QString, description);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, switchesOff);
        Rig rig;
        rig.sw.SetRedirectionActive(true); // as the start-up preference "ON" leaves it
        rig.handheld.openError = PortError{code, description.toStdString()};
        rig.sw.StartRedirection();
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        const auto& m = rig.messages.messages[0];
        QCOMPARE(QString::fromStdString(m.title), title);
        QCOMPARE(QString::fromStdString(m.text), text);
        QVERIFY(m.icon == MessageIcon::Exclamation && m.buttons == MessageButtons::Ok);
        QVERIFY(rig.modem.calls.empty());
        QCOMPARE(rig.sw.RedirectionActive(), !switchesOff);
        QCOMPARE(QString::fromStdString(rig.lampLog()),
                 switchesOff ? "PWR PON;OnOff OFF;PWR POFF;" : "PWR PON;");
        QCOMPARE(rig.status.status, std::string(switchesOff ? "STATUS:  OFF" : ""));
    }

    // A modem that fails closes the handheld port again; the message names the modem's port.
    void modemFailure() {
        Rig rig("7", "3");
        rig.modem.openError = PortError{8002, "no such port"};
        rig.sw.StartRedirection();
        QCOMPARE(rig.messages.messages.at(0).text, std::string(kNoPort3));
        QCOMPARE(rig.calls(rig.handheld),
                 std::string("SetPortNumber 7;SetSettings 9600,N,8,1;Open;Close;"));
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
    }

    // Settings missing or not numbers: nothing at all when none is set,
    // else the error of the first value that fails, and the switch stays.
    void badSettings_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("text"); // empty: no message
        QTest::addColumn<bool>("handheldOpen");
        QTest::newRow("nothing") << ""
                                 << ""
                                 << ""
                                 << "" << false;
        QTest::newRow("no source") << ""
                                   << "2"
                                   << "9600"
                                   << "Error Number:  380-Error - Invalid property value" << false;
        QTest::newRow("no destination")
            << "1"
            << ""
            << "9600"
            << "Error Number:  380-Error - Invalid property value" << true;
        QTest::newRow("speed text") << "1"
                                    << "2"
                                    << "fast"
                                    << "Error Number:  13-Error - Type mismatch" << false;
        QTest::newRow("destination text") << "1"
                                          << "COM2"
                                          << "9600"
                                          << "Error Number:  13-Error - Type mismatch" << true;
        QTest::newRow("overflow") << "1"
                                  << "99999999999"
                                  << "9600"
                                  << "Error Number:  6-Error - Overflow" << true;
    }
    void badSettings() {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, speed);
        QFETCH(QString, text);
        QFETCH(bool, handheldOpen);
        Rig rig(source.toStdString(), destination.toStdString(), speed.toStdString());
        rig.sw.StartRedirection();
        QCOMPARE(rig.messages.messages.size(), std::size_t(text.isEmpty() ? 0 : 1));
        if (!text.isEmpty()) {
            QCOMPARE(rig.messages.messages[0].title, std::string("Port Error"));
            QCOMPARE(QString::fromStdString(rig.messages.messages[0].text), text);
        }
        QCOMPARE(rig.handheld.IsOpen(), handheldOpen);
        QVERIFY(!rig.modem.IsOpen() && !rig.sw.RedirectionActive());
        QCOMPARE(rig.status.updates, 0);
        if (handheldOpen) { // the stranded port is closed before the next attempt
            rig.file.set("Destination", "Port", "2");
            rig.handheld.calls.clear();
            rig.sw.StartRedirection();
            QCOMPARE(rig.calls(rig.handheld),
                     std::string("Close;SetPortNumber 1;SetSettings 9600,N,8,1;Open;"));
            QVERIFY(rig.sw.RedirectionActive());
        }
    }

    // A device lost while on is reported once and switches off.
    void lostDevice() {
        Rig rig("1", "2");
        rig.sw.StartRedirection();
        rig.modem.forceOpen(false);
        rig.sw.OnPortLost(rig.modem, PortError{8012, "gone"});
        rig.handheld.forceOpen(false);
        rig.sw.OnPortLost(rig.handheld, PortError{8012, "gone too"});
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        QCOMPARE(rig.messages.messages[0].title, std::string("Verify Power/Connection"));
        QVERIFY(rig.messages.messages[0].text.rfind("Communications port 2 cannot be \n", 0) == 0);
        QVERIFY(!rig.sw.RedirectionActive());
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
    }
};

QTEST_APPLESS_MAIN(TestRedirectionSwitch)
#include "tst_redirectionswitch.moc"
