// The redirection switch over real ports and a real settings file: every
// port is a pseudo-terminal that [Ports] in LOOMWAY.INI maps to.
#include "config/settings.h"
#include "core/redirectionswitch.h"
#include "platform/iniprofilefile.h"
#include "platform/qtserialport.h"
#include "tests/support/fakes.h"
#include "tests/support/ptypair.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTest>

#include <cstdio>
#include <memory>

#include <sys/resource.h>
#include <unistd.h>

using namespace loomway;
using namespace loomway::test;

namespace {

const char* const kVerifyText = "cannot be \naccessed at this time.  Make sure \n"
                                " that the device is powered on and properly\nconnected.";

std::string allBytes() {
    std::string data;
    for (int i = 0; i < 256; ++i) {
        data += static_cast<char>(i);
    }
    return data;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string portError(int port, const std::string& ending) {
    const std::string p = std::to_string(port);
    return "Communications port " + p + " cannot be\naccessed at this time.  Make sure\n" +
           "no other devices are utilizing COM" + p + "\n" + ending;
}

// The switch as the program builds it, with recording stand-ins for the window.
struct Program {
    IniProfileFile file{IniProfileFile::DefaultPath()};
    Settings settings;
    QtSerialPort handheld{[this](int n) { return PortDevice(file, n); }};
    QtSerialPort modem{[this](int n) { return PortDevice(file, n); }};
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch sw{file, settings, handheld, modem, lamps, messages, status};

    Program() {
        LoadMethods(file, settings);
        handheld.SetLostHandler([this](const PortError& e) { sw.OnPortLost(handheld, e); });
        modem.SetLostHandler([this](const PortError& e) { sw.OnPortLost(modem, e); });
    }
};

// A settings file with the two ports mapped to the given devices.
void configure(const QString& handheldDevice, const QString& modemDevice,
               const QByteArray& speed = "9600", const QByteArray& extra = "") {
    writeSettingsFile("[Source]\nPort=1\n[Destination]\nPort=2\n[Common]\nSpeed=" + speed +
                      "\n[Ports]\nCOM1=" + handheldDevice.toLocal8Bit() +
                      "\nCOM2=" + modemDevice.toLocal8Bit() + "\n" + extra);
}

int holdPort(const char* device) {
    QSerialPort port;
    port.setPortName(QString::fromLocal8Bit(device));
    if (!port.open(QIODevice::ReadWrite)) {
        std::printf("failed\n");
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}

} // namespace

class TestPortPair : public QObject {
    Q_OBJECT
private slots:
    void init() { QFile::remove(settingsFilePath()); }

    void switchOnOpensBothAndBytesPassUnchanged() {
        PtyPair one, two;
        QVERIFY(one.ok() && two.ok());
        configure(one.programEnd(), two.programEnd(), "115200");
        Program program;
        program.sw.ToggleRedirection();
        QVERIFY(program.messages.messages.empty());
        QVERIFY(program.sw.RedirectionActive());
        QVERIFY(program.handheld.IsOpen() && program.modem.IsOpen());
        QCOMPARE(program.status.status, std::string("STATUS:  ON"));
        QCOMPARE(program.lamps.shown[Lamp::imgOnOff], LampPicture::imgON);
        QCOMPARE(program.lamps.shown[Lamp::imgPWR], LampPicture::IMG_ON);
        QCOMPARE(program.handheld.Device(), one.programEnd().toStdString());
        QCOMPARE(program.modem.Device(), two.programEnd().toStdString());

        FarEnd palm(one.farEnd()), modem(two.farEnd());
        QVERIFY(palm.ok() && modem.ok());
        const std::string all = allBytes();
        for (auto [far, port] :
             {std::pair{&palm, &program.handheld}, std::pair{&modem, &program.modem}}) {
            far->write(all);
            QTRY_COMPARE(port->BytesWaiting(), std::size_t(256));
            QCOMPARE(port->ReadAll(), all);
            QCOMPARE(port->ReadAll(), std::string());
            port->Write(all);
            QCOMPARE(far->read(256), all);
        }

        program.sw.ToggleRedirection();
        QVERIFY(!program.handheld.IsOpen() && !program.modem.IsOpen());
        QCOMPARE(program.status.status, std::string("STATUS:  OFF"));
        QCOMPARE(program.lamps.shown[Lamp::imgOnOff], LampPicture::imgOFF);
        QCOMPARE(program.lamps.shown[Lamp::imgPWR], LampPicture::IMG_OFF);
    }

    void missingModemDeviceIs8002AndClosesTheHandheldPort() {
        PtyPair one;
        QVERIFY(one.ok());
        configure(one.programEnd(), scratchDir() + "/no-modem-here");
        Program program;
        program.sw.StartRedirection();
        QCOMPARE(program.messages.messages.size(), std::size_t(1));
        const auto& m = program.messages.messages[0];
        QCOMPARE(m.title, std::string("Port Error"));
        QCOMPARE(m.text, portError(2, "and that you are using the correct port."));
        QCOMPARE(m.icon, MessageIcon::Exclamation);
        QCOMPARE(m.buttons, MessageButtons::Ok);
        QVERIFY(!program.handheld.IsOpen()); // closed again
        QVERIFY(!program.sw.RedirectionActive());
        QCOMPARE(program.status.status, std::string("STATUS:  OFF"));

        // The port is really released: something else can open it now.
        QtSerialPort other([&](int) { return one.programEnd().toStdString(); });
        other.Open();
        QVERIFY(other.IsOpen());
    }

    void missingHandheldDeviceIs8002() {
        PtyPair two;
        QVERIFY(two.ok());
        writeSettingsFile("[Source]\nPort=9\n[Destination]\nPort=2\n[Common]\nSpeed=9600\n"
                          "[Ports]\nCOM9=" +
                          (scratchDir() + "/no-palm-here").toLocal8Bit() +
                          "\nCOM2=" + two.programEnd().toLocal8Bit() + "\n");
        Program program;
        program.sw.StartRedirection();
        QCOMPARE(program.messages.messages.size(), std::size_t(1));
        QCOMPARE(program.messages.messages[0].text,
                 portError(9, "and that you are using the correct port."));
        QVERIFY(!program.modem.IsOpen());
    }

    void portHeldByAnotherProcessIs8005() {
        PtyPair one, two;
        QVERIFY(one.ok() && two.ok());
        configure(one.programEnd(), two.programEnd());
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {"--hold", one.programEnd()});
        QVERIFY(holder.waitForStarted(5000));
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        Program program;
        program.sw.StartRedirection();
        QCOMPARE(program.messages.messages.size(), std::size_t(1));
        QCOMPARE(program.messages.messages[0].title, std::string("Port Error"));
        QCOMPARE(program.messages.messages[0].text, portError(1, "and try to connect again."));
        QVERIFY(!program.sw.RedirectionActive());
        QVERIFY(!program.modem.IsOpen());
        QCOMPARE(program.status.status, std::string("STATUS:  OFF"));

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        program.sw.StartRedirection(); // released: the next click works
        QVERIFY(program.sw.RedirectionActive());
        QCOMPARE(program.messages.messages.size(), std::size_t(1));
    }

    void regularFileAsDeviceIs8012() {
        PtyPair two;
        QVERIFY(two.ok());
        const QString file = scratchDir() + "/not-a-port";
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("plain file");
        }
        configure(file, two.programEnd());
        Program program;
        program.sw.StartRedirection();
        QCOMPARE(program.messages.messages.size(), std::size_t(1));
        QCOMPARE(program.messages.messages[0].title, std::string("Verify Power/Connection"));
        QCOMPARE(program.messages.messages[0].text,
                 std::string("Communications port 1 ") + kVerifyText);
        QVERIFY(!program.sw.RedirectionActive());
        QCOMPARE(program.status.status, std::string("STATUS:  OFF"));
    }

