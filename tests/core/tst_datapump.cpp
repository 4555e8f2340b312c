#include "core/datapump.h"
#include "core/requestframer.h"
#include "tests/support/fakes.h"

#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace loomway;
using loomway::test::FakeSerialPort;
using loomway::test::LampName;
using loomway::test::RecordingLampPanel;
using loomway::test::RecordingTrafficView;

namespace {

const std::string kClip = "<LMW_C>c</LMW_C>";
const std::string kPrint = "<LMW_P>p</LMW_P>";

// An engine that frames its own requests, as the print and clipboard engines
// do, and records every chunk it was given into a log shared by both.
class RecordingEngine : public RequestEngine {
public:
    RecordingEngine(std::string name, std::string open, std::string close,
                    std::vector<std::string>& log)
        : m_name(std::move(name)), m_framer(std::move(open), std::move(close)), m_log(log) {}

    bool Redirect(const std::string& chunk) override {
        m_log.push_back(m_name + ":" + chunk);
        seen.push_back(chunk);
        auto request = m_framer.Feed(chunk);
        if (!request) {
            return false;
        }
        bodies.push_back(request->body);
        m_framer.SetBuffer(request->leftover);
        return true;
    }

    std::vector<std::string> seen;
    std::vector<std::string> bodies;

private:
    std::string m_name;
    RequestFramer m_framer;
    std::vector<std::string>& m_log;
};

// A port whose writes or reads fail, as a port does whose device went away.
class FailingPort : public FakeSerialPort {
public:
    void Write(const std::string& data) override {
        if (failWrite) {
            throw PortError{8020, "Error reading comm device"};
        }
        FakeSerialPort::Write(data);
    }
    std::string ReadAll() override {
        if (failRead) {
            throw PortError{8020, "Error reading comm device"};
        }
        return FakeSerialPort::ReadAll();
    }
    // Output the device has not taken yet, and its written event.
    std::size_t BytesToWrite() const override { return pending; }
    void SetWrittenHandler(std::function<void()> handler) override {
        written_handler = std::move(handler);
    }
    void take(std::size_t count) {
        pending -= std::min(pending, count);
        if (written_handler) {
            written_handler();
        }
    }
    bool failWrite = false;
    bool failRead = false;
    std::size_t pending = 0;
    std::function<void()> written_handler;
};

// The pump with both ports open and all three methods on.
struct Rig {
    Settings settings;
    FailingPort handheld;
    FailingPort modem;
    std::vector<std::string> log;
    RecordingEngine print{"print", "<LMW_P>", "</LMW_P>", log};
    RecordingEngine clip{"clip", "<LMW_C>", "</LMW_C>", log};
    RecordingTrafficView view;
    Traffic traffic{view};
    RecordingLampPanel lamps;
    DataPump pump{settings, handheld, modem, print, clip, traffic, lamps};

    Rig() {
        settings.SerialMethodOn = true;
        settings.PrintMethodOn = true;
        settings.ClipboardMethodOn = true;
        handheld.forceOpen(true);
        modem.forceOpen(true);
        handheld.SetReceiveHandler([this] { pump.OnHandheldData(); });
        modem.SetReceiveHandler([this] { pump.OnModemData(); });
    }
    std::vector<std::string> lampCalls() const {
        std::vector<std::string> out;
        for (const auto& call : lamps.calls) {
            out.push_back(LampName(call.lamp) + "=" + call.code);
        }
        return out;
    }
};

using Calls = std::vector<std::string>;

// Lamps and traffic in one log, to check their order within one event.
class Sequence : public LampPanel, public TrafficView {
public:
    void SetLamp(Lamp lamp, const std::string& code) override {
        calls.push_back(LampName(lamp) + "=" + code);
    }
    void ShowCounter(Counter counter, const std::string& label) override {
        calls.push_back((counter == Counter::BytesSent ? "S=" : "R=") + label);
    }
    void ShowPane(Pane pane, const std::string& text, bool) override {
        calls.push_back((pane == Pane::txtSend ? "txtSend=" : "txtReceive=") + text);
    }
    Calls calls;
};

} // namespace

