// The communication dialog's device boxes with network endpoints and the
// built-in modem: offered, typed, checked at OK, saved in [Ports].
#include "config/dialogs/lw_conf.h"
#include "core/redirectionswitch.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/fakes.h"

#include <QTest>

using namespace loomway;
using namespace loomway::test;

namespace {

class OneDevice : public SerialDeviceList {
public:
    std::vector<SerialDevice> Devices() override { return {{"/dev/ttyUSB0", "USB serial"}}; }
};

struct Rig {
    MemoryProfileFile file;
    Settings settings;
    FakeSerialPort handheld;
    FakeSerialPort modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
    OneDevice devices;
    QWidget owner;
    LW_CONF dialog{file, settings, redirection, messages, devices, &owner};

    Rig() {
        file.set("Source", "Port", "1");
        file.set("Destination", "Port", "2");
        file.set("Common", "Speed", "9600");
        owner.show();
        dialog.Open();
    }
    QComboBox* box(const char* name) { return child<QComboBox>(dialog, name); }
    void ok() { QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton); }
};

} // namespace

class TestCommDialogEndpoints : public QObject {
    Q_OBJECT
private slots:
    void modemExamplesPickedAndReadBack() {
        Rig rig;
        const QStringList modemList = entries(rig.box("comMPDevice"));
        QCOMPARE(modemList.size(), 5);
        QCOMPARE(modemList.first(), QStringLiteral("/dev/ttyUSB0 \u2014 USB serial"));
        QVERIFY(modemList[1].startsWith(QStringLiteral("modem: \u2014 ")));
        QCOMPARE(entries(rig.box("comPPDevice")).size(), 1);

        rig.box("comMPDevice")->setCurrentIndex(1);
        typeInto(rig.box("comPPDevice"), QStringLiteral("telnet:bbs.example.org:23"));
        rig.ok();
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.messages.messages.empty());
        QCOMPARE(PortDevice(rig.file, 2), std::string("modem:"));
        QCOMPARE(PortDevice(rig.file, 1), std::string("telnet:bbs.example.org:23"));

        rig.dialog.Open();
        QCOMPARE(rig.box("comMPDevice")->currentIndex(), 1);
        QCOMPARE(rig.box("comPPDevice")->currentText(),
                 QStringLiteral("telnet:bbs.example.org:23"));
    }

    void badFormRefusedAtOk_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::newRow("unknown scheme") << "comMPDevice"
                                        << "ftp:host:21";
        QTest::newRow("no port") << "comPPDevice"
                                 << "tcp:localhost";
        QTest::newRow("port out of range") << "comMPDevice"
                                           << "rfc2217:localhost:70000";
    }
    void badFormRefusedAtOk() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        Rig rig;
        typeInto(rig.box(box.toLatin1().constData()), text);
        rig.ok();
        QVERIFY(rig.dialog.isVisible());
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        const auto& message = rig.messages.messages.front();
        QCOMPARE(message.title, std::string("Invalid Device"));
        QCOMPARE(message.icon, MessageIcon::Exclamation);
        QVERIFY2(message.text.find("tcp:HOST:PORT") != std::string::npos, message.text.c_str());
        QVERIFY(rig.file.writes.empty());
    }
};

QTEST_MAIN(TestCommDialogEndpoints)
#include "tst_commdialog_endpoints.moc"
