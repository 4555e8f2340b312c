#include "core/redirectionswitch.h"
#include "tests/support/fakes.h"

#include <QTest>

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
// Records the power lamp's blinking as "lit/dark" and panel 2 as the notice.
struct Panels : RecordingLampPanel, RecordingStatusPanel {
    void BlinkLamp(Lamp, const std::string& lit, const std::string& dark) override {
        calls.push_back({Lamp::imgPWR, lit + "/" + dark});
    }
    void ShowNotice(const std::string& text) override { notice = text; }
    std::string notice;
};

struct Rig {
    MemoryProfileFile file;
    Settings settings{3, "4", "9600", true, false, false};
    ReplugPort handheld, modem;
    Panels panels;
    RecordingMessageBox messages;
    Watcher watcher;
    RedirectionSwitch sw{file, settings, handheld, modem, panels, messages, panels};

    Rig() {
        file.set("Source", "Port", "3");
        file.set("Destination", "Port", "4");
        file.set("Common", "Speed", "9600");
        handheld.name = "/dev/cradle";
        modem.name = "/dev/modem";
        sw.SetDeviceWatcher(&watcher);
        sw.StartRedirection();
    }
    void lose(ReplugPort& port) {
        port.loseDevice({8012, "gone"});
        sw.OnPortLost(port, {8012, "gone"});
    }
    void back(ReplugPort& port) { watcher.watched.at(port.name)(); }
    std::string pwr() const { return panels.calls.back().code; }
};

} // namespace

class TestReconnection : public QObject {
    Q_OBJECT
private slots:
    // Both lost, no message; a device that refuses to open keeps its wait; the lamp blinks until
    // the last is back; the switch-off ends a wait; a port with no device name is lost as of old.
    void waitsAndResumes() {
        Rig rig;
        rig.lose(rig.handheld);
        rig.lose(rig.modem);
        QVERIFY(rig.sw.RedirectionActive() && rig.sw.Awaiting(rig.modem));
        QCOMPARE(rig.panels.notice,
                 std::string("Waiting for COM3 (/dev/cradle); COM4 (/dev/modem)"));
        rig.back(rig.modem);
        rig.handheld.openError = {8005, "probed by another program"};
        rig.back(rig.handheld);
        QCOMPARE(rig.panels.notice, std::string("Waiting for COM3 (/dev/cradle)"));
        QCOMPARE(rig.pwr(), std::string("PON/POFF"));

        rig.handheld.openError = {};
        rig.back(rig.handheld);
        QCOMPARE(rig.pwr(), std::string("PON"));
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
        QCOMPARE(rig.messages.messages.size(), std::size_t(1)); // the first message
        QVERIFY(!rig.sw.RedirectionActive() && !rig.modem.IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestReconnection)
#include "tst_reconnection.moc"
