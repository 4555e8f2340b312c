// The traffic monitor: its cells, rows, search, dump and window.
#include "capture/chunkstore.h"
#include "tests/support/fakeclock.h"
#include "tests/support/testsupport.h"
#include "ui/chunkmodel.h"
#include "ui/chunktext.h"
#include "ui/monitorwindow.h"

#include <QClipboard>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace loomway;
using namespace loomway::test;

namespace {
constexpr auto H2M = ChunkDirection::HandheldToModem;
constexpr auto M2H = ChunkDirection::ModemToHandheld;
} // namespace

class TestMonitor : public QObject {
    Q_OBJECT
private slots:
    // Hex and text cells show at most their limit, then an ellipsis.
    void formats_data() {
        addRows({"bytes", "limit", "hex", "text"},
                {{"empty", "", "", "", ""},
                 {"edges", "001F207E7FFF", "", "00 1F 20 7E 7F FF", ".. ~.."},
                 {"cut", "6162636465", "3", "61 62 63 \u2026", "abc\u2026"}});
    }
    void formats() {
        const std::string bytes = QByteArray::fromHex(cell("bytes").toLatin1()).toStdString();
        const std::size_t limit =
            cell("limit").isEmpty() ? std::string::npos : cell("limit").toUInt();
        QCOMPARE(QString::fromStdString(HexText(bytes, limit)), cell("hex"));
        QCOMPARE(QString::fromStdString(PrintableText(bytes, limit)), cell("text"));
    }

    void parseHex_data() {
        addRows({"typed", "bytes"}, // bytes in hex; none: refused
                {{"pairs", "7e ff 03", "7eff03"},
                 {"0x", "0x7e,0XFF", "7eff"},
                 {"odd", "7e f", ""},
                 {"blank", "  ", ""},
                 {"lone 0x", "0x", ""}});
    }
    void parseHex() {
        const auto parsed = ParseHexBytes(cell("typed").toStdString());
        QCOMPARE(parsed ? QByteArray::fromStdString(*parsed).toHex() : QByteArray(),
                 cell("bytes").toLatin1());
    }

    // Many chunks between two syncs arrive as one insertion; chunks the store
    // dropped leave as one removal from the top; rows read the store itself.
    void rowsInBatches() {
        FakeClock clock;
        ChunkStore store(clock,
                         5 * ChunkStore::Cost({.bytes = std::string(100, 'x'), .marks = {}}));
        ChunkModel model(store);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        for (char c : std::string("abc")) {
            store.OnChunk(H2M, false, std::string(100, c));
        }
        QCOMPARE(model.rowCount(), 0);
        model.Sync();
        QCOMPARE(std::tuple(model.rowCount(), inserted.size(), inserted[0].at(2).toInt()),
                 std::tuple(3, qsizetype(1), 2));
        for (char c : std::string("defg")) {
            store.OnChunk(M2H, true, std::string(100, c));
        }
        // Before the sync, a row whose chunk went shows empty, not another chunk.
        QVERIFY(!model.data(model.index(0, ChunkModel::Length)).isValid());
        model.Sync();
        QCOMPARE(
            std::tuple(removed.size(), removed[0].at(2).toInt(), inserted.size(), model.rowCount()),
            std::tuple(qsizetype(1), 1, qsizetype(2), 5)); // a, b dropped
        QCOMPARE(model.Record(0)->bytes[0], 'c');
        QCOMPARE(model.data(model.index(4, ChunkModel::Direction)).toString(),
                 QString::fromUtf8("modem \u2192 handheld"));
        QCOMPARE(model.data(model.index(4, ChunkModel::Fate)).toString(), "consumed");
        QCOMPARE(model.data(model.index(0, ChunkModel::Length)).toInt(), 100);
        // More than the store holds between two syncs: every old row goes.
        for (int i = 0; i < 12; ++i) {
            store.OnChunk(H2M, false, std::string(100, 'z'));
        }
        model.Sync();
        QCOMPARE(std::tuple(model.rowCount(), model.Record(0)->sequence),
                 std::tuple(5, std::uint64_t(14)));
    }

