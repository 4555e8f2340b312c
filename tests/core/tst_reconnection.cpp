#include "core/datapump.h"
#include "core/redirectionswitch.h"
#include "tests/support/reconnectfakes.h"

#include <QTest>

using namespace loomway;
using namespace loomway::test;

namespace {

const std::string kCradle = "/dev/serial/by-id/usb-Cradle-if00";
const std::string kModem = "/dev/serial/by-id/usb-Modem-if00";

struct Rig {
    MemoryProfileFile file;
    Settings settings;
    ReplugPort handheld;
    ReplugPort modem;
    BlinkRecordingLamps lamps;
    RecordingMessageBox messages;
    NoticeRecordingStatus status;
    FakeDeviceWatcher watcher;
    RedirectionSwitch sw{file, settings, handheld, modem, lamps, messages, status};

    Rig() {
        file.set("Source", "Port", "3");
        file.set("Destination", "Port", "4");
        file.set("Common", "Speed", "9600");
        settings.SerialMethodOn = true;
        handheld.deviceName = kCradle;
        modem.deviceName = kModem;
        sw.SetDeviceWatcher(&watcher);
        sw.StartRedirection();
    }
};

class SilentEngine : public RequestEngine {
public:
    bool Redirect(const std::string&) override { return false; }
};

} // namespace

class TestReconnection : public QObject {
    Q_OBJECT
private slots:
    // Which losses are waited for, and what the user sees either way.
    void lossIsWaitedFor_data() {
        QTest::addColumn<QString>("reconnect");
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("watcher");
        QTest::addColumn<bool>("waits");
        QTest::newRow("absent") << QString() << QString::fromStdString(kCradle) << true << true;
        QTest::newRow("YES") << "YES" << QString::fromStdString(kCradle) << true << true;
        QTest::newRow("other text") << "maybe" << QString::fromStdString(kCradle) << true << true;
        QTest::newRow("NO") << "NO" << QString::fromStdString(kCradle) << true << false;
        QTest::newRow("no, lower case") << "no" << QString::fromStdString(kCradle) << true << false;
        QTest::newRow("no device name") << "YES" << QString() << true << false;
        QTest::newRow("no watcher") << "YES" << QString::fromStdString(kCradle) << false << false;
    }
    void lossIsWaitedFor() {
        QFETCH(QString, reconnect);
        QFETCH(QString, device);
        QFETCH(bool, watcher);
        QFETCH(bool, waits);
        Rig rig;
        if (!reconnect.isNull()) {
            rig.file.set("Ports", "Reconnect", reconnect.toStdString());
        }
        rig.handheld.deviceName = device.toStdString();
        if (!watcher) {
            rig.sw.SetDeviceWatcher(nullptr);
        }
        rig.handheld.loseDevice({8012, "gone"});
        rig.sw.OnPortLost(rig.handheld, {8012, "gone"});

        QCOMPARE(rig.sw.RedirectionActive(), waits);
        QCOMPARE(rig.sw.Awaiting(rig.handheld), waits);
        QCOMPARE(rig.modem.IsOpen(), waits);
        if (waits) {
            QVERIFY(rig.messages.messages.empty());
            QVERIFY(rig.watcher.watched.count(kCradle));
            QCOMPARE(rig.status.notice, "Waiting for COM3 (" + kCradle + ")");
            QCOMPARE(rig.lamps.last(Lamp::imgPWR), std::string("blink PON/POFF"));
            QCOMPARE(rig.status.status, std::string("STATUS:  ON"));
        } else {
            QCOMPARE(rig.messages.messages.size(), std::size_t(1));
            QCOMPARE(rig.messages.messages[0].title, std::string("Verify Power/Connection"));
            QVERIFY(rig.watcher.watched.empty());
            QCOMPARE(rig.lamps.last(Lamp::imgPWR), std::string("POFF"));
        }
    }

