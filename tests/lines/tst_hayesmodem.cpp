#include "lines/hayesmodem.h"
#include "tests/support/fakes.h"

#include <QTest>

#include <optional>
#include <string>

using namespace loomway;

namespace {

// Link, clock and handheld side in one, with logs the scripts compare.
struct Rig : ModemLink, ModemClock, ModemSink {
    test::MemoryProfileFile book;
    HayesModem modem{*this, *this, *this, &book, {115200, false, 50, 50}};
    std::string out, link, notes;
    std::int64_t now = 100000;
    std::optional<std::int64_t> due;
    bool connectAtOnce = false;

    void Dial(const DialTarget& t) override {
        link += "dial " + t.number + " " + EndpointText(t.endpoint) + ";";
        if (connectAtOnce) {
            modem.OnDialResult(DialOutcome::Connected);
        }
    }
    void Write(const std::string& bytes) override { link += "w:" + bytes + ";"; }
    void HangUp() override { link += "hangup;"; }
    std::int64_t NowMs() const override { return now; }
    void StartTimer(std::int64_t ms) override { due = now + ms; }
    void StopTimer() override { due.reset(); }
    void ToHandheld(const std::string& bytes) override { out += bytes; }
    void Note(const std::string& text) override { notes += text + ";"; }

    void Advance(std::int64_t ms) {
        const std::int64_t target = now + ms;
        while (due && *due <= target) {
            now = *due;
            due.reset();
            modem.OnTimer();
        }
        now = target;
    }
};

std::string Take(std::string& s) {
    return std::exchange(s, std::string());
}

} // namespace

class TestHayesModem : public QObject {
    Q_OBJECT
private slots:
    // Steps: ">x" handheld sends x; "<x" the handheld got exactly x since the
    // last check; "#x" the link log since the last check; "@n" n ms pass;
    // "=c|b|a|n" dial result connected, busy, no answer, no carrier; "~x" far
    // end sends x; "!" the far end drops; "sx" the state is x; "%x" the notes
    // hold x; "sync" the link connects inside Dial.
    void scripts_data() {
        QTest::addColumn<QByteArray>("steps");
        // One row per story; steps separated by '|'.
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
        row("connect in digits", ">ATV0\r|<0\r|>ATD1\r|=c|<19\r");
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
        row("no guard time", ">ATS12=0\r|<\r\nOK\r\n|>ATD1\r|=c|<\r\nCONNECT 115200\r\n|>a+++"
                             "|@0|<\r\nOK\r\n|sescaped");
        row("drop while escaped",
            ">ATD1\r|=c|<\r\nCONNECT 115200\r\n|@1000|>+++|@1000|<\r\nOK\r\n|!"
            "|<\r\nNO CARRIER\r\n|scommand");
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
        rig.book.set("Phonebook", "5551234", "telnet:bbs.example:23");
        rig.book.set("Phonebook", "1", "tcp:h:1");
        rig.book.set("Phonebook", "2", "tcp:h:2");
        rig.book.set("Phonebook", "777", "exec:'unterminated");
        for (const QByteArray& step : steps.split('|')) {
            const std::string s = step.toStdString();
            const std::string arg = s.substr(1);
            const QByteArray where = step.toHex(' ');
            switch (s[0]) {
            case '>':
                rig.modem.FromHandheld(arg);
                break;
            case '<':
                QVERIFY2(Take(rig.out) == arg,
                         where + " got " + QByteArray::fromStdString(rig.out));
                break;
            case '#':
                QCOMPARE(Take(rig.link), arg);
                break;
            case '@':
                rig.Advance(std::stol(arg));
                break;
            case '~':
                rig.modem.OnLinkData(arg);
                break;
            case '!':
                rig.modem.OnLinkDropped();
                break;
            case '%':
                QVERIFY2(rig.notes.find(arg) != std::string::npos, rig.notes.c_str());
                break;
            case '=':
                rig.modem.OnDialResult(arg == "c"   ? DialOutcome::Connected
                                       : arg == "b" ? DialOutcome::Busy
                                       : arg == "a" ? DialOutcome::NoAnswer
                                                    : DialOutcome::NoCarrier);
                break;
            default:
                if (s == "sync") {
                    rig.connectAtOnce = true;
                } else {
                    const char* const states[] = {"command", "dialing", "online", "escaped"};
                    QCOMPARE(states[int(rig.modem.State())], arg.c_str());
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestHayesModem)
#include "tst_hayesmodem.moc"
