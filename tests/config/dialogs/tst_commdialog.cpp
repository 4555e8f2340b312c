#include "config/dialogs/lw_conf.h"
#include "core/redirectionswitch.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/fakes.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <memory>
#include <stdexcept>

using namespace loomway;
using namespace loomway::test;

namespace {

class FixedDevices : public SerialDeviceList {
public:
    std::vector<SerialDevice> Devices() override {
        ++calls;
        return devices;
    }
    std::vector<SerialDevice> devices = {
        {"/dev/ttyS0", ""}, {"/dev/ttyS1", ""}, {"/dev/ttyUSB0", "USB serial"}};
    int calls = 0;
};

// A settings file whose writes fail in an unexpected way.
class ThrowingProfileFile : public MemoryProfileFile {
public:
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override {
        if (throwAt >= 0 && static_cast<int>(writes.size()) == throwAt) {
            writes.push_back({section, key, value});
            throw std::runtime_error("disk full");
        }
        return MemoryProfileFile::WriteString(section, key, value);
    }
    int throwAt = -1;
};

struct Rig {
    ThrowingProfileFile file;
    Settings settings;
    FakeSerialPort handheld;
    FakeSerialPort modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
    FixedDevices devices;
    QWidget owner;
    LW_CONF dialog{file, settings, redirection, messages, devices, &owner};

    Rig() {
        owner.setWindowTitle(QStringLiteral("Palm Loomway by QUILLON"));
        owner.show();
    }
    void configure(const char* source, const char* destination, const char* speed) {
        file.set("Source", "Port", source);
        file.set("Destination", "Port", destination);
        file.set("Common", "Speed", speed);
    }
    QComboBox* box(const char* name) { return child<QComboBox>(dialog, name); }
    QString text(const char* name) { return box(name)->currentText(); }
    void ok() { QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton); }
    void cancel() { QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton); }
};

const char* const kInvalidText = "Ports specified cannot be the same.\n"
                                 "Please select a different COM\n"
                                 "port for each one specified.";

} // namespace

class TestCommDialog : public QObject {
    Q_OBJECT
private slots:
    void captionLabelsListsAndOrder() {
        Rig rig;
        rig.dialog.Open();
        QCOMPARE(rig.dialog.windowTitle(), QStringLiteral("Palm Loomway- Communication"));
        QVERIFY(!rig.dialog.isModal());

        const QString palmTip =
            QStringLiteral("This is the COM Port that the Cradle (or Ir Port) uses.");
        const QString modemTip = QStringLiteral("This is the COM Port that your Modem uses.");
        QCOMPARE(child<QLabel>(rig.dialog, "Label1")->text(), QStringLiteral("COM Port"));
        QCOMPARE(child<QLabel>(rig.dialog, "Label1")->toolTip(), palmTip);
        QCOMPARE(rig.box("comPP")->toolTip(), palmTip);
        QCOMPARE(child<QLabel>(rig.dialog, "lblMP")->text(), QStringLiteral("COM Port"));
        QCOMPARE(child<QLabel>(rig.dialog, "lblMP")->toolTip(), modemTip);
        QCOMPARE(rig.box("comMP")->toolTip(), modemTip);
        QCOMPARE(child<QLabel>(rig.dialog, "lblSpeed")->text(),
                 QStringLiteral("Speed for Both Ports"));
        QCOMPARE(child<QLabel>(rig.dialog, "lblSpeed")->toolTip(),
                 QStringLiteral("Speed in which the Modem and the Palm Device will Communicate."));
        QCOMPARE(rig.box("comSpeed")->toolTip(),
                 QStringLiteral(
                     "Speed in which the Palm Device and the Remote (Modem) will Communicate."));

        const QStringList ports = {"1", "2",  "3",  "4",  "5",  "6",  "7",  "8",
                                   "9", "10", "11", "12", "13", "14", "15", "16"};
        QCOMPARE(entries(rig.box("comPP")), ports);
        QCOMPARE(entries(rig.box("comMP")), ports);
        QCOMPARE(entries(rig.box("comSpeed")),
                 QStringList({"110", "300", "1200", "2400", "4800", "9600", "19200", "28800",
                              "38400", "57600", "115200"}));
        for (const char* name : {"comPP", "comMP", "comSpeed", "comPPDevice", "comMPDevice"}) {
            QVERIFY2(rig.box(name)->isEditable(), name);
        }

        QCOMPARE(tabOrder(rig.dialog, {"comPP", "comPPDevice", "comMP", "comMPDevice", "comSpeed",
                                       "cmdOK", "cmdCancel"}),
                 QStringList({"comPP", "comPPDevice", "comMP", "comMPDevice", "comSpeed", "cmdOK",
                              "cmdCancel"}));
        QVERIFY(buttonsAtTheBottom(rig.dialog));

        // Centred on the screen.
        const QRect screen = rig.dialog.screen()->geometry();
        QCOMPARE(rig.dialog.x(), screen.x() + (screen.width() - rig.dialog.width()) / 2);
        QCOMPARE(rig.dialog.y(), screen.y() + (screen.height() - rig.dialog.height()) / 2);

        // Filled again, not added to, at the next opening.
        rig.cancel();
        rig.dialog.Open();
        QCOMPARE(rig.box("comPP")->count(), 16);
        QCOMPARE(rig.box("comSpeed")->count(), 11);
    }

