#include "capture/chunkstore.h"
#include "capture/clock.h"
#include "ui/chunkmodel.h"
#include "ui/chunktext.h"
#include "ui/monitorwindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace loomway;

namespace {

struct FixedClock : Clock {
    std::int64_t steady = 0;
    std::int64_t SteadyMicros() const override { return steady; }
    std::int64_t WallMicros() const override { return 1'800'000'000'000'000 + steady; }
};

constexpr auto H2M = ChunkDirection::HandheldToModem;
constexpr auto M2H = ChunkDirection::ModemToHandheld;

} // namespace

class TestMonitor : public QObject {
    Q_OBJECT
private slots:
    void formats_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QByteArray() << ""
                               << "";
        QTest::newRow("at") << QByteArray("AT\r") << "41 54 0D"
                            << "AT.";
        QTest::newRow("edges") << QByteArray("\x00\x1f\x20\x7e\x7f\xff", 6) << "00 1F 20 7E 7F FF"
                               << ".. ~..";
        QTest::newRow("cut") << QByteArray("abcde") << QString::fromUtf8("61 62 63 \u2026")
                             << QString::fromUtf8("abc\u2026");
    }
    // Hex and text cells show at most their limit, then an ellipsis.
    void formats() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, hex);
        QFETCH(QString, text);
        const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        const std::size_t limit = bytes.size() == 5 ? 3 : std::string_view::npos;
        QCOMPARE(QString::fromStdString(HexText(view, limit)), hex);
        QCOMPARE(QString::fromStdString(PrintableText(view, limit)), text);
    }

    void parseHex_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("bytes"); // empty: refused
        QTest::newRow("pairs") << "7e ff 03" << QByteArray("\x7e\xff\x03");
        QTest::newRow("run") << "7EFF03" << QByteArray("\x7e\xff\x03");
        QTest::newRow("0x") << "0x7e,0XFF" << QByteArray("\x7e\xff");
        QTest::newRow("odd") << "7e f" << QByteArray();
        QTest::newRow("letter") << "7g" << QByteArray();
        QTest::newRow("blank") << "  " << QByteArray();
        QTest::newRow("lone 0x") << "0x" << QByteArray();
    }
    void parseHex() {
        QFETCH(QString, typed);
        QFETCH(QByteArray, bytes);
        const auto parsed = ParseHexBytes(typed.toStdString());
        QCOMPARE(parsed.has_value(), !bytes.isEmpty());
        if (parsed) {
            QCOMPARE(QByteArray::fromStdString(*parsed), bytes);
        }
    }

    // Many chunks between two syncs arrive as one insertion; chunks the store
    // dropped leave as one removal from the top; rows read the store itself.
    void rowsInBatches() {
        FixedClock clock;
        const std::string hundred(100, 'x');
        ChunkRecord probe;
        probe.bytes = hundred;
        ChunkStore store(clock, 5 * ChunkStore::Cost(probe));
        ChunkModel model(store);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        for (char c : std::string("abc")) {
            store.OnChunk(H2M, false, std::string(100, c));
        }
        QCOMPARE(model.rowCount(), 0);
        model.Sync();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0].at(2).toInt(), 2);
        for (char c : std::string("defg")) {
            store.OnChunk(M2H, true, std::string(100, c));
        }
        // Before the sync, a row whose chunk went shows empty, not another chunk.
        QVERIFY(!model.data(model.index(0, ChunkModel::Length)).isValid());
        model.Sync();
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed[0].at(2).toInt(), 1); // a, b dropped
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(store.Dropped(), 2u);
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
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.Record(0)->sequence, 14u);
        model.Clear();
        QCOMPARE(model.rowCount(), 0);
        store.OnChunk(H2M, false, "after");
        model.Sync();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.Record(0)->bytes, std::string("after"));
    }

    void find_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<bool>("ignoreCase");
        QTest::addColumn<int>("row");
        QTest::newRow("text any case") << QByteArray("connect") << -1 << true << true << 1;
        QTest::newRow("case kept") << QByteArray("connect") << -1 << true << false << -1;
        QTest::newRow("next wraps") << QByteArray("AT") << 2 << true << true << 0;
        QTest::newRow("previous") << QByteArray("AT") << 0 << false << true << 2;
        QTest::newRow("hex") << QByteArray("\x7e\xff\x03") << -1 << true << false << 3;
        QTest::newRow("none") << QByteArray("\x7e\x7e") << -1 << true << false << -1;
    }
    void find() {
        FixedClock clock;
        ChunkStore store(clock);
        ChunkModel model(store);
        for (const char* chunk : {"ATDT123\r", "\r\nCONNECT\r\n", "ATH\r"}) {
            store.OnChunk(H2M, false, chunk);
        }
        store.OnChunk(M2H, false, std::string("\x7e\xff\x03\xc0\x21", 5));
        model.Sync();
        QFETCH(QByteArray, pattern);
        QFETCH(int, from);
        QFETCH(bool, forward);
        QFETCH(bool, ignoreCase);
        QFETCH(int, row);
        QCOMPARE(model.Find(pattern.toStdString(), from, forward, ignoreCase), row);
    }

    // Rows in order, whatever order they were selected in, each with its
    // heading and hex dump lines; times since switch-on or by the wall clock.
    void hexDump() {
        FixedClock clock;
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
        QCOMPARE(wall, QDateTime::fromMSecsSinceEpoch(1'800'000'001'234)
                           .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
    }

    // The window follows the newest row until the user scrolls away or finds
    // something; copying puts the selected rows' dump on the clipboard.
    void followPauseFindCopy() {
        FixedClock clock;
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
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QVERIFY(!window.Following());
        const int paused = bar->value();
        feed(50);
        window.Sync();
        QCOMPARE(window.Model().rowCount(), 250);
        QCOMPARE(bar->value(), paused);
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
        QCOMPARE(window.Model().rowCount(), 0);
        QCOMPARE(store.Rows(), 0u);
    }
};

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
