#include "core/traffic.h"
#include "tests/support/fakes.h"

#include <QTest>

using namespace loomway;

namespace {
// Every call in order, to check what the labels and panes showed when.
struct OrderedView : TrafficView {
    void ShowCounter(Counter c, const std::string& label) override {
        calls += (c == Counter::BytesSent ? "S=" : "R=") + label + ";";
    }
    void ShowPane(Pane p, const std::string& text, bool caret) override {
        calls += (p == Pane::txtSend ? "s=" : "r=") + text + (caret ? "|;" : ";");
    }
    std::string calls;
};
} // namespace

class TestTraffic : public QObject {
    Q_OBJECT
private slots:
    // 64-bit counters in plain decimal.
    void counters() {
        OrderedView view;
        Traffic traffic(view);
        traffic.CountBytes(Counter::BytesReceived, 2147483647u);
        traffic.CountBytes(Counter::BytesReceived, 4294967297u);
        traffic.CountBytes(Counter::BytesSent, 0);
        QCOMPARE(view.calls, std::string("R=2147483647;R=6442450944;S=0;"));
        QCOMPARE(traffic.Count(Counter::BytesReceived), 6442450944u);
    }

    // A pane keeps up to 1000 characters and empties when a chunk would pass
    // that; the caret goes to the end unless the text is one character.
    void paneLimit_data() {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("added");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<bool>("caret");
        QTest::newRow("990 + 10") << 990 << 10 << true << true;
        QTest::newRow("990 + 11") << 990 << 11 << false << true;
        QTest::newRow("0 + 1001") << 0 << 1001 << false << true;
        QTest::newRow("one character") << 0 << 1 << true << false;
        QTest::newRow("1 + 1") << 1 << 1 << true << true;
    }
    void paneLimit() {
        QFETCH(int, before);
        QFETCH(int, added);
        QFETCH(bool, kept);
        QFETCH(bool, caret);
        test::RecordingTrafficView view;
        Traffic traffic(view);
        const std::string old(before, '\0'), text(added, '\x1b'); // control bytes count as one
        if (before > 0) {
            traffic.AppendToPane(Pane::txtReceive, old);
        }
        traffic.AppendToPane(Pane::txtReceive, text);
        QCOMPARE(view.panes[Pane::txtReceive], kept ? old + text : std::string());
        QCOMPARE(view.caretAtEnd[Pane::txtReceive], caret);
        QCOMPARE(view.panes.count(Pane::txtSend), std::size_t(0));
        if (!kept) { // an emptied pane starts over with the next chunk
            traffic.AppendToPane(Pane::txtReceive, "next");
            QCOMPARE(traffic.PaneText(Pane::txtReceive), std::string("next"));
        }
    }

    // "Sniffer", "Bytes" and "Both" of the Clear menu.
    void clearing() {
        for (int what = 0; what < 3; ++what) {
            OrderedView view;
            Traffic traffic(view);
            traffic.CountBytes(Counter::BytesSent, 7);
            traffic.CountBytes(Counter::BytesReceived, 9);
            traffic.AppendToPane(Pane::txtSend, "ab");
            view.calls.clear();
            (what == 0   ? traffic.ClearPanes()
             : what == 1 ? traffic.ResetCounters()
                         : traffic.ResetBoth());
            const char* expected[] = {"s=;r=;", "S=0;R=0;", "s=;r=;S=0;R=0;"};
            QCOMPARE(view.calls, std::string(expected[what]));
            QCOMPARE(traffic.Count(Counter::BytesSent), what == 0 ? 7u : 0u);
            QCOMPARE(traffic.PaneText(Pane::txtSend), std::string(what == 1 ? "ab" : ""));
            traffic.CountBytes(Counter::BytesSent, 3);
            QCOMPARE(traffic.Count(Counter::BytesSent), what == 0 ? 10u : 3u);
        }
    }
};

QTEST_GUILESS_MAIN(TestTraffic)
#include "tst_traffic.moc"
