// What stands at the far end of a port: endpoint addresses, the telnet and
// RFC 2217 codecs, and the built-in Hayes modem.
#include "lines/diallookup.h"
#include "lines/endpoint.h"
#include "lines/hayesmodem.h"
#include "lines/rfc2217codec.h"
#include "lines/telnetcodec.h"
#include "tests/support/fakeclock.h"
#include "tests/support/testsupport.h"

#include <QTest>

#include <map>
#include <sstream>
#include <string>

using namespace loomway;
using namespace loomway::test;

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

struct Rig : ModemLink, ModemSink {
    std::map<std::string, std::string> book; // phonebook entries by dial string
    FakeClock clock;
    HayesModem modem{*this,
                     clock,
                     clock,
                     *this,
                     [this](const std::string& number) {
                         const auto entry = book.find(number);
                         return LookUpDialString(number, entry == book.end() ? "" : entry->second);
                     },
                     {115200, false, 50, 50}};
    std::string out, link, notes;
    bool connectAtOnce = false;

    Rig() {
        clock.steady = 100'000'000;
        clock.onTimer = [this] { modem.OnTimer(); };
    }

    void Dial(const DialTarget& t) override {
        link += "dial " + t.number + " " + EndpointText(t.endpoint) + ";";
        if (connectAtOnce) {
            modem.OnDialResult(DialOutcome::Connected);
        }
    }
    void Write(const std::string& bytes) override { link += "w:" + bytes + ";"; }
    void HangUp() override { link += "hangup;"; }
    void ToHandheld(const std::string& bytes) override { out += bytes; }
    void Note(const std::string& text) override { notes += text + ";"; }
};
} // namespace

class TestLines : public QObject {
    Q_OBJECT
private slots:
    // `expected` is the endpoint written back, or "!" and a piece of the error;
    // "book" marks a phonebook entry.
    void parse_data() {
        addRows(
            {"text", "use", "expected"},
            {{"device path", " /dev/ttyUSB0 ", "", "/dev/ttyUSB0"},
             {"path with colons", "/dev/by-path/pci-0:1.0", "", "/dev/by-path/pci-0:1.0"},
             {"bare device name", "ttyS1", "", "ttyS1"},
             {"scheme in capitals", "TELNET:10.0.0.1:2323", "book", "telnet:10.0.0.1:2323"},
             {"rfc2217 IPv6", "rfc2217:[::1]:7000", "", "rfc2217:[::1]:7000"},
             {"IPv6 with a zone", "tcp:[fe80::1%eth0]:23", "book", "tcp:[fe80::1%eth0]:23"},
             {"IPv6 with an empty zone", "tcp:[fe80::1%]:23", "book", "!not an IPv6 address"},
             {"modem", "modem:", "", "modem:"},
             {"gateway as a port", " PPP: ", "", "ppp:"},
             {"gateway in the phonebook", "ppp:", "book", "ppp:"},
             {"exec split with no shell", "exec:pppd notty 'a b' \"c\\\"d\" e\\ f $HOME", "book",
              "exec:pppd notty 'a b' 'c\"d' 'e f' '$HOME'"},
             {"exec escapes in double quotes", "exec:p \"a\\\\b\\$c\\`\"", "book",
              "exec:p 'a\\b$c`'"},
             {"highest port", "tcp:h:65535", "book", "tcp:h:65535"},
             {"empty", "  ", "", "!is not a port address (empty); use a serial device"},
             {"unknown scheme", "ftp:host:21", "", "!unknown kind \"ftp:\""},
             {"no port", "tcp:host", "", "!no :PORT after the host"},
             {"port zero", "tcp:host:0", "", "!not a number from 1 to 65535"},
             {"port too big", "telnet:host:65536", "", "!not a number from 1 to 65535"},
             {"port not a number", "tcp:host:2x", "", "!not a number from 1 to 65535"},
             {"bare IPv6", "tcp:::1:23", "", "!in brackets"},
             {"unclosed bracket", "tcp:[::1:23", "", "!no ']'"},
             {"bad host", "tcp:a b:23", "", "!the host name holds"},
             {"modem with text", "modem:x", "", "!nothing may follow"},
             {"gateway with text", "ppp:10.0.2.0", "book", "!nothing may follow ppp:"},
             {"port forms name the gateway", "ftp:h:1", "", "!rfc2217:HOST:PORT, modem: or ppp:"},
             {"phonebook forms name the gateway", "x", "book", "!exec:COMMAND or ppp:"},
             {"modem in the phonebook", "modem:", "book", "!cannot be dialled); use tcp:HOST:PORT"},
             {"exec as a port", "exec:slirp", "", "!only stand in [Phonebook]"},
             {"device in the phonebook", "/dev/ttyS0", "book", "!is not a phonebook entry"},
             {"exec unterminated", "exec:sh 'x", "book", "!unterminated quote"},
             {"exec empty", "exec:  ", "book", "!no program"},
             {"text with blanks", "my modem", "", "!\"my modem\" is not a port address; use"}});
    }
    void parse() {
        const QString expected = cell("expected");
        const EndpointUse use = cell("use").isEmpty() ? EndpointUse::Port : EndpointUse::Phonebook;
        const EndpointParse r = ParseEndpoint(cell("text").toStdString(), use);
        if (expected.startsWith('!')) {
            QVERIFY(!r.endpoint);
            QVERIFY2(QString::fromStdString(r.error).contains(expected.mid(1)), r.error.c_str());
            return;
        }
        QVERIFY2(r.endpoint && r.error.empty(), r.error.c_str());
        QCOMPARE(QString::fromStdString(EndpointText(*r.endpoint)), expected);
        QCOMPARE(ParseEndpoint(EndpointText(*r.endpoint), use).endpoint, r.endpoint);
    }

