// The built-in modem port (modem:) dialling [Phonebook] numbers: an exec:
// program of the test's own on a pseudo-terminal, started with no shell and
// ended and reaped at hang-up, at switch-off, when it ends by itself and when
// the port goes; network numbers that cannot be reached.
#include "config/settings.h"
#include "platform/iniprofilefile.h"
#include "platform/routingserialport.h"
#include "tests/support/testsupport.h"

#include <QTcpServer>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <memory>
#include <numeric>

using namespace loomway;
using namespace loomway::test;

namespace {

bool reaped(qint64 pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH;
}

struct Rig {
    IniProfileFile file{IniProfileFile::DefaultPath()};
    std::unique_ptr<RoutingSerialPort> port;
    std::string got;

    Rig() {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        // The program prints its arguments, then echoes 300 bytes and ends.
        writeSettingsFile("[Ports]\nCOM2=modem:\n[Phonebook]\n5551234=exec:sh -c 'printf \"%s|\" "
                          "\"$@\"; printf \"\\r\\n\"; exec dd bs=1 count=300 status=none' sh "
                          "'two words' \"$HOME\" ;x\n7=tcp:127.0.0.1:" +
                          QByteArray::number(closed.serverPort()) +
                          "\n8=telnet:no-such-host.invalid:23\n");
        Reopen();
    }
    void Reopen() {
        port = std::make_unique<RoutingSerialPort>([this](int n) { return PortDevice(file, n); },
                                                   file);
        port->SetReceiveHandler([this] { got += port->ReadAll(); });
        port->SetPortNumber(2);
        port->SetSettings("38400,N,8,1");
        port->Open();
    }
    // Sends a line and waits until `answer` has come; what came is consumed.
    bool Say(const std::string& line, const std::string& answer) {
        got.clear();
        port->Write(line);
        return QTest::qWaitFor([&] { return got.find(answer) != std::string::npos; }, 10000);
    }
    qint64 Call() {
        // A short escape guard time (S12, in 1/50 s) keeps the test quick.
        if (!Say("ATS12=2\r", "OK") || !Say("ATDT555-1234\r", "CONNECT 38400\r\n") ||
            !QTest::qWaitFor([&] { return got.find("$HOME|;x|\r\n") != std::string::npos; })) {
            return 0;
        }
        return port->Modem().ProgramId();
    }
};

} // namespace

class TestBuiltinModem : public QObject {
    Q_OBJECT
private slots:
    // Dialled with a hyphen, found by its digits; its words split as a shell
    // would, nothing expanded; every byte passes.
    void execProgram() {
        Rig rig;
        qint64 pid = rig.Call();
        QVERIFY(pid > 0);
        QVERIFY2(rig.got.find("two words|$HOME|;x|\r\n") != std::string::npos, rig.got.c_str());
        std::string every(256, '\0');
        std::iota(every.begin(), every.end(), '\0');
        QVERIFY(rig.Say(every, every));
        QCOMPARE(rig.got, every);

        // "+++" between two guard times, then ATH.
        QTest::qWait(150);
        rig.got.clear();
        rig.port->Write("+++");
        QTRY_VERIFY(rig.got.find("\r\nOK\r\n") != std::string::npos);
        QVERIFY(rig.Say("ATH\r", "OK"));
        QTRY_VERIFY(reaped(pid));

        // Ended at switch-off, by itself (NO CARRIER), and with the port.
        pid = rig.Call();
        rig.port->Close();
        QTRY_VERIFY(reaped(pid));
        rig.port->Open();
        pid = rig.Call();
        QVERIFY(rig.Say(std::string(300, 'x'), "NO CARRIER"));
        QTRY_VERIFY(reaped(pid));
        pid = rig.Call();
        QVERIFY(pid > 0);
        rig.port.reset();
        QVERIFY(reaped(pid));
    }

    void unreachableNumbers() {
        Rig rig;
        QVERIFY(rig.Say("ATDT7\r", "BUSY\r\n"));
        QVERIFY(rig.Say("ATDT8\r", "NO CARRIER\r\n"));
        QVERIFY(rig.Say("ATDT999\r", "NO CARRIER\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestBuiltinModem)
#include "tst_builtinmodem.moc"
