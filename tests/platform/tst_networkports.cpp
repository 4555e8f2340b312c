// Ports whose far end is a network endpoint, against real servers on the
// loopback address: an echo server, a telnet server written here, ser2net
// serving a pseudo-terminal as a remote serial port. Failures are checked
// through the redirection switch, as the user meets them.
#include "config/settings.h"
#include "core/redirectionswitch.h"
#include "platform/iniprofilefile.h"
#include "platform/routingserialport.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace loomway;
using namespace loomway::test;

namespace {

std::string allBytes() {
    std::string data;
    for (int i = 0; i < 256; ++i) {
        data += static_cast<char>(i);
    }
    return data;
}

// A port number on which nothing listens.
quint16 closedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// The switch as the program builds it: the handheld a stand-in, the modem the
// real port, the settings a real file mapping COM2 to `modem`.
struct Rig {
    IniProfileFile file{IniProfileFile::DefaultPath()};
    Settings settings;
    FakeSerialPort handheld;
    RoutingSerialPort modem{[this](int n) { return PortDevice(file, n); }, file};
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch sw{file, settings, handheld, modem, lamps, messages, status};
    std::string got;

    explicit Rig(const std::string& modemTarget, const char* speed = "9600") {
        writeSettingsFile(
            "[Source]\nPort=1\n[Destination]\nPort=2\n[Common]\nSpeed=" + QByteArray(speed) +
            "\n[Ports]\nCOM2=" + QByteArray::fromStdString(modemTarget) + "\n");
        settings.SerialMethodOn = true;
        modem.SetLostHandler([this](const PortError& e) { sw.OnPortLost(modem, e); });
        modem.SetReceiveHandler([this] { got += modem.ReadAll(); });
    }
};

const char* const kTelnetServer = R"(
import socket, sys
IAC, WILL, WONT, DO, DONT = 255, 251, 252, 253, 254
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(1)
print(s.getsockname()[1], flush=True)
c, _ = s.accept()
# Binary both ways, a terminal type (24) asked for, an unknown option offered;
# then data with a doubled IAC.
c.sendall(bytes([IAC, DO, 0, IAC, WILL, 0, IAC, DO, 24, IAC, WILL, 200]) + b"A\xff\xffB\x00\r\n")
raw = b""
while not raw.endswith(b"END"):
    chunk = c.recv(4096)
    if not chunk:
        break
    raw += chunk
open(sys.argv[1], "wb").write(raw)
c.close()
)";

} // namespace

