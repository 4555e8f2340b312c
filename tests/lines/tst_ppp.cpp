// The PPP server engine against frames a handheld sends, built here with a
// bitwise FCS of the test's own, and the frames it sends back, unframed the same way.
#include "lines/dnsanswer.h"
#include "lines/gatewayrefusal.h"
#include "lines/pppinspect.h"
#include "lines/pppserver.h"
#include "tests/support/testsupport.h"

#include <QCryptographicHash>
#include <QTest>

#include <optional>

using namespace loomway;
using namespace loomway::test;

namespace {

std::uint16_t BitwiseFcs(const QByteArray& bytes) {
    std::uint16_t fcs = 0xFFFF;
    for (const char c : bytes) {
        fcs ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) {
            fcs = fcs & 1 ? (fcs >> 1) ^ 0x8408 : fcs >> 1;
        }
    }
    return static_cast<std::uint16_t>(~fcs);
}

// A frame as the handheld sends it: content in hex (blanks ignored), every
// control character escaped unless told otherwise.
QByteArray Frame(const QByteArray& content, bool goodFcs = true, bool escapeControls = true) {
    QByteArray bytes = QByteArray::fromHex(content);
    const std::uint16_t fcs = BitwiseFcs(bytes) ^ (goodFcs ? 0 : 1);
    bytes += char(fcs & 0xFF);
    bytes += char(fcs >> 8);
    QByteArray line = "\x7E";
    for (const char c : bytes) {
        if ((escapeControls && static_cast<unsigned char>(c) < 0x20) || c == 0x7E || c == 0x7D) {
            line += char(0x7D);
            line += char(c ^ 0x20);
        } else {
            line += c;
        }
    }
    return line + "\x7E";
}

// The frames on a line as hex, "*" before those without address and control.
QStringList Unframe(const QByteArray& line) {
    QStringList frames;
    for (const QByteArray& piece : line.split(0x7E)) {
        QByteArray bytes;
        for (int i = 0; i < piece.size(); ++i) {
            bytes += piece[i] == 0x7D && i + 1 < piece.size() ? char(piece[++i] ^ 0x20) : piece[i];
        }
        if (bytes.isEmpty()) {
            continue;
        }
        if (bytes.size() < 4 ||
            BitwiseFcs(bytes.chopped(2)) != (static_cast<unsigned char>(bytes.back()) << 8 |
                                             static_cast<unsigned char>(bytes[bytes.size() - 2]))) {
            frames << "bad FCS " + bytes.toHex();
            continue;
        }
        bytes.chop(2);
        // Negotiation goes out with every control character escaped.
        if (bytes.startsWith("\xFF\x03\xC0\x21") && bytes.size() > 4 && bytes[4] <= 7) {
            for (const char c : piece) {
                if (static_cast<unsigned char>(c) < 0x20) {
                    frames << "unescaped " + piece.toHex();
                }
            }
        }
        frames << (bytes.startsWith("\xFF\x03") ? bytes.mid(2).toHex() : "*" + bytes.toHex());
    }
    return frames;
}

// The handheld's usual LCP request (ACCM 0, a magic number, PFC, ACFC) and our Ack.
const QByteArray kHandheldLcp = "c021 0101 0014 0206 00000000 0506 11223344 0702 0802";
const QByteArray kAckHandheld = "c021 0201 0014 0206 00000000 0506 11223344 0702 0802";
// Our LCP requests, the magic number left open: without authentication, asking PAP, CHAP.
const QByteArray kOurLcp = "c021 0101 0014 0206 00000000 0506 ???????? 0702 0802";
const QByteArray kOurPapLcp = "c021 0101 0018 0206 00000000 0304 c023 0506 ???????? 0702 0802";
const QByteArray kOurChapLcp = "c021 0101 0019 0206 00000000 0305 c22305 0506 ???????? 0702 0802";
const QByteArray kChallenge = "*c223 01?? 001c 10 " + QByteArray(32, '?') + " 6c6f6f6d776179";
const QByteArray kOurIpcp = "*8021 0101 000a 0306 0a000202";
const QByteArray kWelcome = "57656c636f6d65", kWrongPassword = "77726f6e672070617373776f7264";
const QByteArray kToIpcp =
    ">" + kHandheldLcp + "|<" + kOurLcp + ", " + kAckHandheld + "|ack|<" + kOurIpcp + "|";
