#include "platform/qtserialport.h"
#include "tests/support/ptypair.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <memory>
#include <random>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

using loomway::PortError;
using loomway::QtSerialPort;
using namespace loomway::test;

namespace {

std::string allBytes() {
    std::string data;
    for (int i = 0; i < 256; ++i) {
        data += static_cast<char>(i);
    }
    return data;
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(byte(gen));
    }
    return data;
}

// The code and description of the PortError that f throws; code 0 if none.
template <typename F> PortError failureOf(F&& f) {
    try {
        f();
    } catch (const PortError& error) {
        return error;
    }
    return PortError{};
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A port mapped to a fixed device path.
std::unique_ptr<QtSerialPort> portOn(const QString& device) {
    const std::string path = device.toStdString();
    return std::make_unique<QtSerialPort>([path](int) { return path; });
}

std::unique_ptr<QtSerialPort> openPortOn(const QString& device) {
    auto port = portOn(device);
    port->SetPortNumber(1);
    port->SetSettings("115200,N,8,1");
    port->Open();
    return port;
}

// Helper modes of this executable, run as a second process.
int holdPort(const char* device) {
    QSerialPort port;
    port.setPortName(QString::fromLocal8Bit(device));
    if (!port.open(QIODevice::ReadWrite)) {
        std::printf("failed %s\n", qPrintable(port.errorString()));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}

int openAsNobody(const char* device) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
        std::printf("nosetuid\n");
        return 2;
    }
    const std::string path = device;
    QtSerialPort port([path](int) { return path; });
    PortError error = failureOf([&] {
        port.SetPortNumber(1);
        port.Open();
    });
    std::printf("%d %s\n", error.code, error.description.c_str());
    return 0;
}

} // namespace

class TestQtSerialPort : public QObject {
    Q_OBJECT
private slots:
    void everyByteValuePassesBothWays() {
        PtyPair pair;
        QVERIFY(pair.ok());
        auto port = openPortOn(pair.programEnd());
        FarEnd far(pair.farEnd());
        QVERIFY(far.ok());
        int events = 0;
        bool onOwnThread = true;
        port->SetReceiveHandler([&] {
            ++events;
            onOwnThread =
                onOwnThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        });

        const std::string all = allBytes();
        far.write(all);
        QTRY_COMPARE(port->BytesWaiting(), std::size_t(256));
        QVERIFY(events > 0);
        QVERIFY(onOwnThread);
        QCOMPARE(port->ReadAll(), all);
        QCOMPARE(port->ReadAll(), std::string());
        QCOMPARE(port->BytesWaiting(), std::size_t(0));

        port->Write(all);
        QCOMPARE(far.read(256), all);
        QCOMPARE(far.readFor(100), std::string());
    }

