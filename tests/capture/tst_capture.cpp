// The capture: marks on chunks, the bounded chunk store and its fan-out, and
// the pppdump and hex-log writers.
#include "capture/capture.h"
#include "capture/captureencoder.h"
#include "capture/chunkfanout.h"
#include "capture/chunkmarker.h"
#include "capture/chunkstore.h"
#include "tests/support/fakeclock.h"

#include <QTest>

#include <ctime>
#include <string>
#include <vector>

using namespace loomway;
using loomway::test::FakeClock;

namespace {
// An HDLC-framed PPP frame: content and RFC 1662 FCS, control characters,
// flags and escapes escaped; badFcs spoils the check sequence.
std::string Frame(const std::string& content, bool badFcs = false) {
    std::uint16_t fcs = 0xFFFF;
    for (unsigned char c : content) {
        fcs ^= c;
        for (int i = 0; i < 8; ++i) {
            fcs = (fcs & 1) ? (fcs >> 1) ^ 0x8408 : fcs >> 1;
        }
    }
    fcs ^= badFcs ? 0xFFFE : 0xFFFF;
    std::string raw = content + char(fcs & 0xFF) + char(fcs >> 8);
    std::string framed = "\x7e";
    for (unsigned char c : raw) {
        if (c < 0x20 || c == 0x7E || c == 0x7D) {
            framed += '\x7d';
            c ^= 0x20;
        }
        framed += char(c);
    }
    return framed + "\x7e";
}

// An IPv4 packet from 10.0.2.<from> to 10.0.2.<to> (no checksum: naming
// reads none), in a frame of protocol IP.
std::string IpFrame(int protocol, int from, int to, const std::string& body) {
    const std::size_t total = 20 + body.size();
    return std::string{'\xff',      '\x03', 0,       0x21, 0x45, 0,          char(total >> 8),
                       char(total), 0,      0,       0,    0,    64,         char(protocol),
                       0,           0,      10,      0,    2,    char(from), 10,
                       0,           2,      char(to)} +
           body;
}

constexpr std::int64_t kWall = 1'700'000'000'250'000; // 0x6553F100 seconds and a quarter
constexpr std::int64_t kSteady = 1'000;
} // namespace

