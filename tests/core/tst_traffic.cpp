#include "core/traffic.h"
#include "tests/support/fakes.h"

#include <QTest>

#include <string>
#include <vector>

using loomway::Counter;
using loomway::Pane;
using loomway::Traffic;
using loomway::TrafficView;
using loomway::test::RecordingTrafficView;

namespace {

// Keeps every call in order, to check what the labels and panes showed when.
class OrderedTrafficView : public TrafficView {
public:
    void ShowCounter(Counter counter, const std::string& label) override {
        calls.push_back(std::string(counter == Counter::BytesSent ? "lblSNDbyt=" : "lblRCVByt=") +
                        label);
    }
    void ShowPane(Pane pane, const std::string& text, bool) override {
        calls.push_back(std::string(pane == Pane::txtSend ? "txtSend=" : "txtReceive=") + text);
    }
    std::vector<std::string> calls;
};

} // namespace

class TestTraffic : public QObject {
    Q_OBJECT
private slots:
    void countersAddAndShowPlainDecimal() {
        RecordingTrafficView view;
        Traffic traffic(view);
        QCOMPARE(traffic.Count(Counter::BytesSent), 0u);
        traffic.CountBytes(Counter::BytesSent, 5);
        traffic.CountBytes(Counter::BytesSent, 1048571);
        QCOMPARE(view.labels[Counter::BytesSent], std::string("1048576"));
        QCOMPARE(traffic.Count(Counter::BytesSent), 1048576u);
        QVERIFY(view.labels.count(Counter::BytesReceived) == 0);
        QCOMPARE(traffic.Count(Counter::BytesReceived), 0u);

        // A count of nothing still refreshes the label.
        traffic.CountBytes(Counter::BytesReceived, 0);
        QCOMPARE(view.labels[Counter::BytesReceived], std::string("0"));
    }

    // The counters are 64-bit: they pass the 32-bit limits without wrapping.
    void countersPassThirtyTwoBitLimits() {
        RecordingTrafficView view;
        Traffic traffic(view);
        traffic.CountBytes(Counter::BytesReceived, 2147483647u);
        QCOMPARE(view.labels[Counter::BytesReceived], std::string("2147483647"));
        traffic.CountBytes(Counter::BytesReceived, 1);
        QCOMPARE(view.labels[Counter::BytesReceived], std::string("2147483648"));
        traffic.CountBytes(Counter::BytesReceived, 4294967296u);
        QCOMPARE(view.labels[Counter::BytesReceived], std::string("6442450944"));
        QCOMPARE(traffic.Count(Counter::BytesReceived), 6442450944u);
    }

    void appendKeepsOrEmptiesThePane_data() {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("caretToEnd");
        QTest::newRow("990 + 10 stays at 1000") << 990 << 10 << 1000 << true;
        QTest::newRow("990 + 11 passes 1000") << 990 << 11 << 0 << true;
        QTest::newRow("990 + 20 passes 1000") << 990 << 20 << 0 << true;
        QTest::newRow("one chunk of 1000") << 0 << 1000 << 1000 << true;
        QTest::newRow("one chunk of 1001") << 0 << 1001 << 0 << true;
        QTest::newRow("1000 + 1") << 1000 << 1 << 0 << true;
        QTest::newRow("a single character keeps the caret") << 0 << 1 << 1 << false;
        QTest::newRow("two characters") << 1 << 1 << 2 << true;
        QTest::newRow("nothing onto nothing") << 0 << 0 << 0 << false;
    }
    void appendKeepsOrEmptiesThePane() {
        QFETCH(int, before);
        QFETCH(int, added);
        QFETCH(int, after);
        QFETCH(bool, caretToEnd);
        for (Pane pane : {Pane::txtSend, Pane::txtReceive}) {
            RecordingTrafficView view;
            Traffic traffic(view);
            const std::string old(before, 'a');
            const std::string text(added, 'b');
            if (before > 0) {
                traffic.AppendToPane(pane, old);
            }
            traffic.AppendToPane(pane, text);
            const std::string expected = after == 0 ? std::string() : old + text;
            QCOMPARE(traffic.PaneText(pane), expected);
            QCOMPARE(view.panes[pane], expected);
            QCOMPARE(view.caretAtEnd[pane], caretToEnd);
            const Pane other = pane == Pane::txtSend ? Pane::txtReceive : Pane::txtSend;
            QVERIFY(traffic.PaneText(other).empty());
            QVERIFY(view.panes.count(other) == 0);
        }
    }