class TestNetworkPorts : public QObject {
    Q_OBJECT
private slots:
    // Bytes written while connecting go out once the connection stands; every
    // byte value passes both ways unchanged.
    void tcpEchoesEveryByte() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&server] {
            QTcpSocket* peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, peer,
                             [peer] { peer->write(peer->readAll()); });
        });
        Rig rig("tcp:127.0.0.1:" + std::to_string(server.serverPort()));
        rig.sw.StartRedirection();
        QVERIFY(rig.modem.IsOpen());
        QCOMPARE(rig.status.status, std::string("STATUS:  ON"));
        rig.modem.Write(allBytes());
        QTRY_COMPARE(rig.got.size(), std::size_t(256));
        QCOMPARE(rig.got, allBytes());
        QVERIFY(rig.messages.messages.empty());
        rig.sw.EndRedirection();
        QVERIFY(!rig.modem.IsOpen());
    }

    // A failure while connecting reaches the user after the switch-on has
    // returned, with the message of its code and a line that says what
    // happened; a text of no known form fails at once.
    void failures_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("host not found") << "tcp:no-such-host.invalid:23" << 8002
                                        << "the host no-such-host.invalid cannot be found";
        QTest::newRow("refused") << QString("telnet:127.0.0.1:%1").arg(closedPort()) << 8012
                                 << "was refused";
        QTest::newRow("no such form") << "ftp:host:21" << 380 << "tcp:HOST:PORT";
    }
    void failures() {
        QFETCH(QString, target);
        QFETCH(int, code);
        QFETCH(QString, says);
        Rig rig(target.toStdString());
        rig.sw.StartRedirection();
        QTRY_COMPARE(rig.messages.messages.size(), std::size_t(1));
        const auto& message = rig.messages.messages.front();
        QVERIFY2(message.text.find(says.toStdString()) != std::string::npos, message.text.c_str());
        QVERIFY(!rig.modem.IsOpen());
        if (code == 380) {
            QCOMPARE(message.title, std::string("Port Error"));
            QVERIFY(message.text.rfind("Error Number:  380-Error - COM2: ", 0) == 0);
            return;
        }
        const std::string fixed =
            code == 8002 ? "Communications port 2 cannot be\naccessed at this time.  Make sure\n"
                           "no other devices are utilizing COM2\nand that you are using the "
                           "correct port.\n\n"
                         : "Communications port 2 cannot be \naccessed at this time.  Make sure "
                           "\n that the device is powered on and properly\nconnected.\n\n";
        QCOMPARE(message.title,
                 std::string(code == 8002 ? "Port Error" : "Verify Power/Connection"));
        QVERIFY2(message.text.rfind(fixed + target.toStdString() + ": ", 0) == 0,
                 message.text.c_str());
        QVERIFY(!rig.sw.RedirectionActive());
        QCOMPARE(rig.status.status, std::string("STATUS:  OFF"));
    }

    // Options beyond binary transmission are refused, IAC is doubled on the
    // way out and undone on the way in; the server's close is a lost port.
    void telnetServer() {
        const QString script = scratchDir() + "/telnetd.py";
        const QString received = scratchDir() + "/telnet-received";
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kTelnetServer) > 0);
        file.close();
        QProcess server;
        server.start("python3", {script, received});
        QVERIFY(server.waitForReadyRead(10000));
        const int port = server.readLine().trimmed().toInt();
        QVERIFY(port > 0);

        Rig rig("telnet:127.0.0.1:" + std::to_string(port));
        rig.sw.StartRedirection();
        QTRY_COMPARE(rig.got, std::string("A\xff"
                                          "B\0\r\n",
                                          6));
        rig.modem.Write(std::string("x\xff\0y", 4) + "END");
        QTRY_COMPARE_WITH_TIMEOUT(server.state(), QProcess::NotRunning, 10000);
        QFile back(received);
        QVERIFY(back.open(QIODevice::ReadOnly));
        const QByteArray raw = back.readAll();
        QVERIFY(raw.endsWith(QByteArray("x\xff\xff\0yEND", 8)));
        QVERIFY(raw.contains("\xff\xfc\x18")); // WONT TERMINAL-TYPE
        QVERIFY(raw.contains("\xff\xfe\xc8")); // DONT option 200
        QVERIFY(raw.contains("\xff\xfb\x00")); // WILL BINARY
        QTRY_COMPARE(rig.messages.messages.size(), std::size_t(1));
        QCOMPARE(rig.messages.messages[0].title, std::string("Verify Power/Connection"));
        QVERIFY(!rig.sw.RedirectionActive());
    }

    // ser2net in front of a pseudo-terminal: the speed and 8N1 reach the
    // device at open and again when the speed changes; bytes pass both ways.
    void remoteSerialPortThroughSer2net() {
        int master = -1;
        int slave = -1;
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        const QString device = QString::fromLocal8Bit(::ttyname(slave));
        const quint16 port = closedPort();
        const QString config = scratchDir() + "/ser2net.yaml";
        QFile yaml(config);
        QVERIFY(yaml.open(QIODevice::WriteOnly));
        yaml.write(QString("connection: &c1\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                           "  connector: serialdev,%2,9600n81,local\n")
                       .arg(port)
                       .arg(device)
                       .toUtf8());
        yaml.close();
        QProcess ser2net;
        ser2net.start("ser2net", {"-n", "-u", "-c", config, "-P", scratchDir() + "/ser2net.pid"});
        QVERIFY(ser2net.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(([port] {
                                     QTcpSocket probe;
                                     probe.connectToHost(QHostAddress::LocalHost, port);
                                     return probe.waitForConnected(200);
                                 }()),
                                 10000);

        const auto speedIs = [master](speed_t speed) {
            termios t{};
            return ::tcgetattr(master, &t) == 0 && ::cfgetospeed(&t) == speed &&
                   (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & PARENB) && !(t.c_cflag & CSTOPB);
        };
        Rig rig("rfc2217:127.0.0.1:" + std::to_string(port), "57600");
        rig.sw.StartRedirection();
        QTRY_VERIFY_WITH_TIMEOUT(speedIs(B57600), 10000);
        rig.modem.SetSettings("19200,N,8,1");
        QTRY_VERIFY(speedIs(B19200));

        ::fcntl(master, F_SETFL, O_NONBLOCK);
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::cfsetspeed(&raw, B19200);
        ::tcsetattr(slave, TCSANOW, &raw);
        rig.modem.Write(allBytes());
        std::string atDevice;
        QTRY_VERIFY(([&] {
            char buffer[512];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            atDevice.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
            return atDevice.size() >= 256;
        }()));
        QCOMPARE(atDevice, allBytes());
        QCOMPARE(::write(master, "pong\xff", 5), ssize_t(5));
        QTRY_COMPARE(rig.got, std::string("pong\xff"));
        rig.sw.EndRedirection();
        ser2net.terminate();
        ser2net.waitForFinished();
        ::close(master);
        ::close(slave);
    }
};

QTEST_GUILESS_MAIN(TestNetworkPorts)
#include "tst_networkports.moc"
