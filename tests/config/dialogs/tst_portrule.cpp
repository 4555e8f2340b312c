// One rule for "the same port": the texts that the communication dialog lets
// through are the ports that the switch-on then opens.

#include "config/dialogs/lw_conf.h"
#include "core/redirectionswitch.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/fakes.h"

#include <QApplication>
#include <QTest>

#include <algorithm>

using namespace loomway;
using namespace loomway::test;

namespace {

class NoDevices : public SerialDeviceList {
public:
    std::vector<SerialDevice> Devices() override { return {}; }
};

} // namespace

class TestPortRule : public QObject {
    Q_OBJECT
private slots:
    // The modem box's text against "4" in the handheld box; -1: no port number.
    void dialogAndSwitchAgree_data() {
        QTest::addColumn<QString>("modemText");
        QTest::addColumn<int>("port");
        QTest::newRow("4") << "4" << 4;
        QTest::newRow("04 with blanks") << " 04 " << 4;
        QTest::newRow("3.9 rounds up") << "3.9" << 4;
        QTest::newRow("4.5 rounds to even") << "4.5" << 4;
        QTest::newRow("5.5 rounds to even") << "5.5" << 6;
        QTest::newRow("exponent") << "0.4e1" << 4;
        QTest::newRow("3.4") << "3.4" << 3;
        QTest::newRow("trailing letters") << "4abc" << -1;
        QTest::newRow("no digits") << "COM" << -1;
    }
    void dialogAndSwitchAgree() {
        QFETCH(QString, modemText);
        QFETCH(int, port);
        QCOMPARE(PortNumberOfText(modemText.toStdString()).value_or(-1), long(port));

        MemoryProfileFile file;
        file.set("Source", "Port", "4");
        file.set("Destination", "Port", "2");
        file.set("Common", "Speed", "9600");
        Settings settings;
        settings.SerialMethodOn = true;
        FakeSerialPort handheld;
        FakeSerialPort modem;
        RecordingLampPanel lamps;
        RecordingMessageBox messages;
        RecordingStatusPanel status;
        RedirectionSwitch redirection(file, settings, handheld, modem, lamps, messages, status);
        NoDevices devices;
        QWidget owner;
        owner.show();
        LW_CONF dialog(file, settings, redirection, messages, devices, &owner);
        dialog.Open();
        child<QComboBox>(dialog, "comMP")->setEditText(modemText);
        QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        if (port == 4) {
            QCOMPARE(messages.messages.size(), std::size_t(1));
            QCOMPARE(messages.messages[0].title, std::string("Invalid Assignment"));
            QCOMPARE(ReadSetting(file, "Destination", "Port"), std::string("2"));
            return;
        }
        QVERIFY(messages.messages.empty());
        QCOMPARE(ReadSetting(file, "Destination", "Port"), modemText.trimmed().toStdString());
        redirection.StartRedirection();
        if (port < 0) {
            QCOMPARE(messages.messages.size(), std::size_t(1));
            QVERIFY(!modem.IsOpen());
        } else {
            QVERIFY(modem.IsOpen());
            QCOMPARE(modem.PortNumber(), port);
            QCOMPARE(handheld.PortNumber(), 4);
        }
    }
};

QTEST_MAIN(TestPortRule)
#include "tst_portrule.moc"