class TestCapture : public QObject {
    Q_OBJECT
private slots:
    void marks_data() {
        QTest::addColumn<int>("direction");
        QTest::addColumn<std::vector<std::string>>("chunks");
        QTest::addColumn<QString>("marks");
        const int hh = int(ChunkDirection::HandheldToModem);
        const int mh = int(ChunkDirection::ModemToHandheld);
        const int ph = int(ChunkDirection::ProgramToHandheld);
        const std::string request("\xff\x03\xc0\x21\x01\x01\x00\x0a\x05\x06\x12\x34\x56\x78", 14);
        const std::string lcp = Frame(request);
        auto row = [](const char* name, int direction, std::vector<std::string> chunks,
                      const QString& marks) {
            QTest::newRow(name) << direction << chunks << marks;
        };
        row("AT command split", hh, {"AT", "DT555\r"}, "|ATDT555");
        row("repeat and lower case", hh, {"A/\rat&f\r\n"}, "A/; at&f");
        row("no command in binary", hh, {"\001ATZ\r"}, "");
        row("result codes", mh, {"\r\nCONNECT 115200\r\n", "OK\r\nRING\r\nRING\r\n"},
            "CONNECT 115200|OK; RING ×2");
        row("result codes only from the modem", hh, {"OK\r\nNO CARRIER\r\n"}, "");
        row("no echo taken for a result", mh, {"ATDT1\rOKAY\r"}, "");
        row("frame over three chunks, an escape split from its byte", mh,
            {lcp.substr(0, 3), lcp.substr(3, 9), lcp.substr(12)}, "||PPP LCP Configure-Request");
        row("frames back to back share a flag", hh, {lcp + lcp.substr(1) + lcp.substr(1)},
            "PPP LCP Configure-Request ×3");
        row("bad FCS", hh, {Frame(request, true)}, "PPP LCP Configure-Request (bad FCS)");
        const std::string echo = IpFrame(1, 2, 15, std::string("\0\0\0\0\0\1\0\1", 8));
        row("IP, compressed address and protocol", mh, {Frame(echo.substr(3))},
            "PPP IP ICMP echo reply 10.0.2.2 → 10.0.2.15");
        const std::string query = Frame(IpFrame(
            17, 15, 3,
            std::string("\4\1\0\x35\0\x25\0\0\x12\x34\1\0\0\1\0\0\0\0\0\0\7example\3org\0\0\1\0\1",
                        37)));
        row("DNS query split", hh, {query.substr(0, 30), query.substr(30)},
            "|PPP IP UDP 10.0.2.15:1025 → 10.0.2.3:53 DNS query example.org");
        const std::string syn = std::string("\4\2\0\x50\0\0\0\0\0\0\0\0\x50\x02\xff\xff", 16);
        row("long IP frame named by its head; damaged one by its protocol", hh,
            {Frame(IpFrame(6, 15, 2, syn + std::string(3000, '\x7e'))),
             Frame(IpFrame(6, 15, 2, syn), true)},
            "PPP IP TCP 10.0.2.15:1026 → 10.0.2.2:80 SYN|PPP IP (bad FCS)");
        const auto control = [](int protocol, int code) { // a packet with no options
            return Frame(
                {'\xff', '\x03', char(protocol >> 8), char(protocol), char(code), 1, 0, 4});
        };
        row("control protocols", hh,
            {control(0x8021, 2), control(0xc023, 1), control(0xc223, 1), control(0x80fd, 14),
             control(0x8057, 5), Frame({'\xff', '\x03', '\xc0', '\x21', 9, 1, 0, 8, 0, 0, 0, 0})},
            "PPP IPCP Configure-Ack|PPP PAP Authenticate-Request|PPP CHAP "
            "Challenge|PPP CCP Reset-Request|PPP IPV6CP Terminate-Request|PPP LCP "
            "Echo-Request");
        const std::string unnamed = Frame("\xff\x03\x12\x34" + std::string(300, '}'));
        row("a named frame after a long unnamed one", mh,
            {unnamed.substr(0, 200), unnamed.substr(200) + lcp.substr(1)},
            "|PPP LCP Configure-Request");
        row("unknown protocol, no frame before a flag", hh,
            {Frame(std::string("\xff\x03\x12\x34\x01", 5)), "abc\x7e"}, "|");
        row("clipboard request over three chunks", hh, {"<LMW_C>hel", "lo</LM", "W_C>"},
            "clipboard request begins||clipboard request, 5 bytes");
        row("opening tag split", hh, {"xx<LMW", "_P>a</LMW_P>"}, "|print request, 1 bytes");
        row("closing tag alone", hh, {"x</LMW_P>"}, "print request ends");
        row("program's writes", ph, {"<LMW_RSP>STA</LMW_RSP>", "<LMW_C>ab</LMW_C>"},
            "status reply, 3 bytes|clipboard transfer, 2 bytes");
        row("tags from the modem are data", mh, {"<LMW_C>x</LMW_C>"}, "");
        // What a fast line carries in seconds; marking keeps pace (see marks()).
        const std::string digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        std::string commands; // 64 KiB of distinct commands
        for (std::size_t i = 0; i < 65536 / 6; ++i) {
            commands += {'A', 'T', digits[i / 62 / 62], digits[i / 62 % 62], digits[i % 62], '\r'};
        }
        const QString shown = "AT000; AT001; AT002; AT003; AT004; AT005; AT006; AT007; …";
        row("16 MiB of commands, more than shown", hh, std::vector(256, commands),
            QStringList(256, shown).join('|'));
        std::string controls;
        for (int i = 0; i < 2 * 1024 * 1024; ++i) {
            controls += "\x01\r";
        }
        row("a control byte before each line end", hh, {controls + "ATZ\r"}, "ATZ");
    }
    void marks() {
        QFETCH(int, direction);
        QFETCH(std::vector<std::string>, chunks);
        QFETCH(QString, marks);
        ChunkMarker marker;
        // The other directions' traffic in between changes nothing.
        const auto other = ChunkDirection((direction + 1) % 3);
        QStringList got;
        const std::clock_t start = std::clock(); // processor time: a busy machine adds none
        for (const std::string& chunk : chunks) {
            got << QString::fromStdString(marker.Mark(ChunkDirection(direction), chunk));
            marker.Mark(other, "<LMW_C>\x7e\xff\x03\xc0\x21\r\nAT");
        }
        QCOMPARE(got.join(QLatin1Char('|')), marks);
        // Linear in the bytes, the largest rows take a second at most, even
        // with sanitizers; work per item or per line end takes far longer.
        const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
        QVERIFY2(seconds < 10, qPrintable(QString::number(seconds)));
    }

