// The communication dialog: what it shows, the one rule for "the same port"
// that it shares with the switch-on, devices and network endpoints in [Ports],
// and how the boxes of all three settings dialogs are named for a screen reader.
#include "config/dialogs/lw_conf.h"
#include "config/dialogs/lw_met.h"
#include "config/dialogs/lw_prefs.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/testsupport.h"

#include <QAccessible>
#include <QScreen>

#include <stdexcept>

using namespace loomway;
using namespace loomway::test;

namespace {
// A settings file whose second write fails in an unexpected way, when asked.
struct File : MemoryProfileFile {
    bool WriteString(const std::string& s, const std::string& k, const std::string& v) override {
        if (throwOnSecond && writes.size() == 1) {
            writes.push_back({s, k, v});
            throw std::runtime_error("disk full");
        }
        return MemoryProfileFile::WriteString(s, k, v);
    }
    QString written() const {
        QStringList out;
        for (const auto& w : writes) {
            out << QString::fromStdString(w.section + " " + w.key + "=" + w.value);
        }
        return out.join("; ");
    }
    bool throwOnSecond = false;
};

struct Rig : SerialDeviceList {
    std::vector<SerialDevice> Devices() override {
        return {{"/dev/ttyS0", ""}, {"/dev/ttyS1", ""}, {"/dev/ttyUSB0", "USB serial"}};
    }
    File file;
    Settings settings;
    FakeSerialPort handheld, modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
    QWidget owner;
    LW_CONF dialog{file, settings, redirection, messages, *this, &owner};
    Rig(const char* source = "1", const char* destination = "2", const char* speed = "9600") {
        owner.show();
        for (auto [s, k, v] : {std::tuple{"Source", "Port", source},
                               {"Destination", "Port", destination},
                               {"Common", "Speed", speed}}) {
            if (*v) {
                file.set(s, k, v);
            }
        }
        dialog.Open();
    }
    QComboBox* box(const char* name) { return child<QComboBox>(dialog, name); }
    QString shown() {
        return QStringList{box("comPP")->currentText(), box("comMP")->currentText(),
                           box("comSpeed")->currentText()}
            .join(" ");
    }
};

struct Chooser : ProgramChooser {
    Result Choose(QWidget*, const QString&, const QString&) override {
        ++chosen;
        return {Outcome::Cancelled, {}};
    }
    int chosen = 0;
};
} // namespace

class TestCommDialog : public QObject {
    Q_OBJECT
private slots:
    void looks() {
        Rig rig;
        QCOMPARE(rig.dialog.windowTitle(), QString("Palm Loomway- Communication"));
        QVERIFY(!rig.dialog.isModal() && !rig.owner.isEnabled());
        const QString palm = "This is the COM Port that the Cradle (or Ir Port) uses.";
        const QString modem = "This is the COM Port that your Modem uses.";
        const QString speed = "Speed in which the Modem and the Palm Device will Communicate.";
        for (auto [name, text, tip] :
             {std::tuple{"Label1", "COM Port", palm},
              {"comPP", "", palm},
              {"picrmtprt", "Modem", QString()},
              {"lblMP", "COM Port", modem},
              {"comMP", "", modem},
              {"lblSpeed", "Speed for Both Ports", speed},
              {"comSpeed", "",
               "Speed in which the Palm Device and the Remote (Modem) will Communicate."}}) {
            QWidget* w = child(rig.dialog, name);
            QCOMPARE(w->toolTip(), tip);
            if (*text) {
                QCOMPARE(static_cast<QLabel*>(w)->text(), QString(text));
            }
        }
        QCOMPARE(entries(rig.box("comMP")).join(","),
                 QString("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16"));
        QCOMPARE(entries(rig.box("comSpeed")).join(","),
                 QString("110,300,1200,2400,4800,9600,19200,28800,38400,57600,115200"));
        const QStringList order{"comPP",    "comPPDevice", "comMP",    "comMPDevice",
                                "comSpeed", "cmdOK",       "cmdCancel"};
        QCOMPARE(tabOrder(rig.dialog, order), order);
        QCOMPARE(layoutFault(rig.dialog,
                             {{"Label1", "comPP"}, {"lblMP", "comMP"}, {"lblSpeed", "comSpeed"}}),
                 QString());
        const QRect screen = rig.dialog.screen()->geometry();
        QCOMPARE(rig.dialog.pos(),
                 screen.topLeft() + QPoint(screen.width() - rig.dialog.width(),
                                           screen.height() - rig.dialog.height()) /
                                        2);
        rig.dialog.close();
        rig.dialog.Open(); // filled again, not added to
        QCOMPARE(rig.box("comPP")->count(), 16);
        // The device lists: the machine's ports, then for the modem the examples.
        const QStringList modems = entries(rig.box("comMPDevice"));
        QCOMPARE(modems.size(), 7);
        QCOMPARE(modems[2], QStringLiteral("/dev/ttyUSB0 \u2014 USB serial"));
        QVERIFY(modems[3].startsWith(QStringLiteral("modem: \u2014 ")));
        QCOMPARE(entries(rig.box("comPPDevice")).size(), 3);
    }

