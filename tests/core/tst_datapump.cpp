// The request framing, the data pump between the two ports, the traffic
// counters and panes, and the lamps.
#include "core/datapump.h"
#include "core/noticeboard.h"
#include "core/requestframer.h"
#include "tests/support/fakeclock.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QTest>

#include <numeric>

using namespace loomway;
using namespace loomway::test;

namespace {
const std::string kClip = "<LMW_C>c</LMW_C>", kPrint = "<LMW_P>p</LMW_P>";
const std::string kOpen = "<LMW_C>", kClose = "</LMW_C>";

// Frames its own requests, as the real engines do, and logs every chunk.
struct RecordingEngine : RequestEngine {
    RecordingEngine(const char* name, std::string& log, std::string& bodies)
        : m_name(name), m_log(log), m_bodies(bodies),
          m_framer(std::string("<LMW_") + name[0] + ">", std::string("</LMW_") + name[0] + ">") {}
    Redirected Redirect(const std::string& chunk) override {
        m_log += m_name + ":" + chunk + ";";
        auto request = m_framer.Feed(chunk);
        if (!request) {
            return {};
        }
        m_bodies += m_name + " " + request->body + ",";
        m_framer.SetBuffer(request->leftover);
        return {true, request->tail};
    }
    std::string m_name;
    std::string& m_log;
    std::string& m_bodies;
    RequestFramer m_framer;
};

// A port whose device may fail, and may hold output not taken yet.
struct Port : FakeSerialPort {
    std::size_t BytesToWrite() const override { return pending; }
    void SetWrittenHandler(std::function<void()> h) override { onWritten = std::move(h); }
    void take(std::size_t n) {
        pending -= std::min(pending, n);
        onWritten();
    }
    std::size_t pending = 0;
    std::function<void()> onWritten;
};

// Lamps, counters and panes in one log, in order.
struct Sequence : LampPanel, TrafficView {
    void SetLamp(Lamp lamp, LampPicture picture) override {
        log += LampName(lamp) + "=" + PictureName(picture) + ";";
    }
    void ShowCounter(Counter c, const std::string& l) override {
        log += (c == Counter::Sent ? "S=" : "R=") + l + ";";
    }
    void ShowPane(Pane p, const std::string& t, bool) override {
        log += (p == Pane::Sent ? "s=" : "r=") + t + ";";
    }
    std::string log;
};

struct Rig {
    Settings settings;
    Port handheld, modem;
    std::string engines, bodies; // every chunk each engine saw; the requests completed
    RecordingEngine print{"P", engines, bodies}, clip{"C", engines, bodies};
    Sequence seq;
    Traffic traffic{seq};
    DataPump pump{settings, handheld, modem, print, clip, traffic, seq};
    Rig() {
        settings.SerialMethodOn = settings.PrintMethodOn = settings.ClipboardMethodOn = true;
        handheld.forceOpen(true);
        modem.forceOpen(true);
        handheld.SetReceiveHandler([this] { pump.OnHandheldData(); });
        modem.SetReceiveHandler([this] { pump.OnModemData(); });
    }
    std::string take() { return std::exchange(seq.log, std::string()); }
};
} // namespace

