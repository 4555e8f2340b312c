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
        auto row = [](const char* name, int direction, std::vector<std::string> chunks,
                      const char* marks) {
            QTest::newRow(name) << direction << chunks << QString(marks);
        };
        row("AT command split", hh, {"AT", "DT555\r"}, "|ATDT555");
        row("repeat and lower case", hh, {"A/\rat&f\r\n"}, "A/; at&f");
        row("no command in binary", hh, {"\001ATZ\r"}, "");
        row("result codes", mh, {"\r\nCONNECT 115200\r\n", "OK\r\nRING\r\nRING\r\n"},
            "CONNECT 115200|OK; RING ×2");
        row("result codes only from the modem", hh, {"OK\r\nNO CARRIER\r\n"}, "");
        row("no echo taken for a result", mh, {"ATDT1\rOKAY\r"}, "");
        row("LCP request", hh, {lcp}, "PPP LCP Configure-Request");
        row("frame over three chunks, an escape split from its byte", mh,
            {lcp.substr(0, 3), lcp.substr(3, 9), lcp.substr(12)}, "||PPP LCP Configure-Request");
        row("frames back to back share a flag", hh, {lcp + lcp.substr(1) + lcp.substr(1)},
            "PPP LCP Configure-Request ×3");
        row("bad FCS", hh, {Frame(kLcpRequest, true)}, "PPP LCP Configure-Request (bad FCS)");
        row("compressed address and protocol", mh, {Frame(std::string("\x21\x45\x00\x00\x14", 5))},
            "PPP IP");
        row("control protocols", hh,
            {Frame(std::string("\xff\x03\x80\x21\x02\x07\x00\x04", 8)),
             Frame(std::string("\xff\x03\xc0\x23\x01\x01\x00\x04", 8)),
             Frame(std::string("\xff\x03\xc2\x23\x01\x01\x00\x04", 8)),
             Frame(std::string("\xff\x03\x80\xfd\x0e\x01\x00\x04", 8)),
             Frame(std::string("\xff\x03\x80\x57\x05\x01\x00\x04", 8)),
             Frame(std::string("\xff\x03\xc0\x21\x09\x01\x00\x08\0\0\0\0", 12))},
            "PPP IPCP Configure-Ack|PPP PAP Authenticate-Request|PPP CHAP "
            "Challenge|PPP CCP Reset-Request|PPP IPV6CP Terminate-Request|PPP LCP "
            "Echo-Request");
        row("unknown protocol, no frame before a flag", hh,
            {Frame(std::string("\xff\x03\x12\x34\x01", 5)), "abc\x7e"}, "|");
        row("clipboard request over three chunks", hh, {"<LMW_C>hel", "lo</LM", "W_C>"},
            "clipboard request begins||clipboard request, 5 bytes");
        row("opening tag split", hh, {"xx<LMW", "_P>a</LMW_P>"}, "|print request, 1 bytes");
        row("closing tag alone", hh, {"x</LMW_P>"}, "print request ends");
        row("program's writes", ph, {"<LMW_RSP>STA</LMW_RSP>", "<LMW_C>ab</LMW_C>"},
            "status reply, 3 bytes|clipboard transfer, 2 bytes");
        row("tags from the modem are data", mh, {"<LMW_C>x</LMW_C>"}, "");
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