const QByteArray kToOnline =
    kToIpcp + ">8021 0101 000a 0306 0a00020f|<*8021 0201 000a 0306 0a00020f|ack|sOnline 10.0.2.15|";
const QByteArray kIpPacket = "4500 001c 0001 0000 4001 0000 0a00020f 0a000202 0800 f7ff 0000 0000";

struct Rig : PppSink, Clock, Timer {
    PppConfig config;
    std::optional<PppServer> server;
    QByteArray line, checked, delivered;
    QString state;
    std::int64_t now = 5'000'000;
    std::optional<std::int64_t> due;

    explicit Rig(const QString& settings) {
        const QStringList words = settings.split(' ', Qt::SkipEmptyParts);
        if (words.size() == 3) {
            config.auth = words[0] == "pap" ? PppAuthProtocol::Pap : PppAuthProtocol::Chap;
            config.user = words[1].toStdString();
            config.password = words[2].toStdString();
        }
        config.seed = 7;
        server.emplace(config, *this, *this, *this);
    }
    void SendToLine(std::string_view bytes) override {
        line.append(bytes.data(), qsizetype(bytes.size()));
    }
    void DeliverIpPacket(std::string_view packet) override {
        delivered += QByteArray(packet.data(), qsizetype(packet.size())).toHex();
    }
    void OnStateChanged(PppState s, const std::string& detail) override {
        const char* const names[] = {"Idle", "Negotiating", "Authenticating", "Online", "Ended"};
        state =
            QString(names[int(s)]) + (detail.empty() ? "" : " ") + QString::fromStdString(detail);
    }
    std::int64_t SteadyMicros() const override { return now; }
    std::int64_t WallMicros() const override { return now; }
    void Start(std::int64_t ms) override { due = now + ms * 1000; }
    void Stop() override { due.reset(); }

    void Advance(std::int64_t ms) {
        const std::int64_t target = now + ms * 1000;
        while (due && *due <= target) {
            now = *due;
            due.reset();
            server->OnTimer();
        }
        now = target;
    }
    // Frames sent since the last call.
    QStringList Sent() {
        const QByteArray fresh = line.mid(checked.size());
        checked = line;
        return Unframe(fresh);
    }
    // Our last frame that starts (after address and control) with one of these, in hex.
    QByteArray Last(std::initializer_list<const char*> starts) const {
        QByteArray found;
        for (const QString& frame : Unframe(line)) {
            const QByteArray hex = frame.toLatin1().replace("*", "");
            for (const char* start : starts) {
                found = hex.startsWith(start) ? hex : found;
            }
        }
        return found;
    }
    void Receive(const QByteArray& line) {
        server->ReceiveFromLine({line.constData(), std::size_t(line.size())});
    }
};