    // Patterns are bytes (here Latin-1 characters). A match may run on into
    // the next chunks of the same direction; its row is the one it starts in.
    void find_data() {
        addRows({"pattern", "from", "forward", "ignoreCase", "row"},
                {{"text any case", "connect", "-1", "yes", "yes", "1"},
                 {"case kept", "connect", "-1", "yes", "", "-1"},
                 {"next wraps", "AT", "2", "yes", "yes", "0"},
                 {"previous", "AT", "0", "", "yes", "2"},
                 {"hex", "~\u00ff\x03", "-1", "yes", "", "3"},
                 {"over chunks", "123\r\r\nconnect\r\nath\rz", "2", "", "yes", "0"},
                 {"not across directions", "\r~", "-1", "yes", "", "-1"}});
    }
    void find() {
        FakeClock clock;
        ChunkStore store(clock);
        ChunkModel model(store);
        for (const char* chunk : {"ATDT123\r", "\r\nCONNECT\r\n", "ATH\r"}) {
            store.OnChunk(H2M, false, chunk);
        }
        store.OnChunk(M2H, false, std::string("\x7e\xff\x03\xc0\x21", 5));
        store.OnChunk(H2M, false, "Z");
        model.Sync();
        QCOMPARE(model.Find(cell("pattern").toLatin1().toStdString(), cell("from").toInt(),
                            !cell("forward").isEmpty(), !cell("ignoreCase").isEmpty()),
                 cell("row").toInt());
    }

    // Rows in order, whatever order they were selected in, each with its
    // heading and hex dump lines; times since switch-on or by the wall clock.
    void hexDump() {
        FakeClock clock;
        ChunkStore store(clock);
        ChunkModel model(store);
        clock.steady = 1'234'567;
        store.OnChunk(H2M, false, "ATD\r");
        clock.steady = 61'000'000;
        store.OnChunk(M2H, false, "0123456789ABCDEFG");
        model.Sync();
        QCOMPARE(
            model.HexDump({1, 0, 1}),
            QString::fromUtf8("1.234  handheld \u2192 modem  forwarded  4 bytes  ATD\n"
                              "0000  41 54 44 0D                                       |ATD.|\n\n"
                              "61.000  modem \u2192 handheld  forwarded  17 bytes\n"
                              "0000  30 31 32 33 34 35 36 37  38 39 41 42 43 44 45 46  "
                              "|0123456789ABCDEF|\n"
                              "0010  47                                                |G|\n\n"));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.SetWallClock(true);
        QCOMPARE(changed.size(), 1);
        const QString wall = model.data(model.index(0, ChunkModel::Time)).toString();
        QCOMPARE(wall, QDateTime::fromMSecsSinceEpoch(1'700'000'001'234)
                           .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
    }

    // The window follows the newest row until the user scrolls away or finds
    // something; copying puts the selected rows' dump on the clipboard.
    void followPauseFindCopy() {
        FakeClock clock;
        ChunkStore store(clock);
        MonitorWindow window(store);
        window.resize(800, 300);
        window.Open();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QScrollBar* bar = window.View().verticalScrollBar();
        const auto feed = [&](int count) {
            for (int i = 0; i < count; ++i) {
                store.OnChunk(H2M, false, "row " + std::to_string(store.EndSequence()));
                window.OnChunk(H2M, false, {});
            }
        };
        feed(200);
        QTRY_COMPARE_WITH_TIMEOUT(window.Model().rowCount(), 200, 2000); // synced without a frame
        QVERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QVERIFY(!window.Following());
        const int paused = bar->value();
        feed(50);
        window.Sync();
        QCOMPARE(std::pair(window.Model().rowCount(), bar->value()), std::pair(250, paused));
        window.SetFollowing(true);
        QCOMPARE(bar->value(), bar->maximum());

        window.findChild<QLineEdit*>("search")->setText("row 17");
        QVERIFY(window.FindNext());
        QVERIFY(!window.Following());
        QCOMPARE(window.View().currentIndex().row(), 17);
        QVERIFY(window.FindNext()); // "row 170"
        QCOMPARE(window.View().currentIndex().row(), 170);
        window.findChild<QLineEdit*>("search")->setText("no such");
        QVERIFY(!window.FindNext());
        window.CopySelection();
        QCOMPARE(QGuiApplication::clipboard()->text(), window.Model().HexDump({170}));
        window.findChild<QPushButton*>("clear")->click();
        QVERIFY(window.Model().rowCount() == 0 && store.Rows() == 0);
        feed(1); // rows come again after a clear
        window.Sync();
        QCOMPARE(window.Model().Record(0)->bytes, std::string("row 250"));
    }
};

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