class TestDataPump : public QObject {
    Q_OBJECT
private slots:
    void relaysBothWaysUnchanged() {
        Rig rig;
        std::string every;
        for (int b = 0; b < 256; ++b) {
            every += char(b);
        }
        rig.handheld.arrive("ATDT123\r");
        rig.handheld.arrive(every);
        rig.modem.arrive("CONNECT\r\n");
        rig.modem.arrive(std::string("\0\xff", 2));
        QCOMPARE(rig.modem.written, "ATDT123\r" + every);
        QCOMPARE(rig.modem.writes.size(), std::size_t(2));
        QCOMPARE(rig.handheld.written, std::string("CONNECT\r\n\0\xff", 11));
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), 8u + 256u);
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 11u);
        QCOMPARE(rig.view.labels[Counter::BytesSent], std::string("264"));
        QCOMPARE(rig.view.labels[Counter::BytesReceived], std::string("11"));
        QCOMPARE(rig.traffic.PaneText(Pane::txtSend), "ATDT123\r" + every);
        QCOMPARE(rig.traffic.PaneText(Pane::txtReceive), std::string("CONNECT\r\n\0\xff", 11));
        QCOMPARE(rig.handheld.BytesWaiting(), std::size_t(0));
        QCOMPARE(rig.modem.BytesWaiting(), std::size_t(0));
    }

    void lampsAndTrafficInOrder() {
        Rig rig;
        Sequence seq;
        Traffic traffic(seq);
        DataPump pump(rig.settings, rig.handheld, rig.modem, rig.print, rig.clip, traffic, seq);
        rig.handheld.SetReceiveHandler([&] { pump.OnHandheldData(); });
        rig.modem.SetReceiveHandler([&] { pump.OnModemData(); });

        rig.handheld.arrive("ab");
        QCOMPARE(seq.calls, (Calls{"imgSND=MON", "imgRCV=PDOFF", "S=2", "txtSend=ab"}));
        seq.calls.clear();
        rig.modem.arrive("xyz");
        QCOMPARE(seq.calls, (Calls{"R=3", "imgRCV=PDON", "imgSND=MOFF", "txtReceive=xyz"}));
        seq.calls.clear();
        // A consumed chunk lights no modem lamp but is counted and shown.
        rig.handheld.arrive(kClip);
        QCOMPARE(seq.calls, (Calls{"S=18", "txtSend=ab" + kClip}));
    }

    void methodSwitchesGateEachStep_data() {
        QTest::addColumn<bool>("serial");
        QTest::addColumn<bool>("print");
        QTest::addColumn<bool>("clip");
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<bool>("forwarded");
        QTest::addColumn<bool>("consumed");
        const QByteArray clip = QByteArray::fromStdString(kClip);
        const QByteArray print = QByteArray::fromStdString(kPrint);
        QTest::newRow("all on, data")
            << true << true << true << QByteArray("data") << true << false;
        QTest::newRow("all on, clipboard request") << true << true << true << clip << false << true;
        QTest::newRow("all on, print request") << true << true << true << print << false << true;
        QTest::newRow("clipboard off: its request is data")
            << true << true << false << clip << true << false;
        QTest::newRow("print off: its request is data")
            << true << false << true << print << true << false;
        QTest::newRow("serial off, data")
            << false << true << true << QByteArray("data") << false << false;
        QTest::newRow("serial off, request still handled")
            << false << false << true << clip << false << true;
        QTest::newRow("everything off") << false << false << false << clip << false << false;
    }
    void methodSwitchesGateEachStep() {
        QFETCH(bool, serial);
        QFETCH(bool, print);
        QFETCH(bool, clip);
        QFETCH(QByteArray, chunk);
        QFETCH(bool, forwarded);
        QFETCH(bool, consumed);
        Rig rig;
        rig.settings.SerialMethodOn = serial;
        rig.settings.PrintMethodOn = print;
        rig.settings.ClipboardMethodOn = clip;
        const std::string text = chunk.toStdString();
        rig.handheld.arrive(text);
        QCOMPARE(rig.modem.written, forwarded ? text : std::string());
        QCOMPARE(rig.pump.RequestConsumed(), consumed);
        QCOMPARE(rig.print.seen.size(), std::size_t(print ? 1 : 0));
        QCOMPARE(rig.clip.seen.size(), std::size_t(clip ? 1 : 0));
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), std::uint64_t(text.size()));
        QCOMPARE(rig.traffic.PaneText(Pane::txtSend), text);
        QCOMPARE(rig.lampCalls(), (forwarded ? Calls{"imgSND=MON", "imgRCV=PDOFF"} : Calls{}));

        // The modem side: forwarded only with the serial method on, always
        // read, counted and shown, and ignored while a request was consumed.
        rig.modem.arrive("reply");
        const bool read = !consumed;
        QCOMPARE(rig.handheld.written, serial && read ? std::string("reply") : std::string());
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), read ? 5u : 0u);
        QCOMPARE(rig.modem.BytesWaiting(), std::size_t(read ? 0 : 5));
    }

    // The switches are read at every event, not at start.
    void switchesAreReadAtEachEvent() {
        Rig rig;
        rig.handheld.arrive("one");
        rig.settings.SerialMethodOn = false;
        rig.handheld.arrive("two");
        rig.modem.arrive("back");
        rig.settings.SerialMethodOn = true;
        rig.settings.ClipboardMethodOn = false;
        rig.handheld.arrive(kClip);
        QCOMPARE(rig.modem.written, "one" + kClip);
        QVERIFY(rig.handheld.written.empty());
        QCOMPARE(rig.clip.seen, (std::vector<std::string>{"one", "two"}));
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 4u);
    }

    void printEngineRunsBeforeClipboardEngine() {
        Rig rig;
        const std::string both = kPrint + kClip;
        rig.handheld.arrive("x");
        rig.handheld.arrive(both);
        QCOMPARE(rig.log,
                 (std::vector<std::string>{"print:x", "clip:x", "print:" + both, "clip:" + both}));
        // One chunk completing both requests: both are handled, none forwarded.
        QCOMPARE(rig.print.bodies, (std::vector<std::string>{"p"}));
        QCOMPARE(rig.clip.bodies, (std::vector<std::string>{"c"}));
        QCOMPARE(rig.modem.written, std::string("x"));
        QVERIFY(rig.pump.RequestConsumed());
    }

    // The request split over three chunks: the first two are forwarded, the
    // completing one is not, and all three are counted and shown.
    void completingChunkIsNotForwarded() {
        Rig rig;
        rig.handheld.arrive("<LMW");
        QVERIFY(!rig.pump.RequestConsumed());
        rig.handheld.arrive("_C>hello</LMW_");
        QVERIFY(!rig.pump.RequestConsumed());
        rig.handheld.arrive("C>after");
        QVERIFY(rig.pump.RequestConsumed());
        QCOMPARE(rig.clip.bodies, (std::vector<std::string>{"hello"}));
        QCOMPARE(rig.modem.written, std::string("<LMW_C>hello</LMW_"));
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), 25u);
        QCOMPARE(rig.traffic.PaneText(Pane::txtSend), std::string("<LMW_C>hello</LMW_C>after"));

        // The next chunk clears the flag and is forwarded again.
        rig.handheld.arrive("more");
        QVERIFY(!rig.pump.RequestConsumed());
        QCOMPARE(rig.modem.written, std::string("<LMW_C>hello</LMW_more"));
    }

    // Modem data right after a request stays in the port until the handheld
    // sends again; then the modem's receive event is raised once more.
    void modemDataHeldBackThenRaisedAgain() {
        Rig rig;
        rig.handheld.arrive(kClip);
        rig.modem.arrive("late");
        rig.modem.arrive(" words");
        QCOMPARE(rig.modem.BytesWaiting(), std::size_t(10));
        QVERIFY(rig.handheld.written.empty());
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 0u);
        QCOMPARE(rig.modem.requeues, 0);

        rig.handheld.arrive("next");
        QVERIFY(!rig.pump.RequestConsumed());
        QCOMPARE(rig.modem.requeues, 1);
        // The queued event, when it runs, relays what waited.
        rig.modem.raiseReceive();
        QCOMPARE(rig.handheld.written, std::string("late words"));
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 10u);

        // Nothing waiting: nothing raised.
        rig.handheld.arrive("again");
        QCOMPARE(rig.modem.requeues, 1);
        // A handheld chunk that completes a request raises nothing either.
        rig.modem.arrive("x", false);
        rig.handheld.arrive(kPrint);
        QCOMPARE(rig.modem.requeues, 1);
        // An empty handheld event clears the flag and raises the held data.
        rig.handheld.raiseReceive();
        QVERIFY(!rig.pump.RequestConsumed());
        QCOMPARE(rig.modem.requeues, 2);
        // A closed modem port raises nothing.
        rig.handheld.arrive(kPrint);
        rig.modem.forceOpen(false);
        rig.handheld.arrive("y");
        QCOMPARE(rig.modem.requeues, 2);
    }

    void emptyEventChangesNothing() {
        Rig rig;
        rig.handheld.arrive(kClip);
        QVERIFY(rig.pump.RequestConsumed());
        rig.lamps.calls.clear();
        rig.handheld.raiseReceive();
        QVERIFY(!rig.pump.RequestConsumed());
        rig.modem.raiseReceive();
        QVERIFY(rig.lamps.calls.empty());
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), std::uint64_t(kClip.size()));
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 0u);
        QCOMPARE(rig.clip.seen.size(), std::size_t(1));
        QVERIFY(rig.modem.written.empty());
    }

    void paneLimitThroughThePump() {
        Rig rig;
        rig.handheld.arrive(std::string(1000, 'a'));
        QCOMPARE(rig.view.panes[Pane::txtSend], std::string(1000, 'a'));
        rig.handheld.arrive("b");
        QCOMPARE(rig.view.panes[Pane::txtSend], std::string());
        QCOMPARE(rig.view.labels[Counter::BytesSent], std::string("1001"));
        rig.modem.arrive(std::string(1001, 'm'));
        QCOMPARE(rig.view.panes[Pane::txtReceive], std::string());
        QCOMPARE(rig.view.labels[Counter::BytesReceived], std::string("1001"));
        QCOMPARE(rig.handheld.written.size(), std::size_t(1001));
        QCOMPARE(rig.modem.written.size(), std::size_t(1001));
    }

    // A forward to a port that is not open, or whose write fails, is dropped;
    // the chunk is still counted and shown and the next one goes through.
    void forwardsThatCannotBeWrittenAreDropped() {
        Rig rig;
        rig.modem.forceOpen(false);
        rig.handheld.arrive("lost");
        QVERIFY(rig.modem.written.empty());
        QVERIFY(rig.lamps.calls.empty());
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), 4u);
        QCOMPARE(rig.traffic.PaneText(Pane::txtSend), std::string("lost"));

        rig.modem.forceOpen(true);
        rig.modem.failWrite = true;
        rig.handheld.arrive("fail");
        QVERIFY(rig.modem.written.empty());
        QVERIFY(rig.lamps.calls.empty());
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), 8u);

        rig.handheld.failWrite = true;
        rig.modem.arrive("back");
        QVERIFY(rig.handheld.written.empty());
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 4u);
        QCOMPARE(rig.traffic.PaneText(Pane::txtReceive), std::string("back"));

        rig.modem.failWrite = false;
        rig.handheld.arrive("ok");
        QCOMPARE(rig.modem.written, std::string("ok"));
    }

    // A closed port's handler reads nothing; a failing read is no chunk.
    void closedOrFailingPortsAreLeftAlone() {
        Rig rig;
        rig.handheld.forceOpen(false);
        rig.handheld.arrive("held");
        QCOMPARE(rig.handheld.BytesWaiting(), std::size_t(4));
        rig.modem.forceOpen(false);
        rig.modem.arrive("held");
        QCOMPARE(rig.modem.BytesWaiting(), std::size_t(4));
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), 0u);
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 0u);
        QVERIFY(rig.print.seen.empty());

        rig.handheld.forceOpen(true);
        rig.handheld.failRead = true;
        rig.handheld.raiseReceive();
        QVERIFY(rig.print.seen.empty());
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), 0u);
        rig.handheld.failRead = false;
        rig.handheld.raiseReceive();
        QCOMPARE(rig.print.seen, (std::vector<std::string>{"held"}));
    }

    // A modem port that has not taken what it was given holds back the
    // handheld side: the event reads nothing and is raised again when the
    // backlog has fallen under half the limit.
    void modemBacklogHoldsBackTheHandheld() {
        Rig rig;
        rig.handheld.arrive(kClip);
        QVERIFY(rig.pump.RequestConsumed());
        rig.modem.pending = DataPump::kBacklogLimit + 1;
        rig.handheld.arrive("wait");
        QCOMPARE(rig.handheld.BytesWaiting(), std::size_t(4));
        QVERIFY(rig.pump.RequestConsumed());
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), std::uint64_t(kClip.size()));
        QCOMPARE(rig.clip.seen.size(), std::size_t(1));

        rig.modem.take(DataPump::kBacklogLimit / 2 - 10);
        QCOMPARE(rig.handheld.requeues, 0);
        rig.modem.take(20);
        QCOMPARE(rig.handheld.requeues, 1);
        rig.modem.take(20);
        QCOMPARE(rig.handheld.requeues, 1);
        rig.handheld.raiseReceive();
        QCOMPARE(rig.modem.written, std::string("wait"));
        QCOMPARE(rig.handheld.BytesWaiting(), std::size_t(0));
        QVERIFY(!rig.pump.RequestConsumed());

        // At the limit itself the chunk still goes.
        rig.modem.pending = DataPump::kBacklogLimit;
        rig.handheld.arrive("go");
        QCOMPARE(rig.modem.written, std::string("waitgo"));
    }

    void handheldBacklogHoldsBackTheModem() {
        Rig rig;
        rig.handheld.pending = DataPump::kBacklogLimit + 1;
        rig.modem.arrive("later");
        QCOMPARE(rig.modem.BytesWaiting(), std::size_t(5));
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 0u);
        QVERIFY(rig.lamps.calls.empty());
        // The handheld side itself is not held back by its own backlog.
        rig.handheld.arrive("up");
        QCOMPARE(rig.modem.written, std::string("up"));
        // That event raises the waiting modem data again, which still waits.
        QCOMPARE(rig.modem.requeues, 1);
        rig.modem.raiseReceive();
        QCOMPARE(rig.modem.BytesWaiting(), std::size_t(5));
        rig.handheld.take(DataPump::kBacklogLimit);
        QCOMPARE(rig.modem.requeues, 2);
        rig.modem.raiseReceive();
        QCOMPARE(rig.handheld.written, std::string("later"));
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 5u);
    }

    // Nothing is forwarded with the serial method off or to a closed port, so
    // a backlog there holds nothing back.
    void backlogMattersOnlyForForwarding() {
        Rig rig;
        rig.modem.pending = DataPump::kBacklogLimit * 4;
        rig.handheld.pending = DataPump::kBacklogLimit * 4;
        rig.settings.SerialMethodOn = false;
        rig.handheld.arrive("a");
        rig.modem.arrive("b");
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), 1u);
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 1u);
        rig.settings.SerialMethodOn = true;
        rig.modem.forceOpen(false);
        rig.handheld.arrive("c");
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), 2u);
        // A written event with nothing held back raises nothing.
        rig.modem.take(DataPump::kBacklogLimit * 4);
        QCOMPARE(rig.handheld.requeues, 0);
    }

    void pumpRemovesItsWrittenHandlers() {
        FailingPort handheld;
        FailingPort modem;
        {
            Settings settings;
            std::vector<std::string> log;
            RecordingEngine print("print", "<LMW_P>", "</LMW_P>", log);
            RecordingEngine clip("clip", "<LMW_C>", "</LMW_C>", log);
            RecordingTrafficView view;
            Traffic traffic(view);
            RecordingLampPanel lamps;
            DataPump pump(settings, handheld, modem, print, clip, traffic, lamps);
            QVERIFY(bool(handheld.written_handler));
            QVERIFY(bool(modem.written_handler));
        }
        QVERIFY(!handheld.written_handler);
        QVERIFY(!modem.written_handler);
    }

    void lampTimerTickTurnsTheActivityLampsOff() {
        RecordingLampPanel lamps;
        LampTimerTick(lamps);
        Calls calls;
        for (const auto& call : lamps.calls) {
            calls.push_back(LampName(call.lamp) + "=" + call.code);
        }
        QCOMPARE(calls, (Calls{"imgSND=MOFF", "imgRCV=PDOFF", "imgCLP=CLPOFF", "IMGPRT=PRTOFF"}));
    }
};

QTEST_GUILESS_MAIN(TestDataPump)
#include "tst_datapump.moc"