class TestDataPump : public QObject {
    Q_OBJECT
private slots:
    void frames_data() {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<int>("limit");
        auto row = [](const char* name, QByteArrayList chunks, QString trace,
                      QByteArray buffer = {}, int limit = RequestFramer::kMaxRequest) {
            QTest::newRow(name) << chunks << trace << buffer << limit;
        };
        row("split tags", {"<LMW", "_C>hi</LMW_", "C>"}, ". . [hi|]");
        row("two in one chunk", {"<LMW_C>a</LMW_C><LMW_C>b</LMW_C>", "z"},
            "[a|<LMW_C>b</LMW_C>] [b|z]");
        row("empty", {"<LMW_C>", "</LMW_C>"}, ". [|]");
        row("second opening is body", {"<LMW_C>a<LMW_C>b</LMW_C>"}, "[a<LMW_C>b|]");
        row("stray closing", {"x</LMW_C>y", "<LMW_C>z</LMW_C>"}, ". [z|]");
        row("broken opening", {"<LMW_", "x<LMW_C>y</LMW_C>"}, ". [y|]");
        row("letter case", {"<lmw_c>x</lmw_c>", "<LMW_P>x</LMW_P>"}, ". .");
        row("every byte", {QByteArray("\0\xff<LMW_C>\0\x80", 11), "</LMW_C>\x01"},
            QString(". [") + QChar(0) + QChar(0x80) + "|\x01]");
        row("kept beginning", {"data <LMW_"}, ".", "<LMW_");
        row("open request", {"junk<LMW_C>ab", "c</LMW"}, ". .", "<LMW_C>abc</LMW");
        row("body at the limit of 10", {"<LMW_C>0123456789", "</LMW_C>"}, ". [0123456789|]", {},
            10);
        row("over the limit: given up but for a tag's beginning",
            {"<LMW_C>0123456789a<LMW_", "C>ok</LMW_C>"}, ". [ok|]", {}, 10);
        row("over the limit in two chunks", {"<LMW_C>12345", "6789012345</LMW_C>z"},
            ". [123456789012345|z]", {}, 10);
    }
    void frames() {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QString, trace);
        QFETCH(QByteArray, buffer);
        QFETCH(int, limit);
        RequestFramer framer(kOpen, kClose, limit);
        // One entry per chunk: "." when no request completed, else "[body|leftover]";
        // the leftover is handed back to the framer, as the engines do.
        QStringList got;
        for (const QByteArray& chunk : chunks) {
            const auto request = framer.Feed(chunk.toStdString());
            got << (request ? "[" + QString::fromLatin1(request->body) + "|" +
                                  QString::fromLatin1(request->leftover) + "]"
                            : ".");
            if (request) {
                framer.SetBuffer(request->leftover);
            }
        }
        QCOMPARE(got.join(' '), trace);
        QCOMPARE(QByteArray::fromStdString(framer.Buffer()), buffer);
    }

    void relaysBothWays() {
        Rig rig;
        std::string every(256, '\0');
        std::iota(every.begin(), every.end(), '\0');
        rig.handheld.arrive(every);
        QCOMPARE(rig.take(), "ModemSend=ModemSendOn;Receive=ReceiveOff;S=256;s=" + every + ";");
        rig.modem.arrive(std::string("\0\xff", 2));
        QCOMPARE(rig.take(),
                 std::string("R=2;Receive=ReceiveOn;ModemSend=ModemSendOff;r=\0\xff;", 50));
        QCOMPARE(rig.modem.written + "|" + rig.handheld.written, every + std::string("|\0\xff", 3));
        // A consumed request lights no lamp but is counted and shown.
        rig.handheld.arrive(kClip);
        QCOMPARE(rig.take(), "S=272;s=" + every + kClip + ";");
        QCOMPARE(rig.engines, "P:" + every + ";C:" + every + ";P:" + kClip + ";C:" + kClip + ";");
        LampTimerTick(rig.seq); // every two seconds
        QCOMPARE(
            rig.take(),
            "ModemSend=ModemSendOff;Receive=ReceiveOff;Clipboard=ClipboardOff;Printer=PrinterOff;");
    }

    // Which engines see a handheld chunk, whether it goes on to the modem, and
    // whether the modem's answer comes back, by the three method switches.
    void methods_data() {
        addRows({"methods", "chunk", "engines", "forwarded", "back"},
                {{"all on, clip", "SPC", kClip.c_str(), "PC", "", ""},
                 {"clipboard off", "SP-", kClip.c_str(), "P", "yes", "ok"},
                 {"print off", "S-C", kPrint.c_str(), "C", "yes", "ok"},
                 {"serial off", "-PC", "d", "PC", "", ""}});
    }
    void methods() {
        const QString methods = cell("methods"), chunk = cell("chunk");
        Rig rig;
        rig.settings.SerialMethodOn = methods[0] == 'S';
        rig.settings.PrintMethodOn = methods[1] == 'P';
        rig.settings.ClipboardMethodOn = methods[2] == 'C';
        rig.handheld.pending = 1; // a reply still going out holds the modem after a request
        rig.handheld.arrive(chunk.toStdString());
        QString seen;
        for (const char* e : {"P", "C"}) {
            seen += rig.engines.find(std::string(e) + ":") != std::string::npos ? e : "";
        }
        QCOMPARE(seen, cell("engines"));
        QCOMPARE(QString::fromStdString(rig.modem.written),
                 cell("forwarded").isEmpty() ? "" : chunk);
        rig.modem.arrive("ok");
        QCOMPARE(QString::fromStdString(rig.handheld.written), cell("back"));
        // Held back only after a consumed request; always counted when read.
        const bool consumed = rig.pump.RequestConsumed();
        QCOMPARE(rig.traffic.Count(Counter::Received), consumed ? 0u : 2u);
        QCOMPARE(rig.modem.BytesWaiting(), std::size_t(consumed ? 2 : 0));
    }

    // What follows a request's closing tag in the chunk that completes it goes
    // on to the modem, and may begin the next request; the requests themselves
    // never do. Chunks are separated by "|"; every one is counted and shown.
    void afterTheClosingTag_data() {
        addRows({"chunks", "forwarded", "bodies"},
                {{"tail", "<LMW_C>c</LMW_C>tail", "tail", "C c"},
                 {"split request", "<LMW_C>h|i</LMW_C>after", "<LMW_C>hafter", "C hi"},
                 {"tail opens the next", "<LMW_C>a</LMW_C>x<LMW_C>b|</LMW_C>y", "x<LMW_C>by",
                  "C a,C b"},
                 {"two in one chunk", "<LMW_C>a</LMW_C><LMW_C>b</LMW_C>z|q", "zq", "C a,C b"},
                 {"print then clipboard", "<LMW_P>p</LMW_P><LMW_C>c</LMW_C>t", "t", "P p,C c"},
                 {"clipboard in the print's tail", "<LMW_P>p</LMW_P>u<LMW_C>c|</LMW_C>v",
                  "u<LMW_C>cv", "P p,C c"},
                 {"tag ends the chunk", "<LMW_C>c</LMW_C>", "", "C c"}});
    }
    void afterTheClosingTag() {
        Rig rig;
        const QString chunks = cell("chunks");
        for (const QString& chunk : chunks.split('|')) {
            rig.handheld.arrive(chunk.toStdString());
        }
        QCOMPARE(QString::fromStdString(rig.modem.written), cell("forwarded"));
        QCOMPARE(QString::fromStdString(rig.bodies).chopped(1), cell("bodies"));
        QCOMPARE(rig.traffic.Count(Counter::Sent),
                 std::uint64_t(chunks.size() - chunks.count('|')));
        QCOMPARE(QString::fromStdString(rig.traffic.PaneText(Pane::Sent)),
                 QString(chunks).remove('|'));
        QCOMPARE(rig.take().find("ModemSend=ModemSendOn") != std::string::npos,
                 !cell("forwarded").isEmpty());
    }

    // Modem data waits after a request until the handheld port has written
    // what it had to (the printer status reply), one second at most, or until
    // the handheld's next event, even one without bytes.
    void holdAfterRequest_data() {
        addRows({"unwritten", "taken", "ms", "event", "held"},
                {{"nothing to write", "0", "0", "0", "", ""},
                 {"reply going out", "5", "4", "999", "", "yes"},
                 {"reply written", "5", "5", "0", "", ""},
                 {"one second at most", "5", "0", "1000", "", ""},
                 {"the handheld's next event", "5", "0", "0", "yes", ""}});
    }
    void holdAfterRequest() {
        Rig rig;
        FakeClock timer;
        timer.onTimer = [&rig] { rig.pump.OnRequestHoldTimer(); };
        rig.pump.SetRequestHoldTimer(&timer);
        rig.handheld.pending = cell("unwritten").toInt();
        rig.handheld.arrive(kClip);
        rig.modem.arrive("late");
        rig.handheld.take(cell("taken").toInt());
        timer.Advance(cell("ms").toInt());
        if (!cell("event").isEmpty()) {
            rig.handheld.raiseReceive();
        }
        if (rig.modem.requeues > 0) {
            rig.modem.raiseReceive();
        }
        const bool held = !cell("held").isEmpty();
        QCOMPARE(rig.pump.ModemHeld(), held);
        QCOMPARE(rig.handheld.written, std::string(held ? "" : "late"));
    }

    // A forward that cannot be written is dropped, still counted and shown;
    // a closed port's event reads nothing.
    void failedForwardsAndClosedPorts() {
        Rig rig;
        rig.modem.writeError = {PortError::Code(8020), "Error reading comm device"};
        rig.handheld.arrive("fail");
        rig.modem.writeError = {};
        rig.modem.forceOpen(false);
        rig.handheld.arrive("lost");
        QCOMPARE(rig.take(), std::string("S=4;s=fail;S=8;s=faillost;"));
        rig.handheld.forceOpen(false);
        rig.handheld.arrive("held");
        QCOMPARE(rig.handheld.BytesWaiting(), std::size_t(4));
        rig.handheld.forceOpen(true);
        rig.modem.forceOpen(true);
        rig.handheld.raiseReceive();
        QCOMPARE(rig.modem.written, std::string("held"));
    }

    // A port whose device has not taken more than the limit holds back the
    // other side until it is under half the limit again.
    void backlog() {
        Rig rig;
        rig.modem.pending = DataPump::kBacklogLimit + 1;
        rig.handheld.arrive("wait");
        QCOMPARE(rig.handheld.BytesWaiting(), std::size_t(4));
        rig.modem.take(DataPump::kBacklogLimit / 2 - 10);
        QCOMPARE(rig.handheld.requeues, 0);
        rig.modem.take(20);
        QCOMPARE(rig.handheld.requeues, 1);
        rig.handheld.raiseReceive();
        rig.modem.pending = DataPump::kBacklogLimit; // at the limit it still goes
        rig.handheld.arrive("go");
        QCOMPARE(rig.modem.written, std::string("waitgo"));
        rig.handheld.pending = DataPump::kBacklogLimit + 1;
        rig.modem.arrive("later");
        QCOMPARE(rig.traffic.Count(Counter::Received), 0u);
        rig.handheld.take(DataPump::kBacklogLimit);
        QCOMPARE(rig.modem.requeues, 1);
        rig.modem.raiseReceive();
        QCOMPARE(rig.handheld.written, std::string("later"));
    }

    // A hold of five seconds or more shows in panel 2 with what is held, beside
    // the other notices there, until it ends.
    void longHoldNotice_data() {
        addRows({"for", "notice", "end"},
                {{"modem backlog", "modem", "the modem port: 66 KiB", "written"},
                 {"handheld device awaited", "handheld", "the handheld port: 100 bytes", "back"},
                 {"switched off", "modem", "the modem port: 66 KiB", "off"}});
    }
    void longHoldNotice() {
        Rig rig;
        const SerialPort* awaited = nullptr;
        rig.pump.HoldWhile([&awaited](const SerialPort& port) { return &port == awaited; });
        FakeClock timer;
        timer.onTimer = [&rig] { rig.pump.OnNoticeTimer(); };
        RecordingStatusPanel panel;
        NoticeBoard board(panel);
        board.AddPart().ShowNotice("Waiting for COM1 (/dev/x)");
        rig.pump.SetHoldNotice(&board.AddPart(), &timer);
        if (cell("for") == "modem") {
            rig.modem.pending = DataPump::kBacklogLimit + 1;
            rig.handheld.arrive(std::string(3000, 'h'));
        } else {
            awaited = &rig.handheld;
            rig.modem.arrive(std::string(100, 'm'));
        }
        timer.Advance(4999);
        QCOMPARE(panel.notice, std::string("Waiting for COM1 (/dev/x)"));
        timer.Advance(1);
        QCOMPARE(QString::fromStdString(panel.notice),
                 "Waiting for COM1 (/dev/x); Waiting for " + cell("notice") + " held");
        if (cell("end") == "written") {
            rig.modem.take(DataPump::kBacklogLimit);
        } else if (cell("end") == "back") {
            awaited = nullptr;
            rig.modem.raiseReceive();
        } else {
            rig.handheld.forceOpen(false);
            rig.modem.forceOpen(false);
            timer.Advance(1000);
        }
        QCOMPARE(panel.notice, std::string("Waiting for COM1 (/dev/x)"));
        QVERIFY(!timer.due);
    }

    // A pane keeps up to 1000 characters and empties when a chunk would pass
    // that; the caret goes to the end unless the text is one character.
    void paneLimit_data() {
        addRows({"before", "added", "kept", "caret"}, {{"990 + 10", "990", "10", "yes", "yes"},
                                                       {"990 + 11", "990", "11", "", "yes"},
                                                       {"one character", "0", "1", "yes", ""},
                                                       {"1 + 1", "1", "1", "yes", "yes"}});
    }
    void paneLimit() {
        const bool kept = !cell("kept").isEmpty();
        RecordingTrafficView view;
        Traffic traffic(view);
        // control bytes count as one character each
        const std::string old(cell("before").toInt(), '\0'), text(cell("added").toInt(), '\x1b');
        traffic.AppendToPane(Pane::Received, old);
        traffic.AppendToPane(Pane::Received, text);
        QCOMPARE(view.panes[Pane::Received], kept ? old + text : std::string());
        QCOMPARE(view.caretAtEnd[Pane::Received], !cell("caret").isEmpty());
        if (!kept) { // an emptied pane starts over with the next chunk
            traffic.AppendToPane(Pane::Received, "next");
            QCOMPARE(traffic.PaneText(Pane::Received), std::string("next"));
        }
    }

    // 64-bit counters in plain decimal; "Sniffer", "Bytes" and "Both" of the Clear menu.
    void countersAndClearing() {
        for (int what = 0; what < 3; ++what) {
            Sequence seq;
            Traffic traffic(seq);
            traffic.CountBytes(Counter::Sent, 0);
            traffic.CountBytes(Counter::Sent, 7);
            traffic.CountBytes(Counter::Received, 2147483647u);
            traffic.CountBytes(Counter::Received, 4294967297u);
            traffic.AppendToPane(Pane::Sent, "ab");
            QCOMPARE(std::exchange(seq.log, std::string()),
                     std::string("S=0;S=7;R=2147483647;R=6442450944;s=ab;"));
            (what == 0   ? traffic.ClearPanes()
             : what == 1 ? traffic.ResetCounters()
                         : traffic.ResetBoth());
            const char* expected[] = {"s=;r=;", "S=0;R=0;", "s=;r=;S=0;R=0;"};
            QCOMPARE(seq.log, std::string(expected[what]));
            QCOMPARE(traffic.PaneText(Pane::Sent), std::string(what == 1 ? "ab" : ""));
            traffic.CountBytes(Counter::Sent, 3);
            QCOMPARE(traffic.Count(Counter::Sent), what == 0 ? 10u : 3u);
        }
    }
};

QTEST_GUILESS_MAIN(TestDataPump)
#include "tst_datapump.moc"
