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
    // returned, with the title of its code and a line that says what
    // happened; a text of no known form fails at once.
    void failures_data() {
        addRows({"target", "title", "says"},
                {{"host not found", "tcp:no-such-host.invalid:23", "Port Error",
                  "tcp:no-such-host.invalid:23: the host no-such-host.invalid cannot be found"},
                 {"refused", "telnet:127.0.0.1:%1", "Verify Power/Connection", "was refused"},
                 {"no such form", "ftp:host:21", "Port Error", "380-Error - COM2: "}});
    }
    void failures() {
        QFETCH(QString, target);
        QFETCH(QString, title);
        QFETCH(QString, says);
        Rig rig(target.replace("%1", QString::number(closedPort())).toStdString());
        rig.sw.StartRedirection();
        QTRY_COMPARE(rig.messages.messages.size(), std::size_t(1));
        const auto& message = rig.messages.messages.front();
        QCOMPARE(QString::fromStdString(message.title), title);
        QVERIFY2(message.text.find(says.toStdString()) != std::string::npos, message.text.c_str());
        QVERIFY(!rig.modem.IsOpen() && !rig.sw.RedirectionActive());
        QVERIFY(target.startsWith("ftp") || rig.status.status == "STATUS:  OFF"); // fails at once
    }

    // Options beyond binary transmission are refused, IAC is doubled on the
    // way out and undone on the way in; the server's close is a lost port.
    void telnetServer() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QByteArray raw;
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
            QTcpSocket* peer = server.nextPendingConnection();
            // Binary both ways, a terminal type (24) asked for, an unknown option
            // offered; then data with a doubled IAC.
            peer->write("\xff\xfd\x00\xff\xfb\x00\xff\xfd\x18\xff\xfb\xc8"
                        "A\xff\xff"
                        "B\0\r\n",
                        19);
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [&raw, peer] {
                if ((raw += peer->readAll()).endsWith("END")) {
                    peer->disconnectFromHost();
                }
            });
        });
        Rig rig("telnet:127.0.0.1:" + std::to_string(server.serverPort()));
        rig.sw.StartRedirection();
        QTRY_COMPARE(rig.got, std::string("A\xff"
                                          "B\0\r\n",
                                          6));
        rig.modem.Write(std::string("x\xff\0y", 4) + "END");
        QTRY_COMPARE(rig.messages.messages.size(), std::size_t(1));
        QCOMPARE(rig.messages.messages[0].title, std::string("Verify Power/Connection"));
        QVERIFY(!rig.sw.RedirectionActive());
        QVERIFY(raw.endsWith(QByteArray("x\xff\xff\0yEND", 8)));
        QVERIFY(raw.contains("\xff\xfc\x18")); // WONT TERMINAL-TYPE
        QVERIFY(raw.contains("\xff\xfe\xc8")); // DONT option 200
        QVERIFY(raw.contains("\xff\xfb\x00")); // WILL BINARY
    }

    // ser2net in front of a pseudo-terminal: the speed and 8N1 reach the
    // device at open and again when the speed changes; bytes pass both ways.
    void remoteSerialPortThroughSer2net() {
        int master = -1;
        int slave = -1;
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        const QString device = QString::fromLocal8Bit(::ttyname(slave));
        const quint16 port = closedPort();
        QProcess ser2net;
        ser2net.start("ser2net",
                      {"-n", "-u", "-Y",
                       QString("connection: &c1\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                               "  connector: serialdev,%2,9600n81,local\n")
                           .arg(port)
                           .arg(device),
                       "-P", scratchDir() + "/ser2net.pid"});
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

        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::cfsetspeed(&raw, B19200);
        ::tcsetattr(slave, TCSANOW, &raw);
        rig.modem.Write(allBytes());
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        std::string atDevice;
        char buffer[512];
        QTRY_VERIFY(atDevice
                        .append(buffer, std::size_t(std::max<ssize_t>(
                                            0, ::read(master, buffer, sizeof buffer))))
                        .size() >= 256);
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