    // After a pane was emptied, the next chunk is shown at its top.
    void emptiedPaneStartsOver() {
        RecordingTrafficView view;
        Traffic traffic(view);
        traffic.AppendToPane(Pane::txtReceive, std::string(995, 'x'));
        traffic.AppendToPane(Pane::txtReceive, "0123456789");
        QCOMPARE(view.panes[Pane::txtReceive], std::string());
        traffic.AppendToPane(Pane::txtReceive, "next");
        QCOMPARE(view.panes[Pane::txtReceive], std::string("next"));
        QCOMPARE(traffic.PaneText(Pane::txtReceive), std::string("next"));
    }

    // Every byte is one character: NUL and control bytes neither cut the text
    // nor change how the limit counts.
    void controlBytesArePlainCharacters() {
        RecordingTrafficView view;
        Traffic traffic(view);
        const std::string chunk("a\0b\r\n\x1b\xff\x80z", 9);
        traffic.AppendToPane(Pane::txtSend, chunk);
        traffic.AppendToPane(Pane::txtSend, std::string("\0", 1));
        QCOMPARE(view.panes[Pane::txtSend], chunk + std::string("\0", 1));
        QCOMPARE(view.panes[Pane::txtSend].size(), std::size_t(10));

        std::string nuls(990, '\0');
        traffic.AppendToPane(Pane::txtSend, nuls);
        QCOMPARE(view.panes[Pane::txtSend].size(), std::size_t(1000));
        traffic.AppendToPane(Pane::txtSend, std::string("\0", 1));
        QCOMPARE(view.panes[Pane::txtSend], std::string());
    }

    void clearPanesLeavesCounters() {
        OrderedTrafficView view;
        Traffic traffic(view);
        traffic.CountBytes(Counter::BytesSent, 7);
        traffic.CountBytes(Counter::BytesReceived, 9);
        traffic.AppendToPane(Pane::txtSend, "sent");
        traffic.AppendToPane(Pane::txtReceive, "got");
        view.calls.clear();
        traffic.ClearPanes();
        QCOMPARE(view.calls, (std::vector<std::string>{"txtSend=", "txtReceive="}));
        QVERIFY(traffic.PaneText(Pane::txtSend).empty());
        QVERIFY(traffic.PaneText(Pane::txtReceive).empty());
        QCOMPARE(traffic.Count(Counter::BytesSent), 7u);
        QCOMPARE(traffic.Count(Counter::BytesReceived), 9u);
    }

    // "Bytes" during traffic: labels show 0, the next chunk counts from 0,
    // the panes keep their text.
    void resetCountersLeavesPanes() {
        OrderedTrafficView view;
        Traffic traffic(view);
        traffic.CountBytes(Counter::BytesSent, 70);
        traffic.CountBytes(Counter::BytesReceived, 90);
        traffic.AppendToPane(Pane::txtSend, "sent");
        view.calls.clear();
        traffic.ResetCounters();
        QCOMPARE(view.calls, (std::vector<std::string>{"lblSNDbyt=0", "lblRCVByt=0"}));
        QCOMPARE(traffic.PaneText(Pane::txtSend), std::string("sent"));
        traffic.CountBytes(Counter::BytesSent, 3);
        QCOMPARE(view.calls.back(), std::string("lblSNDbyt=3"));
        QCOMPARE(traffic.Count(Counter::BytesReceived), 0u);
    }

    void resetBothEmptiesPanesThenCounters() {
        OrderedTrafficView view;
        Traffic traffic(view);
        traffic.CountBytes(Counter::BytesSent, 70);
        traffic.CountBytes(Counter::BytesReceived, 90);
        traffic.AppendToPane(Pane::txtSend, "sent");
        traffic.AppendToPane(Pane::txtReceive, "got");
        view.calls.clear();
        traffic.ResetBoth();
        QCOMPARE(view.calls, (std::vector<std::string>{"txtSend=", "txtReceive=", "lblSNDbyt=0",
                                                       "lblRCVByt=0"}));
        QCOMPARE(traffic.Count(Counter::BytesSent), 0u);
        QCOMPARE(traffic.Count(Counter::BytesReceived), 0u);
        QVERIFY(traffic.PaneText(Pane::txtSend).empty());
        traffic.AppendToPane(Pane::txtSend, "ab");
        QCOMPARE(traffic.PaneText(Pane::txtSend), std::string("ab"));
    }
};

QTEST_GUILESS_MAIN(TestTraffic)
#include "tst_traffic.moc"