    // After Start(), `peer` arrives; the data and the reply that come out.
    void decode_data() {
        addRows(
            {"peer", "data", "reply"},
            {{"doubled IAC is one data byte", "'a IAC IAC 'b", "'a IAC 'b", ""},
             {"answers to our offers are not answered", "IAC WILL 0 IAC DO 0 IAC WILL 3 IAC DO 3",
              "", ""},
             {"peer options refused", "IAC WILL 31 IAC WILL 44", "", "IAC DONT 31 IAC DONT 44"},
             {"server echo agreed, local echo refused", "IAC WILL 1 IAC DO 1 IAC WILL 1", "",
              "IAC DO 1 IAC WONT 1"},
             {"binary switched off is answered once", "IAC WILL 0 IAC WONT 0 IAC WONT 0", "",
              "IAC DONT 0"},
             {"a refused offer can be asked for later", "IAC DONT 0 IAC DO 0", "", "IAC WILL 0"},
             {"subnegotiation skipped", "'a IAC SB 24 1 IAC IAC IAC SE 'b", "'ab", ""},
             {"other commands dropped", "IAC NOP 'x IAC 249 'y", "'xy", ""},
             {"CR NUL before binary", "CR NUL 'x CR LF", "CR 'x CR LF", ""},
             {"CR NUL in binary", "IAC WILL 0 CR NUL", "CR NUL", ""},
             {"IAC inside a subnegotiation ends it", "IAC SB 24 'x IAC DO 24 'y", "'y",
              "IAC WONT 24"}});
    }
    void decode() {
        const std::string in = B(cell("peer").toStdString());
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
            QCOMPARE(gotData, B(cell("data").toStdString()));
            QCOMPARE(gotReply, B(cell("reply").toStdString()));
        }
    }

    void encode() {
        TelnetCodec codec;
        QCOMPARE(codec.Encode(B("'a IAC CR 'b CR LF CR")), B("'a IAC IAC CR NUL 'b CR LF CR NUL"));
        codec.Decode(B("IAC DO 0"));
        QCOMPARE(codec.Encode(B("IAC CR 'b")), B("IAC IAC CR 'b"));
    }

    void comPortSettings() {
        Rfc2217Codec codec(115200);
        const std::string settings = B("IAC SB 44 1 0 1 194 0 IAC SE IAC SB 44 2 8 IAC SE "
                                       "IAC SB 44 3 1 IAC SE IAC SB 44 4 1 IAC SE");
        QCOMPARE(codec.Start(),
                 B("IAC WILL 0 IAC DO 0 IAC WILL 3 IAC DO 3 IAC WILL 44") + settings);
        // Sent again once the server agrees, and only then.
        QCOMPARE(codec.Decode(B("IAC DO 44")).reply, settings);
        QCOMPARE(codec.Decode(B("IAC DO 44 IAC DO 0")).reply, std::string());
        // A speed holding 255 has that byte doubled.
        QCOMPARE(Rfc2217Codec::LineSettings(0xFF).substr(0, 10),
                 B("IAC SB 44 1 0 0 0 IAC IAC IAC"));
    }

    // Steps: ">x" handheld sends x; "<x" the handheld got exactly x since the
    // last check; "#x" the link log since the last check; "@n" n ms pass;
    // "=c|b|a|n" dial result connected, busy, no answer, no carrier; "~x" far
    // end sends x; "!" the far end drops; "sx" the state is x; "%x" the notes
    // hold x; "sync" the link connects inside Dial. Steps are separated by '|'.
    void scripts_data() {
        QTest::addColumn<QByteArray>("steps");
        auto row = [](const char* name, const QByteArray& steps) { QTest::newRow(name) << steps; };
        row("echo, words, digits",
            ">AT\r|<\r\nOK\r\n|>ATE1\r|<\r\nOK\r\n|>AT\r|<AT\r\r\nOK\r\n|>ATE0V0\r"
            "|<ATE0V0\r0\r|>at\r|<0\r|>\r|<|>ATV1\r|<\r\nOK\r\n");
        row("quiet keeps information",
            ">ATQ1\r|<|>ATI\r|<\r\nPalm Loomway built-in modem\r\n|>ATQ0X9\r"
            "|<\r\nERROR\r\n");
        row("registers", ">ATS2?S12=25S12?\r|<\r\n043\r\n\r\n025\r\n\r\nOK\r\n|>ATS256=1\r"
                         "|<\r\nERROR\r\n|>ATS7=300\r|<\r\nERROR\r\n|>ATS7\r|<\r\nERROR\r\n"
                         "|>ATZ\r|<\r\nOK\r\n|>ATS12?\r|<\r\n050\r\n\r\nOK\r\n");
        row("accepted, refused, edited, repeated",
            ">at &c1 \\n3 %c0 +fclass=0;m1l2x4b0\r|<\r\nOK\r\n|>ATG\r"
            "|<\r\nERROR\r\n|>hello\r|<\r\nERROR\r\n|>ATV0G\r|<4\r|>ATV1\r"
            "|<\r\nOK\r\n|>ATX\bI\r|<\r\nPalm Loomway built-in modem\r\n\r\nOK\r\n"
            "|>A/|<\r\nPalm Loomway built-in modem\r\n\r\nOK\r\n|>ATV0&F\r"
            "|<\r\nOK\r\n|>ATA\r|<\r\nNO CARRIER\r\n");
        row("line too long", ">AT" + QByteArray(300, 'M') + "\r|<\r\nERROR\r\n");
        row("phonebook call, data, drop",
            ">ATDT555-1234\r|#dial 555-1234 telnet:bbs.example:23;|sdialing|=c"
            "|<\r\nCONNECT 115200\r\n|sonline|>ab\xff+c|#w:ab\xff+c;|~\x01\xfe"
            "|<\x01\xfe|!|<\r\nNO CARRIER\r\n|scommand|#");
        row("host and port",
            ">ATDbbs.example:2323\r|#dial bbs.example:2323 tcp:bbs.example:2323;"
            "|=n|<\r\nNO CARRIER\r\n|>ATDP[::1]:23;\r|#dial [::1]:23 tcp:[::1]:23;");
        row("not dialable", ">ATDT999\r|<\r\nNO CARRIER\r\n|%999 is not in|>ATDT777\r"
                            "|<\r\nNO CARRIER\r\n|%unterminated quote|>ATDh:0\r|<\r\nNO "
                            "CARRIER\r\n|%no HOST:PORT: \"tcp:h:0\""
                            "|>ATD\r|<\r\nERROR\r\n|#");
        row("failures in words and digits",
            ">ATD1\r|=b|<\r\nBUSY\r\n|>ATD1\r|=a|<\r\nNO ANSWER\r\n|>ATV0\r|<0\r"
            "|>ATD1\r|=b|<7\r|>ATD1\r|=a|<8\r|>ATD1\r|=n|<3\r|>ATX0D1\r|=b|<3\r"
            "|>ATD1\r|=c|<1\r");
        row("escape and back on line",
            ">ATD1\r|=c|<\r\nCONNECT 115200\r\n|#dial 1 tcp:h:1;|@1000|>+++"
            "|#w:+;w:+;w:+;|@999|<|sonline|@1|<\r\nOK\r\n|sescaped|~held|<|>ATO\r"
            "|<\r\nCONNECT 115200\r\nheld|~x|<x|sonline");
        row("no escape without the guard times",
            ">ATD1\r|=c|<\r\nCONNECT 115200\r\n|@100|>+++|@5000|<|@1000|>++|@10"
            "|>+x|@5000|<|@1000|>++++|@5000|<|@1000|>+|@1000|>++|@1000|<|sonline");
        row("escape, hang up", ">ATS12=5\r|<\r\nOK\r\n|>ATD1\r|=c|<\r\nCONNECT 115200\r\n"
                               "|#dial 1 tcp:h:1;|@100|>+++|@100|<\r\nOK\r\n|>ATD2\r|<\r\nERROR\r\n"
                               "|>ATH\r|<\r\nOK\r\n|#w:+;w:+;w:+;hangup;|>ATO\r|<\r\nNO CARRIER\r\n"
                               "|~late|!|<");
        row("no guard time, drop while escaped",
            ">ATS12=0\r|<\r\nOK\r\n|>ATD1\r|=c|<\r\nCONNECT 115200\r\n|>a+++|@0|<\r\nOK\r\n"
            "|sescaped|!|<\r\nNO CARRIER\r\n|scommand");
        row("a key aborts the dial; the late outcome is ignored",
            ">ATD1\r\n|sdialing|>x|<\r\nNO CARRIER\r\n|#dial 1 tcp:h:1;hangup;|=c"
            "|<|scommand");
        row("waiting for carrier ends after S7",
            ">ATS7=3\r|<\r\nOK\r\n|>ATD1\r|@2999|<|@1|<\r\nNO CARRIER\r\n"
            "|#dial 1 tcp:h:1;hangup;");
        row("connect inside Dial, data after the command",
            "sync|>ATD1\rabc|<\r\nCONNECT 115200\r\n|#dial 1 tcp:h:1;w:abc;");
        row("ATZ hangs up and restores",
            ">ATV0\r|<0\r|>ATD1\r|=c|<19\r|@1000|>+++|@1000|<0\r|>ATZ\r"
            "|<\r\nOK\r\n|scommand|#dial 1 tcp:h:1;w:+;w:+;w:+;hangup;");
    }
    void scripts() {
        QFETCH(QByteArray, steps);
        Rig rig;
        rig.book = {
            {"555-1234", "telnet:bbs.example:23"}, {"1", "tcp:h:1"}, {"777", "exec:'unterminated"}};
        const char* const states[] = {"command", "dialing", "online", "escaped"};
        for (const QByteArray& step : steps.split('|')) {
            const std::string s = step.toStdString(), arg = s.substr(1);
            if (s == "sync") {
                rig.connectAtOnce = true;
            } else if (s[0] == '>') {
                rig.modem.FromHandheld(arg);
            } else if (s[0] == '<') {
                const std::string got = std::exchange(rig.out, {});
                QVERIFY2(got == arg, step.toHex(' ') + " got " + got.c_str());
            } else if (s[0] == '#') {
                QCOMPARE(std::exchange(rig.link, {}), arg);
            } else if (s[0] == '@') {
                rig.clock.Advance(std::stol(arg));
            } else if (s[0] == '~') {
                rig.modem.OnLinkData(arg);
            } else if (s[0] == '!') {
                rig.modem.OnLinkDropped();
            } else if (s[0] == '%') {
                QVERIFY2(rig.notes.find(arg) != std::string::npos, rig.notes.c_str());
            } else if (s[0] == '=') {
                rig.modem.OnDialResult(arg == "c"   ? DialOutcome::Connected
                                       : arg == "b" ? DialOutcome::Busy
                                       : arg == "a" ? DialOutcome::NoAnswer
                                                    : DialOutcome::NoCarrier);
            } else {
                QCOMPARE(states[int(rig.modem.State())], arg.c_str());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestLines)
#include "tst_lines.moc"
