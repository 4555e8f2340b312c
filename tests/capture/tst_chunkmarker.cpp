#include "capture/chunkmarker.h"

#include <QTest>

#include <string>
#include <vector>

using namespace loomway;

namespace {

// RFC 1662's frame check sequence, bit by bit.
std::uint16_t BitwiseFcs(const std::string& bytes) {
    std::uint16_t fcs = 0xFFFF;
    for (unsigned char c : bytes) {
        fcs ^= c;
        for (int i = 0; i < 8; ++i) {
            fcs = (fcs & 1) ? (fcs >> 1) ^ 0x8408 : fcs >> 1;
        }
    }
    return fcs ^ 0xFFFF;
}

// An HDLC-framed PPP frame: content, its FCS (low byte first), control
// characters, flags and escapes escaped; badFcs spoils the check sequence.
std::string Frame(const std::string& content, bool badFcs = false) {
    std::uint16_t fcs = BitwiseFcs(content) ^ (badFcs ? 1 : 0);
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

const std::string kLcpRequest =
    std::string("\xff\x03\xc0\x21\x01\x01\x00\x0a\x05\x06\x12\x34\x56\x78", 14);

} // namespace

class TestChunkMarker : public QObject {
    Q_OBJECT
private slots:
    // chunks: the chunks of one direction in order; marks: each chunk's
    // mark, joined by "|".
    void marks_data() {
        QTest::addColumn<int>("direction");
        QTest::addColumn<std::vector<std::string>>("chunks");
        QTest::addColumn<QString>("marks");
        const int hh = int(ChunkDirection::HandheldToModem);
        const int mh = int(ChunkDirection::ModemToHandheld);
        const int ph = int(ChunkDirection::ProgramToHandheld);
        const std::string lcp = Frame(kLcpRequest);
        QTest::newRow("AT command split")
            << hh << std::vector<std::string>{"AT", "DT555\r"} << "|ATDT555";
        QTest::newRow("repeat and lower case")
            << hh << std::vector<std::string>{"A/\rat&f\r\n"} << "A/; at&f";
        QTest::newRow("no command in binary") << hh
                                              << std::vector<std::string>{"\x01"
                                                                          "ATZ\r"}
                                              << "";
        QTest::newRow("result codes")
            << mh << std::vector<std::string>{"\r\nCONNECT 115200\r\n", "OK\r\nRING\r\nRING\r\n"}
            << "CONNECT 115200|OK; RING ×2";
        QTest::newRow("result codes only from the modem")
            << hh << std::vector<std::string>{"OK\r\nNO CARRIER\r\n"} << "";
        QTest::newRow("no echo taken for a result")
            << mh << std::vector<std::string>{"ATDT1\rOKAY\r"} << "";
        QTest::newRow("LCP request")
            << hh << std::vector<std::string>{lcp} << "PPP LCP Configure-Request";
        QTest::newRow("frame over three chunks")
            << mh << std::vector<std::string>{lcp.substr(0, 3), lcp.substr(3, 9), lcp.substr(12)}
            << "||PPP LCP Configure-Request";
        QTest::newRow("escape split from its byte")
            << hh << std::vector<std::string>{lcp.substr(0, 2), lcp.substr(2)}
            << "|PPP LCP Configure-Request";
        QTest::newRow("frames back to back share a flag")
            << hh << std::vector<std::string>{lcp + lcp.substr(1) + lcp.substr(1)}
            << "PPP LCP Configure-Request ×3";
        QTest::newRow("bad FCS") << hh << std::vector<std::string>{Frame(kLcpRequest, true)}
                                 << "PPP LCP Configure-Request (bad FCS)";
        QTest::newRow("compressed address and protocol")
            << mh << std::vector<std::string>{Frame(std::string("\x21\x45\x00\x00\x14", 5))}
            << "PPP IP";
        QTest::newRow("control protocols")
            << hh
            << std::vector<std::string>{Frame(std::string("\xff\x03\x80\x21\x02\x07\x00\x04", 8)),
                                        Frame(std::string("\xff\x03\xc0\x23\x01\x01\x00\x04", 8)),
                                        Frame(std::string("\xff\x03\xc2\x23\x01\x01\x00\x04", 8)),
                                        Frame(std::string("\xff\x03\x80\xfd\x0e\x01\x00\x04", 8)),
                                        Frame(std::string("\xff\x03\x80\x57\x05\x01\x00\x04", 8)),
                                        Frame(std::string(
                                            "\xff\x03\xc0\x21\x09\x01\x00\x08\0\0\0\0", 12))}
            << "PPP IPCP Configure-Ack|PPP PAP Authenticate-Request|PPP CHAP "
               "Challenge|PPP CCP Reset-Request|PPP IPV6CP Terminate-Request|PPP LCP "
               "Echo-Request";
        QTest::newRow("unknown protocol, no frame before a flag")
            << hh
            << std::vector<std::string>{Frame(std::string("\xff\x03\x12\x34\x01", 5)), "abc\x7e"}
            << "|";
        QTest::newRow("clipboard request over three chunks")
            << hh << std::vector<std::string>{"<LMW_C>hel", "lo</LM", "W_C>"}
            << "clipboard request begins||clipboard request, 5 bytes";
        QTest::newRow("opening tag split")
            << hh << std::vector<std::string>{"xx<LMW", "_P>a</LMW_P>"}
            << "|print request, 1 bytes";
        QTest::newRow("closing tag alone")
            << hh << std::vector<std::string>{"x</LMW_P>"} << "print request ends";
        QTest::newRow("program's writes")
            << ph << std::vector<std::string>{"<LMW_RSP>STA</LMW_RSP>", "<LMW_C>ab</LMW_C>"}
            << "status reply, 3 bytes|clipboard transfer, 2 bytes";
        QTest::newRow("tags from the modem are data")
            << mh << std::vector<std::string>{"<LMW_C>x</LMW_C>"} << "";
    }
    void marks() {
        QFETCH(int, direction);
        QFETCH(std::vector<std::string>, chunks);
        QFETCH(QString, marks);
        ChunkMarker marker;
        // The other directions' traffic in between changes nothing.
        const auto other = ChunkDirection((direction + 1) % 3);
        QStringList got;
        for (const std::string& chunk : chunks) {
            got << QString::fromStdString(marker.Mark(ChunkDirection(direction), chunk));
            marker.Mark(other, "<LMW_C>\x7e\xff\x03\xc0\x21\r\nAT");
        }
        QCOMPARE(got.join(QLatin1Char('|')), marks);
    }
};

QTEST_APPLESS_MAIN(TestChunkMarker)
#include "tst_chunkmarker.moc"
