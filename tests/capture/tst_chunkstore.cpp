#include "capture/chunkfanout.h"
#include "capture/chunkstore.h"

#include <QTest>

using namespace loomway;

namespace {

struct FakeClock : Clock {
    std::int64_t steady = 5'000'000;
    std::int64_t wall = 1'700'000'000'000'000;
    std::int64_t SteadyMicros() const override { return steady; }
    std::int64_t WallMicros() const override { return wall; }
};

} // namespace

class TestChunkStore : public QObject {
    Q_OBJECT
private slots:
    void budgetKeepsNewestChunks_data() {
        QTest::addColumn<int>("chunkSize");
        QTest::addColumn<int>("chunks");
        QTest::newRow("one-byte chunks") << 1 << 20000;
        QTest::newRow("hundred-byte chunks") << 100 << 5000;
        QTest::newRow("chunks of 5000") << 5000 << 100;
        QTest::newRow("each larger than the budget") << 70000 << 3;
    }
    void budgetKeepsNewestChunks() {
        QFETCH(int, chunkSize);
        QFETCH(int, chunks);
        FakeClock clock;
        ChunkStore store(clock, 64 * 1024);
        for (int i = 0; i < chunks; ++i) {
            store.OnChunk(ChunkDirection::ModemToHandheld, false,
                          std::string(static_cast<std::size_t>(chunkSize), char('a' + i % 26)));
            QVERIFY(store.Rows() >= 1);
            QVERIFY2(store.BytesUsed() <= store.Budget() || store.Rows() == 1, "over budget");
        }
        QCOMPARE(store.EndSequence(), std::uint64_t(chunks));
        QCOMPARE(store.Dropped() + store.Rows(), std::uint64_t(chunks));
        QCOMPARE(store.FirstSequence(), store.Dropped());
        std::size_t counted = 0;
        for (std::size_t row = 0; row < store.Rows(); ++row) {
            QCOMPARE(store.Row(row).sequence, store.FirstSequence() + row);
            counted += ChunkStore::Cost(store.Row(row));
        }
        QCOMPARE(store.BytesUsed(), counted);
        QVERIFY(counted >= std::size_t(chunkSize) * store.Rows());
        // Nothing was dropped that still fitted.
        QVERIFY(store.BytesUsed() + ChunkStore::Cost(store.Row(0)) > store.Budget() ||
                store.Dropped() == 0);
        QCOMPARE(store.Row(store.Rows() - 1).bytes.back(), char('a' + (chunks - 1) % 26));
    }

    void recordsTimesDirectionsMarksAndClears() {
        FakeClock clock;
        ChunkStore store(clock);
        store.OnChunk(ChunkDirection::HandheldToModem, false, "ATZ\r");
        clock.steady += 1500;
        store.OnSwitchOn();
        clock.steady += 2'000'250;
        clock.wall += 7;
        store.OnChunk(ChunkDirection::ProgramToHandheld, true, "<LMW_C>hi</LMW_C>");
        QCOMPARE(store.Row(0).sinceOnMicros, 0);
        QCOMPARE(store.Row(0).marks, std::string("ATZ"));
        const ChunkRecord& second = store.Row(1);
        QCOMPARE(second.sinceOnMicros, 2'000'250);
        QCOMPARE(second.wallMicros, clock.wall);
        QCOMPARE(second.direction, ChunkDirection::ProgramToHandheld);
        QVERIFY(second.consumed);
        QCOMPARE(second.marks, std::string("clipboard transfer, 2 bytes"));

        store.Clear();
        QCOMPARE(store.Rows(), std::size_t(0));
        QCOMPARE(store.BytesUsed(), std::size_t(0));
        QCOMPARE(store.FirstSequence(), std::uint64_t(2));
        store.OnChunk(ChunkDirection::ModemToHandheld, false, "x");
        QCOMPARE(store.Row(0).sequence, std::uint64_t(2));
        QCOMPARE(store.Dropped(), std::uint64_t(0));
    }

    // Listeners added or removed while a chunk is handed out take part from the next one.
    void fanOutHandsEveryChunkToEachListener() {
        FakeClock clock;
        ChunkStore first(clock), second(clock), third(clock);
        ChunkFanOut fanOut;
        struct Remover : ChunkTap {
            ChunkFanOut* fanOut;
            ChunkTap* victim;
            ChunkTap* newcomer;
            void OnChunk(ChunkDirection, bool, const std::string&) override {
                fanOut->Remove(*victim);
                fanOut->Add(*newcomer);
            }
        } remover;
        remover.fanOut = &fanOut;
        remover.victim = &second;
        remover.newcomer = &third;
        fanOut.Add(first);
        fanOut.Add(remover);
        fanOut.Add(second);
        fanOut.Add(first); // once only
        fanOut.OnChunk(ChunkDirection::HandheldToModem, false, "a");
        fanOut.OnChunk(ChunkDirection::HandheldToModem, false, "b");
        QCOMPARE(first.Rows(), std::size_t(2));
        QCOMPARE(second.Rows(), std::size_t(0));
        QCOMPARE(third.Rows(), std::size_t(1));
    }
};

QTEST_APPLESS_MAIN(TestChunkStore)
#include "tst_chunkstore.moc"