    // What the boxes show of the stored texts.
    void shown_data() {
        addRows({"source", "destination", "speed", "shown"},
                {{"in the lists", "2", "5", "9600", "2 5 9600"},
                 {"outside", "20", "17", "14400", "20 17 14400"},
                 {"leading digits", "3x", "07", "57600 bps", "3 07 57600"},
                 {"no digits", "COM1", "modem", "fast", "0 modem 0"},
                 {"nothing stored", "", "", "", "1 1 19200"}});
    }
    void shown() {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, speed);
        QFETCH(QString, shown);
        Rig rig(qPrintable(source), qPrintable(destination), qPrintable(speed));
        QCOMPARE(rig.shown(), shown);
        QVERIFY(rig.file.writes.empty());
    }

    // Two texts with one number, or two numbers for one device, are one port:
    // OK then warns, writes nothing and stays open. Otherwise it writes the
    // texts as shown, takes their numbers and closes.
    void ok_data() {
        addRows(
            {"destination", "device", "written"},
            {{"same", "3", "", ""},
             {"03", "03", "", ""},
             {"same device", "4", "/dev/ttyUSB0", ""},
             {"30", "30", "", "Source Port=3; Destination Port=30; Common Speed=115200"},
             {"own device", "4", "/tmp/pty-b",
              "Source Port=3; Destination Port=4; Common Speed=115200; Ports COM4=/tmp/pty-b"}});
    }
    void ok() {
        QFETCH(QString, destination);
        QFETCH(QString, device);
        QFETCH(QString, written);
        Rig rig;
        rig.file.set("Ports", "COM3", "/dev/ttyUSB0");
        rig.dialog.Open();
        rig.box("comPP")->setCurrentIndex(2);
        typeInto(rig.box("comMP"), destination);
        if (!device.isEmpty()) {
            typeInto(rig.box("comMPDevice"), device);
        }
        rig.box("comSpeed")->setCurrentIndex(10);
        clickOk(rig.dialog);
        QCOMPARE(rig.dialog.isVisible(), written.isEmpty());
        QCOMPARE(rig.owner.isEnabled(), !written.isEmpty());
        QCOMPARE(rig.file.written(), written);
        if (written.isEmpty()) {
            QCOMPARE(rig.messages.messages.size(), std::size_t(1));
            QCOMPARE(rig.messages.messages[0].title, std::string("Invalid Assignment"));
            QCOMPARE(
                rig.messages.messages[0].text,
                std::string("Ports specified cannot be the same.\nPlease select a different COM\n"
                            "port for each one specified."));
        } else {
            QCOMPARE(rig.settings.DestinationPort, std::to_string(destination.toInt()));
            QVERIFY(rig.handheld.calls.empty());
            rig.dialog.Open(); // read back
            QCOMPARE(rig.shown(), "3 " + destination + " 115200");
            QVERIFY(rig.box("comPPDevice")->currentText().startsWith("/dev/ttyUSB0"));
        }
    }

    // The modem box's text against "4" in the handheld box; -1: no port
    // number. What OK lets through is what the switch-on then opens.
    void sameRuleAsTheSwitch_data() {
        addRows({"modemText", "port"}, {{"4", "4"},
                                        {"04 with blanks", " 04 ", "4"},
                                        {"3.9 rounds up", "3.9", "4"},
                                        {"4.5 rounds to even", "4.5", "4"},
                                        {"5.5 rounds to even", "5.5", "6"},
                                        {"exponent", "0.4e1", "4"},
                                        {"3.4", "3.4", "3"},
                                        {"trailing letters", "4abc", "-1"},
                                        {"no digits", "COM", "-1"}});
    }
    void sameRuleAsTheSwitch() {
        QFETCH(QString, modemText);
        QFETCH(QString, port);
        Rig rig("4");
        rig.settings.SerialMethodOn = true;
        rig.box("comMP")->setEditText(modemText);
        clickOk(rig.dialog);
        if (port == "4") {
            QCOMPARE(rig.messages.messages.at(0).title, std::string("Invalid Assignment"));
            QCOMPARE(ReadSetting(rig.file, "Destination", "Port"), std::string("2"));
            return;
        }
        QVERIFY(rig.messages.messages.empty());
        QCOMPARE(ReadSetting(rig.file, "Destination", "Port"), modemText.trimmed().toStdString());
        rig.redirection.StartRedirection();
        QCOMPARE(rig.messages.messages.size(), std::size_t(port == "-1"));
        QCOMPARE(rig.modem.IsOpen() ? rig.modem.PortNumber() : -1, port.toInt());
        QCOMPARE(rig.handheld.PortNumber(), 4);
    }

    // A picked example and a typed endpoint are saved in [Ports] and read back.
    void endpoints() {
        Rig rig;
        rig.box("comMPDevice")->setCurrentIndex(3);
        typeInto(rig.box("comPPDevice"), "telnet:bbs.example.org:23");
        clickOk(rig.dialog);
        QVERIFY(!rig.dialog.isVisible() && rig.messages.messages.empty());
        QCOMPARE(PortDevice(rig.file, 2), std::string("modem:"));
        QCOMPARE(PortDevice(rig.file, 1), std::string("telnet:bbs.example.org:23"));
        rig.dialog.Open();
        QCOMPARE(rig.box("comMPDevice")->currentIndex(), 3);
        QCOMPARE(rig.box("comPPDevice")->currentText(), QString("telnet:bbs.example.org:23"));
    }

    void badEndpointRefused_data() {
        addRows({"box", "text"}, {{"unknown scheme", "comMPDevice", "ftp:host:21"},
                                  {"no port", "comPPDevice", "tcp:localhost"},
                                  {"port out of range", "comMPDevice", "rfc2217:localhost:70000"}});
    }
    void badEndpointRefused() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        Rig rig;
        typeInto(rig.box(qPrintable(box)), text);
        clickOk(rig.dialog);
        QVERIFY(rig.dialog.isVisible() && rig.file.writes.empty());
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        const auto& message = rig.messages.messages.front();
        QCOMPARE(message.title, std::string("Invalid Device"));
        QCOMPARE(message.icon, MessageIcon::Exclamation);
        QVERIFY2(message.text.find("tcp:HOST:PORT") != std::string::npos, message.text.c_str());
    }

    void waysOut() {
        for (int way = 0; way < 3; ++way) {
            Rig rig;
            rig.box("comPP")->setCurrentIndex(5);
            leaveWithoutOk(rig.dialog, way);
            QVERIFY(!rig.dialog.isVisible() && rig.owner.isEnabled() && rig.file.writes.empty());
        }
    }

    // Typing is refused in the handheld's and the speed box; arrows pick.
    void typingRefused() {
        Rig rig;
        for (const char* name : {"comPP", "comSpeed"}) {
            QTest::keyClicks(rig.box(name), "abc1");
            QTest::keyClicks(rig.box(name)->lineEdit(), "x");
        }
        QTest::keyClick(rig.box("comSpeed"), Qt::Key_Down);
        QCOMPARE(rig.shown(), QString("1 2 19200"));
    }

    // An unexpected failure during OK is reported; the dialog stays open.
    void unexpectedFailure() {
        Rig rig;
        rig.file.throwOnSecond = true;
        clickOk(rig.dialog);
        QVERIFY(rig.dialog.isVisible() && !rig.owner.isEnabled());
        QCOMPARE(rig.messages.messages.at(0).text,
                 std::string("Error Number:  0-Error - disk full"));
        rig.file.throwOnSecond = false;
        clickOk(rig.dialog);
        QVERIFY(!rig.dialog.isVisible());
    }

    // Every box of the three settings dialogs has its label as buddy, so a
    // screen reader names it; the program box is worked from the keyboard.
    void boxesNamedByTheirLabels() {
        Rig rig;
        Chooser chooser;
        LW_Met methods{rig.file, rig.settings, rig.redirection, rig.messages, &rig.owner};
        LW_PREFS prefs{rig.file, rig.settings, chooser, &rig.owner};
        for (auto [dialog, count] :
             {std::pair<QDialog*, int>{&rig.dialog, 5}, {&methods, 3}, {&prefs, 4}}) {
            const auto boxes = dialog->findChildren<QComboBox*>();
            QCOMPARE(boxes.size(), count);
            for (QComboBox* box : boxes) {
                const auto labelledBy =
                    QAccessible::queryAccessibleInterface(box)->relations(QAccessible::Label);
                QCOMPARE(labelledBy.size(), 1);
                auto* label = qobject_cast<QLabel*>(labelledBy.first().first->object());
                QVERIFY2(label != nullptr && label->buddy() == box, qPrintable(box->objectName()));
            }
        }
        rig.dialog.close();
        prefs.Open();
        auto* start = child<QLabel>(prefs, "lblStart");
        QCOMPARE(child<QLabel>(prefs, "Label2")->buddy(), start);
        QWidget* next = child(prefs, "comCloseApp")->nextInFocusChain();
        while (next->parentWidget() == child(prefs, "comCloseApp")) { // the box's own line
            next = next->nextInFocusChain();
        }
        QCOMPARE(next, start);
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_A}) {
            QTest::keyClick(start, key);
        }
        QCOMPARE(chooser.chosen, 2);
    }
};

QTEST_MAIN(TestCommDialog)
#include "tst_commdialog.moc"