    void writeToAClosedPortGivesThe8018Message() {
        PtyPair one, two;
        QVERIFY(one.ok() && two.ok());
        configure(one.programEnd(), two.programEnd());
        Program program;
        program.sw.StartRedirection();
        program.modem.Close();
        try {
            program.modem.Write("ATZ\r");
            QFAIL("writing to a closed port must fail");
        } catch (const PortError& error) {
            program.sw.ReportPortError(error.code, error.description);
        }
        QCOMPARE(program.messages.messages.size(), std::size_t(1));
        QCOMPARE(program.messages.messages[0].title, std::string("Port not Connected"));
        QCOMPARE(program.messages.messages[0].text,
                 std::string("It appears that one (or more) devices is\n"
                             "currently in use by another program or not available\n"
                             "Please correct the conflicting (or missing) port."));
        QVERIFY(!program.sw.RedirectionActive());
        QVERIFY(!program.handheld.IsOpen());
    }

    void absentSpeedGivesTheAnyOtherMessage() {
        PtyPair one, two;
        QVERIFY(one.ok() && two.ok());
        configure(one.programEnd(), two.programEnd(), "-1");
        Program program;
        program.sw.StartRedirection();
        QCOMPARE(program.messages.messages.size(), std::size_t(1));
        QCOMPARE(program.messages.messages[0].title, std::string("Port Error"));
        QCOMPARE(program.messages.messages[0].text,
                 std::string("Error Number:  380-Error - Invalid property value"));
        QCOMPARE(program.messages.messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(!program.handheld.IsOpen());
        QVERIFY(!program.sw.RedirectionActive());
        QCOMPARE(program.status.updates, 0);
    }

    void nothingConfiguredShowsNothing() {
        Program program;
        program.sw.ToggleRedirection();
        QVERIFY(program.messages.messages.empty());
        QCOMPARE(program.status.updates, 0);
        QVERIFY(program.lamps.calls.empty());
        QVERIFY(!program.sw.RedirectionActive());
        QVERIFY(!program.handheld.IsOpen() && !program.modem.IsOpen());
        QVERIFY(!QFile::exists(settingsFilePath()));
    }

    void serialMethodOffOpensOnlyTheHandheldPort() {
        PtyPair one, two;
        QVERIFY(one.ok() && two.ok());
        configure(one.programEnd(), two.programEnd(), "9600", "[Methods]\nLMW_S=no\n");
        Program program;
        QVERIFY(!program.settings.SerialMethodOn);
        program.sw.StartRedirection();
        QVERIFY(program.messages.messages.empty());
        QVERIFY(program.handheld.IsOpen());
        QVERIFY(!program.modem.IsOpen());
        QCOMPARE(program.status.status, std::string("STATUS:  ON"));
        // The modem's device is free for anyone.
        QtSerialPort other([&](int) { return two.programEnd().toStdString(); });
        other.Open();
        QVERIFY(other.IsOpen());
    }

    void strandedPortDoesNotBlockTheNextSwitchOn() {
        PtyPair one, two;
        QVERIFY(one.ok() && two.ok());
        writeSettingsFile("[Source]\nPort=1\n[Common]\nSpeed=9600\n[Ports]\nCOM1=" +
                          one.programEnd().toLocal8Bit() +
                          "\nCOM2=" + two.programEnd().toLocal8Bit() + "\n");
        Program program;
        program.sw.StartRedirection(); // no modem port: 380, the handheld stays open
        QCOMPARE(program.messages.messages.size(), std::size_t(1));
        QCOMPARE(program.messages.messages[0].text,
                 std::string("Error Number:  380-Error - Invalid property value"));
        QVERIFY(program.handheld.IsOpen());

        // The user fixes the file; the next switch-on reads it and succeeds.
        QVERIFY(WriteSetting(program.file, "Destination", "Port", "2"));
        program.sw.StartRedirection();
        QCOMPARE(program.messages.messages.size(), std::size_t(1));
        QVERIFY(program.sw.RedirectionActive());
        QVERIFY(program.handheld.IsOpen() && program.modem.IsOpen());
    }

    void farEndClosedWhileOnShowsOneMessage() {
        PtyPair one, two;
        QVERIFY(one.ok() && two.ok());
        configure(one.programEnd(), two.programEnd());
        Program program;
        program.sw.StartRedirection();
        QVERIFY(program.sw.RedirectionActive());

        two.breakLine(); // the modem's cable is pulled
        QTRY_COMPARE_WITH_TIMEOUT(program.messages.messages.size(), std::size_t(1), 10000);
        QCOMPARE(program.messages.messages[0].title, std::string("Verify Power/Connection"));
        QCOMPARE(program.messages.messages[0].text,
                 std::string("Communications port 2 ") + kVerifyText);
        QVERIFY(!program.sw.RedirectionActive());
        QVERIFY(!program.handheld.IsOpen() && !program.modem.IsOpen());
        QCOMPARE(program.status.status, std::string("STATUS:  OFF"));
        QCOMPARE(program.lamps.shown[Lamp::imgOnOff], LampPicture::imgOFF);

        const double before = cpuSeconds();
        QTest::qWait(1000);
        const double used = cpuSeconds() - before;
        QVERIFY2(used < 0.3, qPrintable(QString("CPU seconds while idle: %1").arg(used)));
        QCOMPARE(program.messages.messages.size(), std::size_t(1));

        // Both lines gone at once: still one message.
        PtyPair three, four;
        QVERIFY(three.ok() && four.ok());
        configure(three.programEnd(), four.programEnd());
        program.sw.StartRedirection();
        QVERIFY(program.sw.RedirectionActive());
        three.breakLine();
        four.breakLine();
        QTRY_COMPARE_WITH_TIMEOUT(program.messages.messages.size(), std::size_t(2), 10000);
        QTest::qWait(500);
        QCOMPARE(program.messages.messages.size(), std::size_t(2));
        QVERIFY(!program.sw.RedirectionActive());
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--hold") {
        return holdPort(argv[2]);
    }
    TestPortPair test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_portpair.moc"