    // Chunks of any size, wrapped around the store's ring, keep their bytes;
    // the newest stay within the budget; of chunks of one size nothing is
    // dropped that still fitted.
    void storeKeepsTheNewestChunks() {
        FakeClock clock;
        ChunkStore store(clock, 64 * 1024);
        std::vector<std::string> sent;
        std::uint32_t seed = 7;
        for (int i = 0; i < 2000; ++i) {
            seed = seed * 1103515245 + 12345;
            const int limit = i % 50 == 49 ? 70000 : i / 500 % 2 ? 9000 : 3;
            sent.push_back(std::string(1 + (seed >> 8) % limit, char('A' + i % 50)));
            store.OnChunk(ChunkDirection::HandheldToModem, false, sent.back());
            std::size_t cost = 0;
            for (std::size_t row = 0; row < store.Rows(); ++row) {
                const ChunkRecord& record = store.Row(row);
                QCOMPARE(record.sequence, store.FirstSequence() + row);
                QVERIFY2(record.bytes == sent[record.sequence], qPrintable(QString::number(i)));
                cost += ChunkStore::Cost(record);
            }
            QCOMPARE(store.BytesUsed(), cost);
            QVERIFY(store.Rows() >= 1 && (cost <= store.Budget() || store.Rows() == 1));
            QCOMPARE(store.FirstSequence(), store.Dropped());
            QCOMPARE(store.FirstSequence() + store.Rows(), std::uint64_t(i + 1));
            QCOMPARE(store.EndSequence(), std::uint64_t(i + 1));
        }
        for (const std::size_t size : {1, 100, 5000, 70000}) {
            ChunkStore uniform(clock, 64 * 1024);
            for (int i = 0; i < 1000; ++i) {
                uniform.OnChunk(ChunkDirection::ModemToHandheld, false, std::string(size, 'u'));
            }
            const std::size_t oldest = ChunkStore::Cost(uniform.Row(0));
            QVERIFY(uniform.Dropped() > 0 && uniform.BytesUsed() + oldest > uniform.Budget());
        }
    }

    // Marks are read on first look; rows dropped unread leave no trace in them.
    void marksOfRowsAfterDroppedOnes() {
        FakeClock clock;
        ChunkStore store(clock, 64 * 1024);
        for (int i = 0; i < 40; ++i) {
            store.OnChunk(ChunkDirection::HandheldToModem, false, std::string(4999, 'y') + "\r");
        }
        store.OnChunk(ChunkDirection::HandheldToModem, false, "ATZ\r");
        QVERIFY(store.Dropped() > 0);
        QCOMPARE(store.Row(store.Rows() - 1).marks, std::string("ATZ"));
        QCOMPARE(store.Row(0).marks, std::string());
        store.OnChunk(ChunkDirection::HandheldToModem, false, "AT&F\r");
        QCOMPARE(store.Row(store.Rows() - 1).marks, std::string("AT&F"));
    }

    // A buffered capture writes what an unbuffered one writes, in batches:
    // at Flush(), at kBufferBytes, at Stop(). (Failures: tests/platform/tst_io.)
    void bufferedCaptureWritesTheSameBytes() {
        struct MemorySink : CaptureSink {
            MemorySink(std::string& o, int& w) : out(o), writes(w) {}
            void Write(std::string_view bytes) override { out.append(bytes), ++writes; }
            void Close() override {}
            std::string& out;
            int& writes;
        };
        FakeClock clock;
        std::string plainOut, bufferedOut;
        int plainWrites = 0, bufferedWrites = 0, flushRequests = 0;
        const auto make = [&](std::string& out, int& writes) {
            return std::make_unique<Capture>(std::make_unique<MemorySink>(out, writes),
                                             CaptureFormat::Pppdump, clock,
                                             [](const std::string&) { QFAIL("failed"); });
        };
        auto plain = make(plainOut, plainWrites);
        auto buffered = make(bufferedOut, bufferedWrites);
        buffered->Buffer([&flushRequests] { ++flushRequests; });
        const auto both = [&](const std::string& bytes) {
            plain->OnChunk(ChunkDirection::HandheldToModem, false, bytes);
            buffered->OnChunk(ChunkDirection::HandheldToModem, false, bytes);
        };
        both("ATZ\r");
        both("ATDT1\r");
        QCOMPARE(std::pair(bufferedWrites, flushRequests), std::pair(1, 1)); // the beginning only
        buffered->Flush();
        QCOMPARE(std::pair(bufferedOut, bufferedWrites), std::pair(plainOut, 2));
        both(std::string(Capture::kBufferBytes, 'x'));
        QCOMPARE(bufferedOut, plainOut); // written without waiting for Flush()
        both("tail");
        QCOMPARE(flushRequests, 2);
        buffered->Stop();
        plain->Stop();
        QCOMPARE(bufferedOut, plainOut);
    }

