#include "config/dialogs/lw_conf.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/fakes.h"

#include <QCheckBox>
#include <QTest>

using namespace loomway;
using namespace loomway::test;

namespace {

class NoDevices : public SerialDeviceList {
public:
    std::vector<SerialDevice> Devices() override { return {}; }
};

} // namespace

class TestReconnectBox : public QObject {
    Q_OBJECT
private slots:
    // The box shows [Ports] Reconnect; OK saves a change as "YES" or "NO".
    void showsAndSaves_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("click");
        QTest::addColumn<QString>("saved");
        QTest::newRow("absent, kept") << QString() << true << false << QString();
        QTest::newRow("absent, cleared") << QString() << true << true << "NO";
        QTest::newRow("NO, ticked") << "NO" << false << true << "YES";
        QTest::newRow("no, kept") << "no" << false << false << "no";
        QTest::newRow("YES, cleared") << "YES" << true << true << "NO";
    }
    void showsAndSaves() {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        QFETCH(bool, click);
        QFETCH(QString, saved);
        MemoryProfileFile file;
        file.set("Source", "Port", "1");
        file.set("Destination", "Port", "2");
        file.set("Common", "Speed", "9600");
        if (!stored.isNull()) {
            file.set("Ports", "Reconnect", stored.toStdString());
        }
        Settings settings;
        FakeSerialPort handheld, modem;
        RecordingLampPanel lamps;
        RecordingMessageBox messages;
        RecordingStatusPanel status;
        RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
        NoDevices devices;
        QWidget owner;
        LW_CONF dialog{file, settings, redirection, messages, devices, &owner};
        dialog.Open();
        auto* box = child<QCheckBox>(dialog, "chkReconnect");
        QVERIFY(box);
        QCOMPARE(box->isChecked(), checked);
        QCOMPARE(tabOrder(dialog, {"comSpeed", "chkReconnect", "cmdOK"}),
                 QStringList({"comSpeed", "chkReconnect", "cmdOK"}));
        if (click) {
            QTest::mouseClick(box, Qt::LeftButton);
        }
        QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(file.has("Ports", "Reconnect"), !saved.isNull());
        QCOMPARE(QString::fromStdString(ReadSetting(file, "Ports", "Reconnect")), saved);
    }
};

QTEST_MAIN(TestReconnectBox)
#include "tst_reconnectbox.moc"