std::uint16_t OnesComplement(const QByteArray& bytes, std::uint32_t sum = 0) {
    for (int i = 0; i < bytes.size(); i += 2) {
        sum +=
            std::uint8_t(bytes[i]) << 8 | (i + 1 < bytes.size() ? std::uint8_t(bytes[i + 1]) : 0);
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return std::uint16_t(~sum);
}

// A DNS message from the handheld to 10.0.2.3:53 over UDP, as tweaked (one
// or more of): "to" the gateway's address, "port" 54, "tcp", "icmp",
// "fragment", "later" (a fragment after the first), "short" (cut by one
// byte), "sum" (a wrong UDP checksum).
QByteArray DnsPacket(const QByteArray& hex, const QString& tweak) {
    const QByteArray dns = QByteArray::fromHex(hex);
    QByteArray udp = QByteArray::fromHex("0fa0 0035") + char((dns.size() + 8) >> 8) +
                     char(dns.size() + 8) + QByteArray(2, '\0') + dns;
    QByteArray ip = QByteArray::fromHex("4500") + char((udp.size() + 20) >> 8) +
                    char(udp.size() + 20) +
                    QByteArray::fromHex("0000 0000 4011 0000 0a00020f 0a000203");
    const QStringList tweaks = tweak.split(' ');
    ip[6] = tweaks.contains("fragment") ? char(0x20) : ip[6];
    ip[7] = tweaks.contains("later") ? char(1) : ip[7];
    ip[9] = tweaks.contains("tcp") ? char(6) : tweaks.contains("icmp") ? char(1) : ip[9];
    ip[19] = tweaks.contains("to") ? char(2) : ip[19];
    udp[3] = tweaks.contains("port") ? char(54) : udp[3];
    udp[7] = tweaks.contains("sum") ? char(1) : udp[7];
    const std::uint16_t sum = OnesComplement(ip);
    ip[10] = char(sum >> 8), ip[11] = char(sum);
    return (ip + udp).chopped(tweaks.contains("short") ? 1 : 0);
}

bool Matches(QString expected, const QString& actual) {
    expected.remove(' ');
    if (expected.size() != actual.size()) {
        return false;
    }
    for (int i = 0; i < expected.size(); ++i) {
        if (expected[i] != '?' && expected[i] != actual[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

class TestPpp : public QObject {
    Q_OBJECT
private slots:
    // Steps, separated by '|': ">hex" the handheld sends a frame (hex after
    // address and control; ">!hex" with a wrong FCS); "<a,b" we sent exactly
    // frames a and b since the last look ('?' matches any digit, '*' a frame
    // without address and control); "ack" the handheld acknowledges our last
    // Configure-Request ("ack 09" with identifier 9); "~" what we sent comes back to us; "chap name
    // password" answers our last challenge; "@ms" time passes; "s..." the
    // state and its detail; "dhex" the packets delivered since the last look;
    // "ihex" an IP packet for the handheld; "close"; "fcs n" frames dropped
    // for their FCS; "-" what we sent is not looked at.
    void sessions_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QByteArray>("steps");
        auto row = [](const char* name, const char* settings, const QByteArray& steps) {
            QTest::newRow(name) << settings << steps;
        };
        row("handheld negotiation; addresses and DNS nak'd", "",
            "<" + kOurLcp + "|sNegotiating|>" + kHandheldLcp + "|<" + kAckHandheld + "|ack|<" +
                kOurIpcp +
                "|>8021 0101 0016 0306 00000000 8106 00000000 8306 00000000"
                "|<*8021 0301 0016 0306 0a00020f 8106 0a000203 8306 0a000203"
                "|>8021 0102 0010 0306 0a00020f 8106 0a000203|<*8021 0202 0010 0306 0a00020f 8106 "
                "0a000203"
                "|sNegotiating|ack|sOnline 10.0.2.15");
        row("IP packets both ways, compressed once agreed", "",
            kToOnline + ">0021" + kIpPacket + "|d" + kIpPacket + "|i" + kIpPacket + "|<*21" +
                kIpPacket + "|>=21" + kIpPacket + "|d" + kIpPacket);
        row("IP before IPCP is open is dropped", "", kToIpcp + ">0021" + kIpPacket + "|d|<");
        row("unknown LCP options rejected, small MRU nak'd", "",
            "<" + kOurLcp +
                "|>c021 0107 000e 0104 05dc 0d03 06 0203 00|<c021 0407 000a 0d03 06 0203 00" +
                "|>c021 0108 0008 0104 0020|<c021 0308 0008 0104 05dc");
        row("VJ compression and NBNS rejected", "",
            kToIpcp + ">8021 0103 0010 0206 002d 0f01 8206 00000000|<*8021 0403 0010 0206 002d "
                      "0f01 8206 00000000");
        row("CCP and IPv6CP rejected once LCP is open", "",
            ">80fd 0101 0004|" + kToOnline + ">80fd 0101 0004|<c021 0802 000a 80fd 0101 0004" +
                "|>8057 0101 000e 010a 0000000000000001|<c021 0803 0014 8057 0101 000e 010a "
                "0000000000000001");
        row("wrong FCS dropped silently", "",
            "<" + kOurLcp + "|>!" + kHandheldLcp + "|<|fcs 1|>" + kHandheldLcp + "|<" +
                kAckHandheld + "|fcs 1");
        row("unknown LCP code rejected, echo answered", "",
            kToOnline + ">c021 0c04 0006 abcd|<c021 0702 000a 0c04 0006 abcd" +
                "|>c021 0905 000a 11223344 6162|<c021 0a05 000a ???????? 6162");
        row("an Ack for another request is ignored", "",
            ">" + kHandheldLcp + "|<" + kOurLcp + ", " + kAckHandheld +
                "|>c021 0209 0014 0206 00000000 0506 00000001 0702 0802|ack "
                "09|<|sNegotiating|ack|<" +
                kOurIpcp);
        row("handheld acks first, then asks", "",
            "<" + kOurLcp + "|ack|<|sNegotiating|>" + kHandheldLcp + "|<" + kAckHandheld + "," +
                kOurIpcp +
                "|>8021 0102 000a 8106 00000000|<*8021 0302 0010 8106 0a000203 0306 0a00020f");
        row("looped-back line", "", "~|~|~|~|sNegotiating|~|sEnded looped back");
        row("PAP right", "pap palm secret",
            "<" + kOurPapLcp + "|>" + kHandheldLcp + "|<" + kAckHandheld +
                "|>8021 0101 0004|ack|sAuthenticating|<" +
                "|>c023 0107 0010 04 70616c6d 06 736563726574|<*c023 0207 000c 07" + kWelcome +
                "," + kOurIpcp + "|sNegotiating");
        row("PAP wrong password", "pap palm secret",
            "<" + kOurPapLcp + "|>" + kHandheldLcp + "|ack|>c023 0107 000d 04 70616c6d 03 626164" +
                "|<" + kAckHandheld + ", *c023 0307 0013 0e" + kWrongPassword +
                ", c021 0502 0004|sAuthenticating|>c021 0602 0004|sEnded wrong password");
        row("CHAP-MD5 right", "chap palm secret",
            "<" + kOurChapLcp + "|>" + kHandheldLcp + "|ack|sAuthenticating|<" + kAckHandheld +
                "," + kChallenge + "|chap palm secret|<*c223 03?? 000b" + kWelcome + "," +
                kOurIpcp);
        row("CHAP-MD5 wrong password", "chap palm secret",
            ">" + kHandheldLcp + "|ack|<" + kOurChapLcp + "," + kAckHandheld + "," + kChallenge +
                "|chap palm wrong|<*c223 04?? 0012" + kWrongPassword + ", c021 0502 0004" +
                "|@3000|<c021 0503 0004|@3000|sEnded wrong password");
        row("CHAP name must match", "chap palm secret",
            ">" + kHandheldLcp + "|ack|<" + kOurChapLcp + "," + kAckHandheld + "," + kChallenge +
                "|chap visitor secret|<*c223 04?? 0012" + kWrongPassword + ", c021 0502 0004");
        row("CHAP challenge repeated, then given up", "chap palm secret",
            ">" + kHandheldLcp + "|ack|<" + kOurChapLcp + "," + kAckHandheld + "," + kChallenge +
                "|@3000|<" + kChallenge +
                "|@24000|-|@2999|sAuthenticating|<|@1|<c021 0504 0004|@6000" +
                "|sEnded handheld did not authenticate");
        row("peer naks CHAP for PAP", "chap palm secret",
            "<" + kOurChapLcp + "|>c021 0301 0008 0304 c023|<" +
                QByteArray(kOurPapLcp).replace("0101", "0102"));
        row("peer naks both CHAP and PAP", "chap palm secret",
            "-|>c021 0301 0008 0304 c023|-|>c021 0302 0009 0305 c22381|<c021 0503 0004"
            "|>c021 0603 0004|sEnded handheld refused to authenticate");
        row("echo timeout ends the session", "",
            kToOnline + "@9999|<|@1|<c021 0902 0008 ????????|@10000|<c021 0903 0008 ????????" +
                "|@5000|>c021 0a03 0008 11223344|@5000|<|@5000|<c021 0904 0008 ????????" +
                "|@10000|<c021 0905 0008 ????????|@10000|<c021 0906 0008 ????????|sOnline "
                "10.0.2.15" +
                "|@10000|sEnded peer stopped answering");
        row("terminated by peer", "",
            kToOnline + ">c021 0509 0004|<c021 0609 0004|i" + kIpPacket +
                "|<|@2999|sOnline 10.0.2.15|@1" + "|sEnded terminated by peer");
        row("closed here", "",
            kToOnline + "close|<c021 0502 0004|>c021 0602 0004|sEnded closed|i" + kIpPacket + "|<");
        QByteArray retries = "<" + kOurLcp;
        for (int i = 0; i < 9; ++i) {
            retries += "|@2999|<|@1|<" + kOurLcp;
        }
        row("restart timer: ten requests, then give up", "",
            retries + "|@2999|sNegotiating|@1|<|sEnded no answer from the handheld");
    }
    void sessions() {
        Rig rig(cell("settings"));
        rig.server->Start();
        QFETCH(QByteArray, steps);
        for (const QByteArray& step : steps.split('|')) {
            const QString s = QString::fromLatin1(step).trimmed();
            if (s.startsWith(">!")) {
                rig.Receive(Frame("ff03" + step.mid(2), false));
            } else if (s.startsWith(">=")) { // without address and control
                rig.Receive(Frame(step.mid(2)));
            } else if (s.startsWith('>')) {
                rig.Receive(Frame("ff03" + step.mid(1)));
            } else if (s.startsWith('<')) {
                const QStringList sent = rig.Sent();
                const QStringList expected = s.mid(1).split(',', Qt::SkipEmptyParts);
                bool same = sent.size() == expected.size();
                for (int i = 0; same && i < sent.size(); ++i) {
                    same = Matches(expected[i].trimmed(), sent[i]);
                }
                QVERIFY2(same, qPrintable(s + "\n   got " + sent.join(", ")));
            } else if (s == "-") {
                rig.Sent();
            } else if (s.startsWith("ack")) { // with another identifier when one follows
                QByteArray request = rig.Last({"c02101", "802101"}).replace(4, 2, "02");
                rig.Receive(
                    Frame("ff03" +
                          (s.size() > 4 ? request.replace(6, 2, s.mid(4).toLatin1()) : request)));
            } else if (s == "~") {
                const QByteArray back = rig.line.mid(rig.checked.size());
                rig.checked = rig.line;
                rig.Receive(back);
            } else if (s.startsWith("chap ")) {
                const QByteArray challenge = QByteArray::fromHex(rig.Last({"c22301"}));
                QVERIFY(challenge.size() > 23);
                const QStringList words = s.split(' ');
                QCryptographicHash md5(QCryptographicHash::Md5);
                md5.addData(challenge.mid(3, 1) + words[2].toLatin1() + challenge.mid(7, 16));
                QByteArray response = "\xC2\x23\x02" + challenge.mid(3, 1) + QByteArray(2, 0) +
                                      "\x10" + md5.result() + words[1].toLatin1();
                response[5] = char(response.size() - 2);
                rig.Receive(Frame("ff03" + response.toHex()));
            } else if (s.startsWith('@')) {
                rig.Advance(s.mid(1).toLongLong());
            } else if (s.startsWith('s')) {
                QCOMPARE(rig.state, s.mid(1));
            } else if (s.startsWith('d')) {
                QCOMPARE(std::exchange(rig.delivered, {}),
                         QByteArray(step.mid(1)).replace(" ", ""));
            } else if (s.startsWith('i')) {
                const QByteArray packet = QByteArray::fromHex(step.mid(1));
                rig.server->SendIpPacket({packet.constData(), std::size_t(packet.size())});
            } else if (s == "close") {
                rig.server->Close();
            } else if (s.startsWith("fcs ")) {
                QCOMPARE(rig.server->Counters().badFcs, s.mid(4).toULongLong());
            } else {
                QFAIL(qPrintable("unknown step " + s));
            }
        }
    }

    // The handheld's request, cut in two at every byte, gives the same answer
    // as in one piece; line noise (unescaped control characters) is skipped.
    void splitFrames() {
        const QByteArray whole = Frame("ff03" + kHandheldLcp);
        QByteArray noisy = whole;
        noisy.insert(5, "\x11");
        noisy.insert(12, "\x13");
        for (int cut = 0; cut <= whole.size(); ++cut) {
            for (const QByteArray& input : {whole, noisy}) {
                Rig rig("");
                rig.server->Start();
                rig.Sent();
                rig.Receive(input.left(cut));
                rig.Receive(input.mid(cut));
                QCOMPARE(rig.Sent(), QStringList{"c02102010014020600000000050611223344"
                                                 "07020802"});
            }
        }
    }

    // A frame longer than the MRU is dropped as it arrives; the next one is read.
    void overlongFrame() {
        Rig rig("");
        rig.server->Start();
        rig.Sent();
        rig.Receive(Frame("ff03 0021" + QByteArray(1600, 'a').toHex()).repeated(2) +
                    Frame("ff03" + kHandheldLcp));
        QCOMPARE(rig.server->Counters().tooLong, 2u);
        QCOMPARE(rig.Sent(), QStringList{QByteArray(kAckHandheld).replace(" ", "")});
    }

    // Once LCP is open the peer's ACCM decides what we escape; 0x7E and 0x7D always.
    void escapes_data() {
        addRows({"accm", "packet", "line"},
                {{"ACCM 0", "00000000", "4500 7e 7d 11 01", "4500 7d5e 7d5d 11 01"},
                 {"XON and XOFF", "000a0000", "4500 7e 11 13 12 01", "4500 7d5e 7d31 7d33 12 01"}});
    }
    void escapes() {
        Rig rig("");
        rig.server->Start();
        const QByteArray accm = cell("accm").toLatin1();
        rig.Receive(Frame("ff03 c021 0101 0014 0206" + accm + "0506 11223344 0702 0802"));
        rig.Receive(Frame("ff03" + rig.Last({"c02101"}).replace(0, 6, "c02102")));
        rig.Receive(Frame("ff03 8021 0101 000a 0306 0a00020f"));
        rig.Receive(Frame("ff03" + rig.Last({"802101"}).replace(0, 6, "802102")));
        QCOMPARE(rig.state, "Online 10.0.2.15");
        rig.Sent();
        const QByteArray packet = QByteArray::fromHex(cell("packet").toLatin1());
        QVERIFY(rig.server->SendIpPacket({packet.constData(), std::size_t(packet.size())}));
        const QByteArray line = QByteArray::fromHex(cell("line").toLatin1());
        QVERIFY2(rig.line.mid(rig.checked.size()).startsWith("\x7E\x21" + line),
                 rig.line.toHex().constData());
        // Our map asked for none escaped: control characters from the handheld are data.
        rig.Receive(Frame("21" + packet.toHex(), true, false));
        QCOMPARE(rig.delivered, packet.toHex());
    }

    void describe_data() {
        addRows(
            {"frame", "text"},
            {{"LCP", "ff03 c021 0101 0004", "LCP Configure-Request id 1"},
             {"IPCP compressed", "8021 0402 0004", "IPCP Configure-Reject id 2"},
             {"CHAP", "c223 0309 0004", "CHAP Success id 9"},
             {"truncated", "c021 01", "LCP (truncated)"},
             {"unknown protocol", "0231 01", "protocol 0x0231"},
             {"no protocol", "ff03", "PPP (no protocol)"},
             {"TCP SYN",
              "21 4500 0028 0000 0000 4006 0000 0a00020f 5db8d822 0401 0050 00000000 00000000 5002",
              "IP TCP 10.0.2.15:1025 → 93.184.216.34:80 SYN"},
             {"DNS query",
              "0021 4500 0039 0000 0000 4011 0000 0a00020f 0a000203 0402 0035 0025 0000 "
              "1234 0100 0001 0000 0000 0000 07 6578616d706c65 03 6f7267 00 0001 0001",
              "IP UDP 10.0.2.15:1026 → 10.0.2.3:53 DNS query example.org"},
             {"ICMP", "21 4500 001c 0001 0000 4001 0000 0a00020f 0a000202 0800 f7ff 0000 0000",
              "IP ICMP echo request 10.0.2.15 → 10.0.2.2"},
             {"IP header longer than the frame", "21 4f00 0040 0000", "IP (malformed)"}});
    }
    // A lookup from the handheld is read when it is a plain query for an
    // address ("-": left to take its usual way).
    void dnsQuestion_data() {
        const char* localhost = "abcd 0100 0001 0000 0000 0000 09 6c6f63616c686f7374 00 0001 0001";
        addRows(
            {"dns", "tweak", "read"},
            {{"A, recursion desired", localhost, "", "A localhost 1 abcd 4000"},
             {"AAAA with EDNS",
              "0007 0000 0001 0000 0000 0001 04 70616c6d 03 6e6574 00 001c 0001 "
              "00 0029 1000 0000 0000 0000",
              "", "AAAA palm.net 0 7 4000"},
             {"to another address", localhost, "to", "-"},
             {"to another port", localhost, "port", "-"},
             {"TCP", localhost, "tcp", "-"},
             {"a fragment", localhost, "fragment", "-"},
             {"cut short", localhost, "short", "-"},
             {"wrong UDP checksum", localhost, "sum", "-"},
             {"a response", "abcd 8100 0001 0000 0000 0000 01 61 00 0001 0001", "", "-"},
             {"two questions", "abcd 0100 0002 0000 0000 0000 01 61 00 0001 0001", "", "-"},
             {"MX", "abcd 0100 0001 0000 0000 0000 01 61 00 000f 0001", "", "-"},
             {"compressed name", "abcd 0100 0001 0000 0000 0000 c00c 0001 0001", "", "-"},
             {"a dot in a label", "abcd 0100 0001 0000 0000 0000 03 612e62 00 0001 0001", "", "-"},
             {"label past the end", "abcd 0100 0001 0000 0000 0000 3f 6162", "", "-"}});
    }
    void dnsQuestion() {
        const QByteArray packet = DnsPacket(cell("dns").toLatin1(), cell("tweak"));
        const auto q = ReadDnsQuestion(packet.toStdString(), 0x0A000203);
        QCOMPARE(q ? QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(q->type == DnsQuestion::kTypeA ? "A" : "AAAA",
                              QString::fromStdString(q->name), q->recursionDesired ? "1" : "0")
                         .arg(q->id, 0, 16)
                         .arg(q->clientPort)
                   : "-",
                 cell("read"));
    }

    // The answer echoes the question, with checksums that hold.
    void dnsAnswer_data() {
        addRows({"type", "outcome", "dns"},
                {{"A found", "1 found",
                  "abcd 8180 0001 0002 0000 0000 QQ 0001 0001 c00c 0001 0001 0000003c "
                  "0004 7f000001 c00c 0001 0001 0000003c 0004 0a000001"},
                 {"AAAA found", "28 found", "abcd 8180 0001 0000 0000 0000 QQ 001c 0001"},
                 {"no such name", "1 none", "abcd 8183 0001 0000 0000 0000 QQ 0001 0001"},
                 {"resolver failed", "1 failed", "abcd 8182 0001 0000 0000 0000 QQ 0001 0001"}});
    }
    void dnsAnswer() {
        const QStringList how = cell("outcome").split(' ');
        const QByteArray name = "09 6c6f63616c686f7374 00";
        const QByteArray query =
            DnsPacket("abcd 0100 0001 0000 0000 0000" + name +
                          QByteArray::number(how[0].toInt(), 16).rightJustified(4, '0') + "0001",
                      "");
        const auto q = ReadDnsQuestion(query.toStdString(), 0x0A000203);
        QVERIFY(q);
        const DnsOutcome outcome = how[1] == "found"  ? DnsOutcome::Found
                                   : how[1] == "none" ? DnsOutcome::NoSuchName
                                                      : DnsOutcome::Failed;
        const QByteArray answer =
            QByteArray::fromStdString(DnsAnswerPacket(*q, outcome, {0x7F000001, 0x0A000001}));
        QByteArray header = answer.left(20);
        header[10] = header[11] = 0;
        QCOMPARE(header.toHex(), "4500" +
                                     QByteArray::number(answer.size(), 16).rightJustified(4, '0') +
                                     "00000000401100000a0002030a00020f");
        QCOMPARE(OnesComplement(answer.left(20)), std::uint16_t(0));
        QCOMPARE(answer.mid(20, 4).toHex(), QByteArray("00350fa0"));
        const QByteArray pseudo =
            answer.mid(12, 8) + QByteArray::fromHex("0011") + answer.mid(24, 2);
        QCOMPARE(OnesComplement(pseudo + answer.mid(20)), std::uint16_t(0));
        QCOMPARE(answer.mid(28).toHex(),
                 cell("dns").toLatin1().replace("QQ", name).replace(" ", ""));
    }

    // With the desktop out of reach, TCP and UDP to the gateway's own address
    // are refused at once: ICMP "administratively prohibited", from the
    // gateway, quoting the header and 8 bytes ("-": left to its usual way).
    void gatewayRefusal_data() {
        addRows({"tweak", "refused"}, {{"UDP", "to", "yes"},
                                       {"TCP", "to tcp", "yes"},
                                       {"a first fragment", "to fragment", "yes"},
                                       {"to the DNS address", "", "-"},
                                       {"ICMP", "to icmp", "-"},
                                       {"a later fragment", "to later", "-"},
                                       {"cut short", "to short", "-"}});
    }
    void gatewayRefusal() {
        const QByteArray packet =
            DnsPacket("abcd 0100 0001 0000 0000 0000 01 61 00 0001 0001", cell("tweak"));
        const auto reply = GatewayRefusal(packet.toStdString(), 0x0A000202);
        QCOMPARE(reply ? "yes" : "-", cell("refused"));
        if (!reply) {
            return;
        }
        const QByteArray answer = QByteArray::fromStdString(*reply);
        QByteArray header = answer.left(20);
        header[10] = header[11] = 0;
        QCOMPARE(header.toHex(), QByteArray("4500003800000000400100000a0002020a00020f"));
        QCOMPARE(OnesComplement(answer.left(20)), std::uint16_t(0));
        QCOMPARE(OnesComplement(answer.mid(20)), std::uint16_t(0));
        QCOMPARE(answer.mid(20, 2).toHex() + answer.mid(24, 4).toHex(), QByteArray("030d00000000"));
        QCOMPARE(answer.mid(28), packet.left(28));
    }

    void describe() {
        const QByteArray frame = QByteArray::fromHex(cell("frame").toLatin1());
        QCOMPARE(QString::fromStdString(
                     DescribePppFrame({frame.constData(), std::size_t(frame.size())})),
                 cell("text"));
    }
};

QTEST_GUILESS_MAIN(TestPpp)
#include "tst_ppp.moc"