    // Times count from the last switch-on; cleared, the numbering goes on.
    void switchOnTimesAndClearing() {
        FakeClock clock;
        ChunkStore store(clock);
        store.OnChunk(ChunkDirection::HandheldToModem, false, "ATZ\r");
        clock.steady += 1500;
        store.OnSwitchOn();
        clock.steady += 2'000'250;
        clock.wallAtZero += 7; // the wall clock set forward
        store.OnChunk(ChunkDirection::ProgramToHandheld, true, "x");
        QCOMPARE(std::tuple(store.Row(0).sinceOnMicros, store.Row(1).sinceOnMicros,
                            store.Row(1).wallMicros),
                 std::tuple(std::int64_t(0), std::int64_t(2'000'250), clock.WallMicros()));
        store.Clear();
        QCOMPARE(store.Rows() + store.BytesUsed(), std::size_t(0));
        store.OnChunk(ChunkDirection::ModemToHandheld, false, "x");
        QCOMPARE(std::pair(store.Row(0).sequence, store.Dropped()),
                 std::pair(std::uint64_t(2), std::uint64_t(0)));
    }

    // Listeners added or removed while a chunk is handed out take part from the next one.
    void fanOutHandsEveryChunkToEachListener() {
        FakeClock clock;
        ChunkStore first(clock), second(clock), third(clock);
        ChunkFanOut fanOut;
        struct Remover : ChunkTap {
            ChunkFanOut& fanOut;
            ChunkTap &victim, &newcomer;
            Remover(ChunkFanOut& f, ChunkTap& v, ChunkTap& n) : fanOut(f), victim(v), newcomer(n) {}
            void OnChunk(ChunkDirection, bool, const std::string&) override {
                fanOut.Remove(victim);
                fanOut.Add(newcomer);
            }
        } remover(fanOut, second, third);
        fanOut.Add(first);
        fanOut.Add(remover);
        fanOut.Add(second);
        fanOut.Add(first); // once only
        fanOut.OnChunk(ChunkDirection::HandheldToModem, false, "a");
        fanOut.OnChunk(ChunkDirection::HandheldToModem, false, "b");
        QCOMPARE(QString("%1 %2 %3").arg(first.Rows()).arg(second.Rows()).arg(third.Rows()),
                 QString("2 0 1"));
    }

    // 07 the reset time; 06, 05 steps in tenths; 01 sent, 02 got by the handheld.
    void pppdumpRecords() {
        const auto hex = [](const std::string& s) {
            return QByteArray::fromStdString(s).toHex(' ');
        };
        auto encoder = MakeCaptureEncoder(CaptureFormat::Pppdump);
        QCOMPARE(hex(encoder->Begin(kWall, kSteady)), "07 65 53 f1 00");
        std::string out;
        encoder->Encode({ChunkDirection::HandheldToModem, false, "abc", kSteady, ""}, out);
        // The first chunk a quarter second past the reset's whole second: two
        // tenths; 0.05 s later: three.
        encoder->Encode({ChunkDirection::ModemToHandheld, false, "x", kSteady + 50'000, ""}, out);
        encoder->Encode({ChunkDirection::ModemToHandheld, false, "y", kSteady + 90'000, ""}, out);
        // 30.25 s after the reset: 302 tenths, 299 more.
        encoder->Encode({ChunkDirection::ProgramToHandheld, true, "z", kSteady + 30'000'000, ""},
                        out);
        QCOMPARE(hex(out), "06 02 01 00 03 61 62 63 06 01 02 00 01 78 02 00 01 79 05 00 00 01 2b "
                           "02 00 01 7a");
        // Records hold at most 65535 bytes.
        out.clear();
        const std::string big(70000, '\x7e');
        encoder->Encode({ChunkDirection::HandheldToModem, false, big, kSteady + 30'000'000, ""},
                        out);
        QCOMPARE(out.size(), big.size() + 6);
        QCOMPARE(hex(out.substr(0, 3)) + " " + hex(out.substr(3 + 65535, 3)), "01 ff ff 01 11 71");
    }

    void hexLogLines() {
        auto encoder = MakeCaptureEncoder(CaptureFormat::HexLog);
        QCOMPARE(encoder->Begin(kWall, kSteady),
                 std::string("# Palm Loomway capture started 2023-11-14 22:13:20.250000 UTC\n"));
        std::string out;
        const std::string bytes = std::string("ATDT5551234\r\x7e\0\xff", 15) + "0123";
        encoder->Encode(
            {ChunkDirection::HandheldToModem, false, bytes, kSteady + 1'250'000, "ATDT5551234"},
            out);
        encoder->Encode({ChunkDirection::ProgramToHandheld, true, "A", kSteady + 2'000'001, ""},
                        out);
        QCOMPARE(QString::fromStdString(out),
                 QStringLiteral("+1.250000 handheld>modem 19 bytes: ATDT5551234\n"
                                "000000  41 54 44 54 35 35 35 31 32 33 34 0d 7e 00 ff 30  "
                                "ATDT5551234.~..0\n"
                                "000010  31 32 33                                         123\n"
                                "+2.000001 program>handheld 1 byte consumed\n"
                                "000000  41                                               A\n"));
    }
};

QTEST_APPLESS_MAIN(TestCapture)
#include "tst_capture.moc"