    // With no settings file: "1", "1", "19200"; OK says the ports are equal,
    // writes nothing and leaves the dialog open; Cancel then closes it.
    void noSettingsFile() {
        Rig rig;
        rig.dialog.Open();
        QCOMPARE(rig.text("comPP"), QStringLiteral("1"));
        QCOMPARE(rig.text("comMP"), QStringLiteral("1"));
        QCOMPARE(rig.text("comSpeed"), QStringLiteral("19200"));
        QCOMPARE(rig.settings.SourcePort, -1);

        rig.ok();
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        const auto& message = rig.messages.messages.front();
        QCOMPARE(message.title, std::string("Invalid Assignment"));
        QCOMPARE(message.text, std::string(kInvalidText));
        QCOMPARE(message.icon, MessageIcon::Exclamation);
        QCOMPARE(message.buttons, MessageButtons::Ok);
        QVERIFY(rig.file.writes.empty());
        QVERIFY(rig.dialog.isVisible());
        QVERIFY(!rig.owner.isEnabled());
        // The in-memory settings changed before the check.
        QCOMPARE(rig.settings.SourcePort, 1);
        QCOMPARE(rig.settings.DestinationPort, std::string("1"));
        QCOMPARE(rig.settings.CommonSpeed, std::string("19200"));
        // Nothing reached the ports or the switch.
        QVERIFY(rig.handheld.calls.empty());
        QVERIFY(rig.status.updates == 0);

        rig.cancel();
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.owner.isEnabled());
        QVERIFY(rig.file.writes.empty());
    }

    void storedValuesShown_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("shownPP");
        QTest::addColumn<QString>("shownMP");
        QTest::addColumn<QString>("shownSpeed");
        QTest::newRow("in the lists") << "2"
                                      << "5"
                                      << "9600"
                                      << "2"
                                      << "5"
                                      << "9600";
        QTest::newRow("outside the lists") << "20"
                                           << "17"
                                           << "14400"
                                           << "20"
                                           << "17"
                                           << "14400";
        QTest::newRow("leading digits") << "3x"
                                        << "07"
                                        << "57600 bps"
                                        << "3"
                                        << "07"
                                        << "57600";
        QTest::newRow("no digits") << "COM1"
                                   << "modem"
                                   << "fast"
                                   << "0"
                                   << "modem"
                                   << "0";
        QTest::newRow("only the speed") << ""
                                        << ""
                                        << "300"
                                        << "1"
                                        << "1"
                                        << "300";
    }
    void storedValuesShown() {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, speed);
        Rig rig;
        if (!source.isEmpty()) {
            rig.file.set("Source", "Port", source.toStdString());
        }
        if (!destination.isEmpty()) {
            rig.file.set("Destination", "Port", destination.toStdString());
        }
        rig.file.set("Common", "Speed", speed.toStdString());
        rig.dialog.Open();
        QTEST(rig.text("comPP"), "shownPP");
        QTEST(rig.text("comMP"), "shownMP");
        QTEST(rig.text("comSpeed"), "shownSpeed");
        QVERIFY(rig.file.writes.empty());
    }

    // Texts that differ but have one numeric value are the same port.
    void equalNumbersRejected_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("rejected");
        QTest::newRow("03 against 3") << "03" << true;
        QTest::newRow("3 against 3") << "3" << true;
        QTest::newRow("3abc against 3") << "3abc" << false; // no port number at all
        QTest::newRow("4 against 3") << "4" << false;
        QTest::newRow("30 against 3") << "30" << false;
    }
    void equalNumbersRejected() {
        QFETCH(QString, typed);
        QFETCH(bool, rejected);
        Rig rig;
        rig.configure("3", "4", "9600");
        rig.dialog.Open();
        typeInto(rig.box("comMP"), typed);
        QCOMPARE(rig.text("comMP"), typed);
        rig.ok();
        QCOMPARE(rig.dialog.isVisible(), rejected);
        QCOMPARE(rig.messages.messages.size(), std::size_t(rejected ? 1 : 0));
        if (rejected) {
            QVERIFY(rig.file.writes.empty());
        } else {
            QCOMPARE(ReadSetting(rig.file, "Destination", "Port"), typed.toStdString());
            QVERIFY(rig.owner.isEnabled());
        }
    }

    // OK writes the three texts as shown, in order, and closes; the in-memory
    // settings take the numbers.
    void okWritesTheThreeTexts() {
        Rig rig;
        rig.configure("1", "2", "19200");
        rig.dialog.Open();
        QVERIFY(!rig.owner.isEnabled());
        QVERIFY(rig.dialog.isEnabled());
        rig.box("comPP")->setCurrentIndex(2);
        typeInto(rig.box("comMP"), QStringLiteral("07"));
        rig.box("comSpeed")->setCurrentIndex(10);
        rig.ok();
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.owner.isEnabled());
        QVERIFY(rig.messages.messages.empty());
        QCOMPARE(rig.file.writes.size(), std::size_t(3));
        const std::vector<std::vector<std::string>> expected = {
            {"Source", "Port", "3"}, {"Destination", "Port", "07"}, {"Common", "Speed", "115200"}};
        for (std::size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(rig.file.writes[i].section, expected[i][0]);
            QCOMPARE(rig.file.writes[i].key, expected[i][1]);
            QCOMPARE(rig.file.writes[i].value, expected[i][2]);
        }
        QCOMPARE(rig.settings.SourcePort, 3);
        QCOMPARE(rig.settings.DestinationPort, std::string("7"));
        QCOMPARE(rig.settings.CommonSpeed, std::string("115200"));
        // Saving does not touch the ports.
        QVERIFY(rig.handheld.calls.empty());
        QVERIFY(rig.modem.calls.empty());

        // The next opening reads back what was written.
        rig.dialog.Open();
        QCOMPARE(rig.text("comPP"), QStringLiteral("3"));
        QCOMPARE(rig.text("comMP"), QStringLiteral("07"));
        QCOMPARE(rig.text("comSpeed"), QStringLiteral("115200"));
    }

    // Typing changes nothing in comPP and comSpeed; picking an entry does.
    void typingRefused() {
        Rig rig;
        rig.configure("2", "3", "9600");
        rig.dialog.Open();
        for (const char* name : {"comPP", "comSpeed"}) {
            QComboBox* box = rig.box(name);
            const QString before = box->currentText();
            box->setFocus();
            QTest::keyClicks(box, QStringLiteral("abc1"));
            QTest::keyClick(box, Qt::Key_Backspace);
            QTest::keyClick(box, Qt::Key_Delete);
            QTest::keyClicks(box->lineEdit(), QStringLiteral("xyz"));
            QCOMPARE(box->currentText(), before);
        }
        // The arrow keys pick the next entry.
        QTest::keyClick(rig.box("comSpeed"), Qt::Key_Down);
        QCOMPARE(rig.text("comSpeed"), QStringLiteral("19200"));
        QTest::keyClick(rig.box("comPP"), Qt::Key_Up);
        QCOMPARE(rig.text("comPP"), QStringLiteral("1"));
        // comMP takes typed text.
        typeInto(rig.box("comMP"), QStringLiteral("12"));
        QCOMPARE(rig.text("comMP"), QStringLiteral("12"));
    }

    void cancelAndCloseBoxWriteNothing_data() { addWaysOut(); }
    void cancelAndCloseBoxWriteNothing() {
        QFETCH(int, way);
        Rig rig;
        rig.configure("1", "2", "9600");
        rig.dialog.Open();
        QVERIFY(!rig.owner.isEnabled());
        rig.box("comPP")->setCurrentIndex(5);
        rig.box("comMPDevice")->setCurrentIndex(2);
        QVERIFY(leaveWithoutOk(rig.dialog, way));
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.owner.isEnabled());
        QVERIFY(rig.file.writes.empty());
        QVERIFY(rig.messages.messages.empty());
    }

    // The device lists show what the numbers stand for; a device picked for a
    // number is written to [Ports] and read back; the default writes nothing.
    void deviceMapping() {
        Rig rig;
        rig.configure("1", "2", "9600");
        rig.dialog.Open();
        QCOMPARE(rig.devices.calls, 1);
        QCOMPARE(entries(rig.box("comPPDevice")),
                 QStringList({"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0 \u2014 USB serial"}));
        QCOMPARE(rig.text("comPPDevice"), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(rig.text("comMPDevice"), QStringLiteral("/dev/ttyS1"));

        // Changing the number shows its device, in the list or not.
        rig.box("comMP")->setCurrentIndex(3);
        QCOMPARE(rig.text("comMPDevice"), QStringLiteral("/dev/ttyS3"));
        typeInto(rig.box("comMP"), QStringLiteral("2"));
        QCOMPARE(rig.text("comMPDevice"), QStringLiteral("/dev/ttyS1"));

        rig.box("comMPDevice")->setCurrentIndex(2);
        rig.ok();
        QVERIFY(!rig.dialog.isVisible());
        QCOMPARE(rig.file.writes.size(), std::size_t(4));
        QCOMPARE(rig.file.writes[3].section, std::string("Ports"));
        QCOMPARE(rig.file.writes[3].key, std::string("COM2"));
        QCOMPARE(rig.file.writes[3].value, std::string("/dev/ttyUSB0"));
        QCOMPARE(PortDevice(rig.file, 2), std::string("/dev/ttyUSB0"));
        QCOMPARE(PortDevice(rig.file, 1), std::string("/dev/ttyS0"));

        // Read back at the next opening; OK again writes only the three.
        rig.dialog.Open();
        QCOMPARE(rig.text("comMPDevice"), QStringLiteral("/dev/ttyUSB0 \u2014 USB serial"));
        rig.file.writes.clear();
        rig.ok();
        QCOMPARE(rig.file.writes.size(), std::size_t(3));

        // A typed device that Qt does not list; an emptied box restores the default.
        rig.dialog.Open();
        typeInto(rig.box("comPPDevice"), QStringLiteral("/tmp/pty-palm"));
        typeInto(rig.box("comMPDevice"), QString());
        rig.file.writes.clear();
        rig.ok();
        QCOMPARE(rig.file.writes.size(), std::size_t(5));
        QCOMPARE(rig.file.writes[3].key, std::string("COM1"));
        QCOMPARE(rig.file.writes[3].value, std::string("/tmp/pty-palm"));
        QCOMPARE(rig.file.writes[4].key, std::string("COM2"));
        QCOMPARE(rig.file.writes[4].value, std::string());
        QCOMPARE(PortDevice(rig.file, 1), std::string("/tmp/pty-palm"));
        QCOMPARE(PortDevice(rig.file, 2), std::string("/dev/ttyS1"));
        rig.dialog.Open();
        QCOMPARE(rig.text("comPPDevice"), QStringLiteral("/tmp/pty-palm"));
        QCOMPARE(rig.text("comMPDevice"), QStringLiteral("/dev/ttyS1"));
    }

    // Two numbers that stand for one device are the same port.
    void sameDeviceRejected() {
        Rig rig;
        rig.configure("1", "2", "9600");
        rig.file.set("Ports", "COM1", "/dev/ttyUSB0");
        rig.dialog.Open();
        QCOMPARE(rig.text("comPPDevice"), QStringLiteral("/dev/ttyUSB0 \u2014 USB serial"));
        rig.box("comMPDevice")->setCurrentIndex(2);
        rig.ok();
        QVERIFY(rig.dialog.isVisible());
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        QCOMPARE(rig.messages.messages[0].title, std::string("Invalid Assignment"));
        QVERIFY(rig.file.writes.empty());
    }

    void deviceEntryTexts() {
        QCOMPARE(DeviceEntryText({"/dev/ttyUSB0", "USB serial"}),
                 QStringLiteral("/dev/ttyUSB0 \u2014 USB serial"));
        QCOMPARE(DeviceEntryText({"/dev/ttyS0", ""}), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(DevicePathOfText(QStringLiteral("/dev/ttyUSB0 \u2014 USB serial")),
                 std::string("/dev/ttyUSB0"));
        QCOMPARE(DevicePathOfText(QStringLiteral("  /dev/pts/4  ")), std::string("/dev/pts/4"));
        QCOMPARE(DevicePathOfText(QString()), std::string());
    }

    // An unexpected failure while OK runs goes to ReportPortError; the dialog
    // stays open and the owner stays disabled.
    void unexpectedFailureReported() {
        Rig rig;
        rig.configure("1", "2", "9600");
        rig.file.throwAt = 1;
        rig.dialog.Open();
        rig.ok();
        QVERIFY(rig.dialog.isVisible());
        QVERIFY(!rig.owner.isEnabled());
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        QCOMPARE(rig.messages.messages[0].title, std::string("Port Error"));
        QCOMPARE(rig.messages.messages[0].text, std::string("Error Number:  0-Error - disk full"));
        QCOMPARE(rig.messages.messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(rig.file.writes.size(), std::size_t(2));

        rig.file.throwAt = -1;
        rig.ok();
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.owner.isEnabled());
    }

    // Opening an open dialog only brings it forward: what the user chose stays.
    void openWhileOpen() {
        Rig rig;
        rig.configure("1", "2", "9600");
        rig.dialog.Open();
        rig.box("comPP")->setCurrentIndex(4);
        rig.dialog.Open();
        QCOMPARE(rig.text("comPP"), QStringLiteral("5"));
        QCOMPARE(rig.devices.calls, 1);
        rig.cancel();
        QVERIFY(rig.owner.isEnabled());
    }

    // The dialog goes away with its open owner, or before it, without harm.
    void destroyedWhileOpen() {
        MemoryProfileFile file;
        Settings settings;
        FakeSerialPort handheld, modem;
        RecordingLampPanel lamps;
        RecordingMessageBox messages;
        RecordingStatusPanel status;
        RedirectionSwitch redirection(file, settings, handheld, modem, lamps, messages, status);
        FixedDevices devices;
        auto owner = std::make_unique<QWidget>();
        owner->show();
        auto* dialog = new LW_CONF(file, settings, redirection, messages, devices, owner.get());
        dialog->Open();
        QVERIFY(!owner->isEnabled());
        delete dialog;
        QVERIFY(owner->isEnabled());

        dialog = new LW_CONF(file, settings, redirection, messages, devices, owner.get());
        dialog->Open();
        owner.reset(); // takes the dialog with it
    }
};

QTEST_MAIN(TestCommDialog)
#include "tst_commdialog.moc"