    void largeChunksArriveWholeAndInOrder() {
        PtyPair pair;
        QVERIFY(pair.ok());
        auto port = openPortOn(pair.programEnd());
        FarEnd far(pair.farEnd());
        QVERIFY(far.ok());

        const std::string out = randomBytes(1 << 20, 1);
        port->Write(out.substr(0, 100000));
        port->Write(out.substr(100000));
        QCOMPARE(far.read(out.size(), 10000).size(), out.size());

        std::string received;
        port->SetReceiveHandler([&] { received += port->ReadAll(); });
        const std::string in = randomBytes(1 << 20, 2);
        far.write(in);
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), in.size(), 20000);
        QVERIFY(received == in);
    }

    void largeWriteContentIsExact() {
        PtyPair pair;
        QVERIFY(pair.ok());
        auto port = openPortOn(pair.programEnd());
        FarEnd far(pair.farEnd());
        const std::string out = randomBytes(300000, 3);
        for (std::size_t at = 0; at < out.size(); at += 4096) {
            PortError e = failureOf([&] { port->Write(out.substr(at, 4096)); });
            QVERIFY2(
                e.code == 0,
                (std::to_string(at) + " " + std::to_string(e.code) + " " + e.description).c_str());
        }
        QVERIFY(far.read(out.size(), 10000) == out);
    }

    // A far end that reads nothing for a while fills the device: the writes
    // wait in the port (its backlog shows it), nothing is taken for a lost
    // device, and every byte arrives once the far end reads again.
    void aFullDeviceIsNotALostDevice() {
        PtyPair pair;
        QVERIFY(pair.ok());
        auto port = openPortOn(pair.programEnd());
        int lost = 0;
        int written = 0;
        port->SetLostHandler([&](const PortError&) { ++lost; });
        port->SetWrittenHandler([&] { ++written; });
        FarEnd far(pair.farEnd());
        const std::string out = randomBytes(2 * 1024 * 1024, 7);
        // Chunk by chunk with events in between, as a relay writes.
        for (std::size_t at = 0; at < out.size(); at += 4096) {
            port->Write(out.substr(at, 4096));
            QCoreApplication::processEvents();
        }
        QTest::qWait(500);
        QVERIFY(port->IsOpen());
        QCOMPARE(lost, 0);
        QVERIFY(port->BytesToWrite() > 0);
        QVERIFY(far.read(out.size(), 10000) == out);
        QTRY_COMPARE(port->BytesToWrite(), std::size_t(0));
        QVERIFY(written > 0);
        QVERIFY(port->IsOpen());
        QCOMPARE(lost, 0);
    }

    void requeueRaisesTheEventOnceMore() {
        PtyPair pair;
        QVERIFY(pair.ok());
        auto port = openPortOn(pair.programEnd());
        FarEnd far(pair.farEnd());
        int events = 0;
        port->SetReceiveHandler([&] { ++events; }); // reads nothing
        far.write("abc");
        QTRY_VERIFY(events > 0);
        QTRY_COMPARE(port->BytesWaiting(), std::size_t(3));
        const int before = events;
        QTest::qWait(100);
        QCOMPARE(events, before); // nothing new arrived: no event

        port->RequeueReceiveEvent();
        QCOMPARE(events, before); // queued, not raised on the spot
        QTRY_COMPARE(events, before + 1);
        port->RequeueReceiveEvent();
        port->RequeueReceiveEvent(); // one pending request is enough
        QTest::qWait(50);
        QCOMPARE(events, before + 2);

        QCOMPARE(port->ReadAll(), std::string("abc"));
        port->RequeueReceiveEvent(); // nothing waiting: no event
        QTest::qWait(50);
        QCOMPARE(events, before + 2);
    }

    void receiveHandlerIsNeverReentered() {
        PtyPair pair;
        QVERIFY(pair.ok());
        auto port = openPortOn(pair.programEnd());
        FarEnd far(pair.farEnd());
        int depth = 0;
        int deepest = 0;
        int events = 0;
        std::string got;
        port->SetReceiveHandler([&] {
            ++depth;
            ++events;
            deepest = std::max(deepest, depth);
            if (events == 1) {
                // A nested event loop, as a modal message would run, while
                // more bytes come.
                far.write("more");
                QTest::qWait(200);
            } else {
                got += port->ReadAll();
            }
            --depth;
        });
        far.write("first");
        QTRY_COMPARE(QString::fromStdString(got), QString("firstmore"));
        QCOMPARE(deepest, 1);
        QCOMPARE(events, 2);
    }

    void settingsText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("9600") << "9600,N,8,1" << true;
        QTest::newRow("115200") << "115200,N,8,1" << true;
        QTest::newRow("110") << "110,N,8,1" << true;
        QTest::newRow("absent speed") << "-1,N,8,1" << false;
        QTest::newRow("zero") << "0,N,8,1" << false;
        QTest::newRow("not a number") << "fast,N,8,1" << false;
        QTest::newRow("decimal") << "9600.5,N,8,1" << false;
        QTest::newRow("blank") << " 9600,N,8,1" << false;
        QTest::newRow("even parity") << "9600,E,8,1" << false;
        QTest::newRow("seven bits") << "9600,N,7,1" << false;
        QTest::newRow("two stop bits") << "9600,N,8,2" << false;
        QTest::newRow("speed only") << "9600" << false;
        QTest::newRow("tail only") << ",N,8,1" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("too big") << "99999999999,N,8,1" << false;
    }
    void settingsText() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        auto port = portOn("/nonexistent");
        PortError error = failureOf([&] { port->SetSettings(text.toStdString()); });
        if (valid) {
            QCOMPARE(error.code, 0);
        } else {
            QCOMPARE(error.code, 380);
            QCOMPARE(error.description, std::string("Invalid property value"));
        }
    }

    void portNumberAndResolver() {
        PtyPair pair;
        QVERIFY(pair.ok());
        std::vector<int> asked;
        const std::string device = pair.programEnd().toStdString();
        QtSerialPort port([&](int n) {
            asked.push_back(n);
            return device;
        });
        PortError negative = failureOf([&] { port.SetPortNumber(-1); });
        QCOMPARE(negative.code, 380);
        QCOMPARE(negative.description, std::string("Invalid property value"));
        port.SetPortNumber(5);
        QCOMPARE(port.PortNumber(), 5);
        QVERIFY(asked.empty()); // resolved at the opening, not before
        port.Open();
        QCOMPARE(asked, std::vector<int>{5});
        QCOMPARE(port.Device(), device);
        QVERIFY(port.IsOpen());
        QCOMPARE(failureOf([&] { port.SetPortNumber(6); }).code, 8005);
        QCOMPARE(failureOf([&] { port.Open(); }).code, 8005);
        port.Close();
        QVERIFY(!port.IsOpen());
        port.Close(); // closing twice is harmless
    }

    void missingDeviceIs8002() {
        const QString missing = scratchDir() + "/no-such-device";
        auto port = portOn(missing);
        port->SetPortNumber(3);
        PortError error = failureOf([&] { port->Open(); });
        QCOMPARE(error.code, 8002);
        QVERIFY(error.description.find(missing.toStdString()) != std::string::npos);
        QVERIFY(!port->IsOpen());

        // A link whose device has gone away.
        const QString dangling = scratchDir() + "/dangling-link";
        QFile::remove(dangling);
        QVERIFY(QFile::link(scratchDir() + "/gone-device", dangling));
        auto gone = portOn(dangling);
        QCOMPARE(failureOf([&] { gone->Open(); }).code, 8002);
    }

    void notADeviceIs8012() {
        const QString file = scratchDir() + "/regular-file";
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a terminal");
        }
        auto port = portOn(file);
        PortError error = failureOf([&] { port->Open(); });
        QCOMPARE(error.code, 8012);
        QVERIFY(error.description.find(file.toStdString()) != std::string::npos);
        QVERIFY(!port->IsOpen());

        const QString folder = scratchDir() + "/a-folder";
        QDir().mkpath(folder);
        auto onFolder = portOn(folder);
        QCOMPARE(failureOf([&] { onFolder->Open(); }).code, 8012);

        // A character device that is no terminal.
        auto onNull = portOn("/dev/null");
        QCOMPARE(failureOf([&] { onNull->Open(); }).code, 8012);
        QVERIFY(!onNull->IsOpen());
    }

    void heldByAnotherProcessIs8005() {
        PtyPair pair;
        QVERIFY(pair.ok());
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {"--hold", pair.programEnd()});
        QVERIFY(holder.waitForStarted(5000));
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        auto port = portOn(pair.programEnd());
        PortError error = failureOf([&] { port->Open(); });
        QCOMPARE(error.code, 8005);
        QVERIFY(error.description.find(pair.programEnd().toStdString()) != std::string::npos);
        QVERIFY(!port->IsOpen());

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(holder.exitCode(), 0);
        port->Open(); // released: opens now
        QVERIFY(port->IsOpen());

        // A second port of this program on the same device.
        auto second = portOn(pair.programEnd());
        QCOMPARE(failureOf([&] { second->Open(); }).code, 8005);
    }

    void noAccessIs70() {
        PtyPair pair;
        QVERIFY(pair.ok());
        const QString device = QFileInfo(pair.programEnd()).canonicalFilePath();
        QVERIFY(device.startsWith("/dev/"));
        QProcess helper;
        helper.start(QCoreApplication::applicationFilePath(), {"--open-as-nobody", device});
        QVERIFY(helper.waitForFinished(10000));
        const QString out = QString::fromLocal8Bit(helper.readAllStandardOutput()).trimmed();
        if (out == "nosetuid") {
            QSKIP("this machine does not let the test drop its privileges");
        }
        QVERIFY2(out.startsWith("70 "), qPrintable(out));
        QVERIFY2(out.contains(device), qPrintable(out));
        QVERIFY2(out.contains("read and write access"), qPrintable(out));
        QVERIFY2(out.contains("dialout") || out.contains("here "), qPrintable(out));
    }

    void writeNeedsAnOpenPort() {
        auto port = portOn("/nonexistent");
        PortError error = failureOf([&] { port->Write("x"); });
        QCOMPARE(error.code, 8018);
        QCOMPARE(port->ReadAll(), std::string());
        QCOMPARE(port->BytesWaiting(), std::size_t(0));

        PtyPair pair;
        QVERIFY(pair.ok());
        auto open = openPortOn(pair.programEnd());
        open->Write("ok");
        open->Close();
        QCOMPARE(failureOf([&] { open->Write("x"); }).code, 8018);
    }

    void farEndClosedIsReportedOnceWithoutBusyLoop() {
        PtyPair pair;
        QVERIFY(pair.ok());
        auto port = openPortOn(pair.programEnd());
        FarEnd far(pair.farEnd());
        QVERIFY(far.ok());
        int receives = 0;
        int lost = 0;
        bool closedWhenCalled = false;
        PortError reported;
        port->SetReceiveHandler([&] {
            ++receives;
            port->ReadAll();
        });
        port->SetLostHandler([&](const PortError& error) {
            ++lost;
            closedWhenCalled = !port->IsOpen();
            reported = error;
        });
        far.write("hello");
        QTRY_VERIFY(receives > 0);
        const int receivesBefore = receives;

        pair.breakLine(); // the far end goes away, as when a cable is pulled
        QTRY_COMPARE_WITH_TIMEOUT(lost, 1, 10000);
        QVERIFY(closedWhenCalled);
        QVERIFY(!port->IsOpen());
        QCOMPARE(reported.code, 8012);
        QVERIFY(reported.description.find(pair.programEnd().toStdString()) != std::string::npos);

        // Idle afterwards: no more events, and the process uses next to no
        // processor time (a busy loop would use all of the second).
        const double cpuBefore = cpuSeconds();
        QTest::qWait(1000);
        const double used = cpuSeconds() - cpuBefore;
        QVERIFY2(used < 0.3, qPrintable(QString("CPU seconds while idle: %1").arg(used)));
        QCOMPARE(lost, 1);
        QCOMPARE(receives, receivesBefore);
        QCOMPARE(failureOf([&] { port->Write("x"); }).code, 8018);
    }

    void lostHandlerIsNotCalledForAnExplicitClose() {
        PtyPair pair;
        QVERIFY(pair.ok());
        auto port = openPortOn(pair.programEnd());
        int lost = 0;
        port->SetLostHandler([&](const PortError&) { ++lost; });
        port->Close();
        pair.breakLine();
        QTest::qWait(300);
        QCOMPARE(lost, 0);
    }

    void reopensAfterTheDeviceCameBack() {
        PtyPair first;
        QVERIFY(first.ok());
        std::string device = first.programEnd().toStdString();
        QtSerialPort port([&](int) { return device; });
        int lost = 0;
        port.SetLostHandler([&](const PortError&) { ++lost; });
        port.Open();
        first.breakLine();
        QTRY_COMPARE_WITH_TIMEOUT(lost, 1, 10000);

        PtyPair second;
        QVERIFY(second.ok());
        device = second.programEnd().toStdString();
        port.Open();
        FarEnd far(second.farEnd());
        far.write("back");
        QTRY_COMPARE(port.BytesWaiting(), std::size_t(4));
        QCOMPARE(port.ReadAll(), std::string("back"));
        second.breakLine();
        QTRY_COMPARE_WITH_TIMEOUT(lost, 2, 10000);
    }
};

int main(int argc, char* argv[]) {
    if (argc == 3 && std::string(argv[1]) == "--hold") {
        QCoreApplication app(argc, argv);
        return holdPort(argv[2]);
    }
    if (argc == 3 && std::string(argv[1]) == "--open-as-nobody") {
        QCoreApplication app(argc, argv);
        return openAsNobody(argv[2]);
    }
    QCoreApplication app(argc, argv);
    TestQtSerialPort test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_qtserialport.moc"
