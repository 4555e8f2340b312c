#include "capture/captureencoder.h"
#include "capture/hexlogencoder.h"

#include <QTest>

using namespace loomway;

namespace {
constexpr std::int64_t kWall = 1'700'000'000'250'000; // 0x6553F100 seconds and a quarter
constexpr std::int64_t kSteady = 1'000;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) {
        bytes += char(v);
    }
    return bytes;
}
} // namespace

class TestCaptureEncoder : public QObject {
    Q_OBJECT
private slots:
    void pppdumpRecords() {
        auto encoder = MakeCaptureEncoder(CaptureFormat::Pppdump);
        std::string out = encoder->Begin(kWall, kSteady);
        QCOMPARE(out, Bytes({0x07, 0x65, 0x53, 0xF1, 0x00}));
        out.clear();
        encoder->Encode({ChunkDirection::HandheldToModem, false, "abc", kSteady, ""}, out);
        // The first chunk a quarter second past the reset's whole second: two
        // tenths; 0.05 s later: three.
        encoder->Encode({ChunkDirection::ModemToHandheld, false, "x", kSteady + 50'000, ""}, out);
        encoder->Encode({ChunkDirection::ModemToHandheld, false, "y", kSteady + 90'000, ""}, out);
        // 30.25 s after the reset: 302 tenths, 299 more.
        encoder->Encode({ChunkDirection::ProgramToHandheld, true, "z", kSteady + 30'000'000, ""},
                        out);
        QCOMPARE(QByteArray::fromStdString(out).toHex(' '),
                 QByteArray::fromStdString(
                     Bytes({0x06, 2, 0x01, 0,   3,    'a', 'b', 'c',  0x06, 1,    0x02, 0, 1,  'x',
                            0x02, 0, 1,    'y', 0x05, 0,   0,   0x01, 0x2B, 0x02, 0,    1, 'z'}))
                     .toHex(' '));

        // Records hold at most 65535 bytes.
        out.clear();
        const std::string big(70000, '\x7e');
        encoder->Encode({ChunkDirection::HandheldToModem, false, big, kSteady + 30'000'000, ""},
                        out);
        QCOMPARE(out.size(), big.size() + 6);
        QCOMPARE(out.substr(0, 3), Bytes({0x01, 0xFF, 0xFF}));
        QCOMPARE(out.substr(3 + 65535, 3), Bytes({0x01, 0x11, 0x71}));
    }

    void hexLogLines() {
        auto encoder = MakeCaptureEncoder(CaptureFormat::HexLog);
        QCOMPARE(encoder->Begin(kWall, kSteady),
                 std::string("# Palm Loomway capture started 2023-11-14 22:13:20.250000 UTC\n"));
        std::string out;
        const std::string bytes("ATDT5551234\r\x7e\x00\xff"
                                "0123",
                                19);
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

QTEST_APPLESS_MAIN(TestCaptureEncoder)
#include "tst_captureencoder.moc"