    // A device back but not ready yet keeps the wait; once it opens, the
    // relay resumes and the other port's held bytes are raised again.
    void returnReopensThePort() {
        Rig rig;
        rig.handheld.loseDevice({8012, "gone"});
        rig.sw.OnPortLost(rig.handheld, {8012, "gone"});
        const int requeues = rig.modem.requeues;

        rig.handheld.openError = {8005, "held by another program"};
        rig.watcher.fire(kCradle);
        QVERIFY(rig.sw.Awaiting(rig.handheld));
        QVERIFY(rig.watcher.watched.count(kCradle));
        QVERIFY(rig.messages.messages.empty());

        rig.handheld.openError = {};
        rig.watcher.fire(kCradle);
        QVERIFY(rig.handheld.IsOpen());
        QCOMPARE(rig.handheld.calls.back(), std::string("Open"));
        QCOMPARE(rig.handheld.calls[rig.handheld.calls.size() - 2], std::string("Reopen"));
        QVERIFY(!rig.sw.Awaiting(rig.handheld));
        QVERIFY(rig.watcher.watched.empty());
        QCOMPARE(rig.status.notice, std::string());
        QCOMPARE(rig.lamps.last(Lamp::imgPWR), std::string("PON"));
        QCOMPARE(rig.modem.requeues, requeues + 1);
        QVERIFY(rig.messages.messages.empty());
    }

    // Both devices lost: both named; the lamp blinks until the last is back.
    void bothLost() {
        Rig rig;
        rig.handheld.loseDevice({8012, "gone"});
        rig.sw.OnPortLost(rig.handheld, {8012, "gone"});
        rig.modem.loseDevice({8012, "gone"});
        rig.sw.OnPortLost(rig.modem, {8012, "gone"});
        QCOMPARE(rig.status.notice, "Waiting for COM3 (" + kCradle + "); COM4 (" + kModem + ")");
        rig.watcher.fire(kModem);
        QCOMPARE(rig.status.notice, "Waiting for COM3 (" + kCradle + ")");
        QCOMPARE(rig.lamps.last(Lamp::imgPWR), std::string("blink PON/POFF"));
        rig.watcher.fire(kCradle);
        QCOMPARE(rig.lamps.last(Lamp::imgPWR), std::string("PON"));
        QVERIFY(rig.handheld.IsOpen() && rig.modem.IsOpen());
    }

    // The user's switch-off ends the wait; a late return opens nothing.
    void switchOffEndsTheWait() {
        Rig rig;
        rig.modem.loseDevice({8012, "gone"});
        rig.sw.OnPortLost(rig.modem, {8012, "gone"});
        auto late = rig.watcher.watched.at(kModem);
        rig.sw.ToggleRedirection();
        QVERIFY(!rig.sw.RedirectionActive());
        QCOMPARE(rig.watcher.forgotten, std::vector<std::string>{kModem});
        QCOMPARE(rig.status.notice, std::string());
        QCOMPARE(rig.lamps.last(Lamp::imgPWR), std::string("POFF"));
        late();
        QVERIFY(!rig.modem.IsOpen() && !rig.handheld.IsOpen());
        QVERIFY(rig.messages.messages.empty());
    }

    // While one port's device is awaited, what arrives on the other stays
    // there: nothing is read, forwarded or dropped, until the port is back.
    void otherPortHoldsItsBytes_data() {
        QTest::addColumn<bool>("modemLost");
        QTest::newRow("modem lost") << true;
        QTest::newRow("handheld lost") << false;
    }
    void otherPortHoldsItsBytes() {
        QFETCH(bool, modemLost);
        Rig rig;
        SilentEngine print, clipboard;
        RecordingTrafficView view;
        Traffic traffic(view);
        DataPump pump(rig.settings, rig.handheld, rig.modem, print, clipboard, traffic, rig.lamps);
        pump.HoldWhile([&rig](const SerialPort& port) { return rig.sw.Awaiting(port); });
        rig.handheld.SetReceiveHandler([&pump] { pump.OnHandheldData(); });
        rig.modem.SetReceiveHandler([&pump] { pump.OnModemData(); });
        ReplugPort& lost = modemLost ? rig.modem : rig.handheld;
        ReplugPort& source = modemLost ? rig.handheld : rig.modem;

        lost.loseDevice({8012, "gone"});
        rig.sw.OnPortLost(lost, {8012, "gone"});
        source.arrive("held");
        source.arrive("+more");
        QCOMPARE(source.BytesWaiting(), std::size_t(9));
        QCOMPARE(traffic.Count(Counter::BytesSent) + traffic.Count(Counter::BytesReceived),
                 std::uint64_t(0));

        rig.watcher.fire(lost.deviceName);
        QVERIFY(source.requeues > 0);
        source.raiseReceive(); // the requeued event
        QCOMPARE(lost.written, std::string("held+more"));
        QCOMPARE(source.BytesWaiting(), std::size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestReconnection)
#include "tst_reconnection.moc"
