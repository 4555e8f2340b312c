#include "lines/rfc2217codec.h"
#include "lines/telnetcodec.h"

#include <QTest>

#include <map>
#include <sstream>

using namespace loomway;

namespace {

// Bytes from words: IAC, WILL, WONT, DO, DONT, SB, SE, NOP, CR, LF, NUL, a
// decimal byte value, or 'text (taken as it stands).
std::string B(const std::string& words) {
    static const std::map<std::string, int> names = {
        {"IAC", 255}, {"WILL", 251}, {"WONT", 252}, {"DO", 253}, {"DONT", 254}, {"SB", 250},
        {"SE", 240},  {"NOP", 241},  {"CR", 13},    {"LF", 10},  {"NUL", 0}};
    std::istringstream in(words);
    std::string out, w;
    while (in >> w) {
        if (w[0] == '\'') {
            out += w.substr(1);
        } else {
            const auto it = names.find(w);
            out += static_cast<char>(it != names.end() ? it->second : std::stoi(w));
        }
    }
    return out;
}

// Both ends exchange what they have until both are quiet; the number of rounds.
int Converge(TelnetCodec& a, TelnetCodec& b) {
    std::string toB = a.Start();
    std::string toA = b.Start();
    int rounds = 0;
    while ((!toA.empty() || !toB.empty()) && rounds < 100) {
        const std::string nextB = a.Decode(toA).reply;
        toA = b.Decode(toB).reply;
        toB = nextB;
        ++rounds;
    }
    return rounds;
}

} // namespace

class TestTelnetCodec : public QObject {
    Q_OBJECT
private slots:
    // After Start(), `peer` arrives; the data and the reply that come out.
    void decode_data() {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("reply");
        auto row = [](const char* name, const char* peer, const char* data, const char* reply) {
            QTest::newRow(name) << peer << data << reply;
        };
        row("doubled IAC is one data byte", "'a IAC IAC 'b", "'a IAC 'b", "");
        row("answers to our offers are not answered", "IAC WILL 0 IAC DO 0 IAC WILL 3 IAC DO 3", "",
            "");
        row("terminal type refused, each time asked", "IAC DO 24 IAC DO 24", "",
            "IAC WONT 24 IAC WONT 24");
        row("peer options refused", "IAC WILL 31 IAC WILL 44", "", "IAC DONT 31 IAC DONT 44");
        row("server echo agreed, local echo refused", "IAC WILL 1 IAC DO 1 IAC WILL 1", "",
            "IAC DO 1 IAC WONT 1");
        row("binary switched off is answered once", "IAC WILL 0 IAC WONT 0 IAC WONT 0", "",
            "IAC DONT 0");
        row("a refused offer can be asked for later", "IAC DONT 0 IAC DO 0", "", "IAC WILL 0");
        row("subnegotiation skipped", "'a IAC SB 24 1 IAC IAC IAC SE 'b", "'ab", "");
        row("other commands dropped", "IAC NOP 'x IAC 249 'y", "'xy", "");
        row("CR NUL before binary", "CR NUL 'x CR LF", "CR 'x CR LF", "");
        row("CR NUL in binary", "IAC WILL 0 CR NUL", "CR NUL", "");
        row("IAC inside a subnegotiation ends it", "IAC SB 24 'x IAC DO 24 'y", "'y",
            "IAC WONT 24");
    }
    void decode() {
        QFETCH(QString, peer);
        QFETCH(QString, data);
        QFETCH(QString, reply);
        const std::string in = B(peer.toStdString());
        // Whole, and one byte at a time: state carries over chunk boundaries.
        for (std::size_t step : {in.size() + 1, std::size_t{1}}) {
            TelnetCodec codec;
            codec.Start();
            std::string gotData, gotReply;
            for (std::size_t i = 0; i < in.size(); i += step) {
                const TelnetDecoded d = codec.Decode(std::string_view(in).substr(i, step));
                gotData += d.data;
                gotReply += d.reply;
            }
            QCOMPARE(gotData, B(data.toStdString()));
            QCOMPARE(gotReply, B(reply.toStdString()));
        }
    }

    void encode() {
        TelnetCodec codec;
        QCOMPARE(codec.Start(), B("IAC WILL 0 IAC DO 0 IAC WILL 3 IAC DO 3"));
        QCOMPARE(codec.Encode(B("'a IAC CR 'b CR LF CR")), B("'a IAC IAC CR NUL 'b CR LF CR NUL"));
        codec.Decode(B("IAC DO 0"));
        QCOMPARE(codec.Encode(B("IAC CR 'b")), B("IAC IAC CR 'b"));
    }

    void twoEndsAgreeWithoutLooping() {
        TelnetCodec a;
        TelnetCodec b({1});
        QVERIFY(Converge(a, b) <= 2);
        QVERIFY(a.LocalEnabled(0) && a.RemoteEnabled(0) && b.LocalEnabled(0) && b.RemoteEnabled(0));
        QVERIFY(a.RemoteEnabled(1) && !b.RemoteEnabled(1)); // b echoes for a, a never echoes
        // Every byte value survives the trip.
        std::string all;
        for (int i = 0; i < 256; ++i) {
            all += static_cast<char>(i);
        }
        QCOMPARE(b.Decode(a.Encode(all)).data, all);
    }

    void comPortSettings() {
        Rfc2217Codec codec(115200);
        const std::string settings = B("IAC SB 44 1 0 1 194 0 IAC SE IAC SB 44 2 8 IAC SE "
                                       "IAC SB 44 3 1 IAC SE IAC SB 44 4 1 IAC SE");
        QCOMPARE(Rfc2217Codec::LineSettings(115200), settings);
        QCOMPARE(codec.Start(),
                 B("IAC WILL 0 IAC DO 0 IAC WILL 3 IAC DO 3 IAC WILL 44") + settings);
        // Sent again once the server agrees, and only then.
        QCOMPARE(codec.Decode(B("IAC DO 44")).reply, settings);
        QCOMPARE(codec.Decode(B("IAC DO 44 IAC DO 0")).reply, std::string());
        // A speed holding 255 has that byte doubled.
        QCOMPARE(Rfc2217Codec::LineSettings(0xFF).substr(0, 10),
                 B("IAC SB 44 1 0 0 0 IAC IAC IAC"));
    }

    void comPortNotifications() {
        Rfc2217Codec codec(9600);
        codec.Start();
        const TelnetDecoded d = codec.Decode(
            B("'a IAC SB 44 101 0 0 37 128 IAC SE IAC SB 44 107 128 IAC SE 'b "
              "IAC SB 44 103 1 IAC SE IAC SB 44 106 IAC SE IAC SB 44 1 IAC SE IAC SB 24 0 IAC SE"));
        QCOMPARE(d.data, std::string("ab"));
        const RemotePortState& r = codec.Remote();
        QCOMPARE(r.baudRate, std::optional<std::uint32_t>(9600));
        QCOMPARE(r.modemState, std::optional<std::uint8_t>(128));
        QCOMPARE(r.parity, std::optional<std::uint8_t>(1));
        QVERIFY(!r.lineState && !r.dataSize);
        QCOMPARE(r.messages, 5);
    }
};

QTEST_GUILESS_MAIN(TestTelnetCodec)
#include "tst_telnetcodec.moc"
