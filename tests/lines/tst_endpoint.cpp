#include "lines/endpoint.h"

#include <QTest>

using namespace loomway;

class TestEndpoint : public QObject {
    Q_OBJECT
private slots:
    // `expected` is the endpoint written back, or "!" and a piece of the error.
    void parse_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("phonebook");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const char* text, bool phonebook, const char* expected) {
            QTest::newRow(name) << text << phonebook << expected;
        };
        row("device path", " /dev/ttyUSB0 ", false, "/dev/ttyUSB0");
        row("path with colons", "/dev/serial/by-path/pci-0:1.0", false,
            "/dev/serial/by-path/pci-0:1.0");
        row("bare device name", "ttyS1", false, "ttyS1");
        row("tcp", "tcp:bbs.example.org:23", false, "tcp:bbs.example.org:23");
        row("scheme in capitals", "TELNET:10.0.0.1:2323", true, "telnet:10.0.0.1:2323");
        row("rfc2217 IPv6", "rfc2217:[::1]:7000", false, "rfc2217:[::1]:7000");
        row("IPv6 with a zone", "tcp:[fe80::1%eth0]:23", true, "tcp:[fe80::1%eth0]:23");
        row("IPv6 with an empty zone", "tcp:[fe80::1%]:23", true, "!not an IPv6 address");
        row("modem", "modem:", false, "modem:");
        row("exec split with no shell", "exec:pppd notty 'a b' \"c\\\"d\" e\\ f $HOME", true,
            "exec:pppd notty 'a b' 'c\"d' 'e f' '$HOME'");
        row("highest port", "tcp:h:65535", true, "tcp:h:65535");
        row("empty", "  ", false, "!is not a port address (empty); use a serial device");
        row("unknown scheme", "ftp:host:21", false, "!unknown kind \"ftp:\"");
        row("no port", "tcp:host", false, "!no :PORT after the host");
        row("port zero", "tcp:host:0", false, "!not a number from 1 to 65535");
        row("port too big", "telnet:host:65536", false, "!not a number from 1 to 65535");
        row("port not a number", "tcp:host:2x", false, "!not a number from 1 to 65535");
        row("bare IPv6", "tcp:::1:23", false, "!in brackets");
        row("unclosed bracket", "tcp:[::1:23", false, "!no ']'");
        row("bad host", "tcp:a b:23", false, "!the host name holds");
        row("modem with text", "modem:x", false, "!nothing may follow");
        row("modem in the phonebook", "modem:", true, "!cannot be dialled); use tcp:HOST:PORT");
        row("exec as a port", "exec:slirp", false, "!only stand in [Phonebook]");
        row("device in the phonebook", "/dev/ttyS0", true, "!is not a phonebook entry");
        row("exec unterminated", "exec:sh 'x", true, "!unterminated quote");
        row("exec empty", "exec:  ", true, "!no program");
        row("text with blanks", "my modem", false, "!\"my modem\" is not a port address; use");
    }
    void parse() {
        QFETCH(QString, text);
        QFETCH(bool, phonebook);
        QFETCH(QString, expected);
        const EndpointUse use = phonebook ? EndpointUse::Phonebook : EndpointUse::Port;
        const EndpointParse r = ParseEndpoint(text.toStdString(), use);
        if (expected.startsWith('!')) {
            QVERIFY(!r.endpoint);
            QVERIFY2(QString::fromStdString(r.error).contains(expected.mid(1)), r.error.c_str());
            return;
        }
        QVERIFY2(r.endpoint && r.error.empty(), r.error.c_str());
        QCOMPARE(QString::fromStdString(EndpointText(*r.endpoint)), expected);
        // Written back, it reads as the same endpoint.
        QCOMPARE(ParseEndpoint(EndpointText(*r.endpoint), use).endpoint, r.endpoint);
    }
};

QTEST_GUILESS_MAIN(TestEndpoint)
#include "tst_endpoint.moc"
