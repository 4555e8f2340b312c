// The serial port adapter against real pseudo-terminals.
#include "platform/qtserialport.h"
#include "tests/support/ptypair.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <ctime>
#include <random>

#include <unistd.h>

using loomway::PortError;
using loomway::QtSerialPort;
using namespace loomway::test;

namespace {
std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string data(size, '\0');
    for (char& c : data) {
        c = char(gen());
    }
    return data;
}

// The code of the PortError that f throws, its description after a "|"; "0" if none.
template <typename F> std::string FailureOf(F&& f) {
    try {
        f();
    } catch (const PortError& error) {
        return std::to_string(error.code) + "|" + error.description;
    }
    return "0";
}

std::unique_ptr<QtSerialPort> PortOn(const QString& device, bool open = true) {
    const std::string path = device.toStdString();
    auto port = std::make_unique<QtSerialPort>([path](int) { return path; });
    port->SetSettings("115200,N,8,1");
    if (open) {
        port->Open();
    }
    return port;
}
} // namespace

class TestQtSerialPort : public QObject {
    Q_OBJECT
private slots:
    // Every byte value and two megabytes each way arrive whole and in order;
    // a far end that reads nothing makes the writes wait, no device is taken
    // for lost, and all arrives when it reads again.
    void bytesBothWays() {
        PtyPair pair;
        auto port = PortOn(pair.programEnd());
        std::string received;
        int lost = 0, written = 0;
        port->SetReceiveHandler([&] { received += port->ReadAll(); });
        port->SetLostHandler([&](const PortError&) { ++lost; });
        port->SetWrittenHandler([&] { ++written; });
        std::string data;
        for (int i = 0; i < 256; ++i) {
            data += char(i);
        }
        data += RandomBytes(2 << 20, 1);
        pair.write(data);
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), data.size(), 20000);
        QVERIFY(received == data);
        for (std::size_t at = 0; at < data.size(); at += 4096) {
            port->Write(data.substr(at, 4096));
            QCoreApplication::processEvents();
        }
        QTest::qWait(300);
        QVERIFY(port->BytesToWrite() > 0);
        QVERIFY(pair.read(data.size(), 10000) == data);
        QTRY_COMPARE(port->BytesToWrite(), std::size_t(0));
        QCOMPARE(pair.read(1, 100), std::string());
        QVERIFY(written > 0 && lost == 0 && port->IsOpen());
    }

    // A requeued event comes once, later, and only while bytes wait; the
    // handler is never entered again while it runs (a modal loop inside).
    void receiveEvents() {
        PtyPair pair;
        auto port = PortOn(pair.programEnd());
        int events = 0, depth = 0, deepest = 0;
        port->SetReceiveHandler([&] {
            ++events, deepest = std::max(deepest, ++depth);
            if (events == 2) {
                pair.write("more");
                QTest::qWait(200);
            }
            --depth;
        });
        pair.write("abc");
        QTRY_COMPARE(events, 1);
        port->RequeueReceiveEvent();
        port->RequeueReceiveEvent();
        QCOMPARE(events, 1);
        QTRY_COMPARE(events, 3); // the requeue, and "more" after the nested wait
        QCOMPARE(deepest, 1);
        QCOMPARE(port->ReadAll(), std::string("abcmore"));
        port->RequeueReceiveEvent();
        QTest::qWait(50);
        QCOMPARE(events, 3);
    }

    // Only N,8,1 at a whole positive speed is a setting.
    void settingsText() {
        auto port = PortOn("/nonexistent", false);
        const auto failure = [&](const char* text) {
            return FailureOf([&] { port->SetSettings(text); });
        };
        for (const char* good : {"9600,N,8,1", "110,N,8,1", "115200,N,8,1"}) {
            QVERIFY2(failure(good) == "0", good);
        }
        for (const char* bad : {"-1,N,8,1", "0,N,8,1", "9600.5,N,8,1", " 9600,N,8,1", "9600,E,8,1",
                                "9600,N,7,1", "9600,N,8,2", "9600", "99999999999,N,8,1"}) {
            QVERIFY2(failure(bad) == "380|Invalid property value", bad);
        }
    }

    // The number is resolved to a device at the opening; what cannot be
    // opened fails with the code a user's message depends on; a device held
    // elsewhere opens once it is let go.
    void opening() {
        PtyPair pair;
        std::vector<int> asked;
        const std::string device = pair.programEnd().toStdString();
        QtSerialPort port([&](int n) { return asked.push_back(n), device; });
        QCOMPARE(FailureOf([&] { port.SetPortNumber(-1); }),
                 std::string("380|Invalid property value"));
        port.SetPortNumber(5);
        QVERIFY(asked.empty());
        port.Open();
        QCOMPARE(asked, std::vector<int>{5});
        QCOMPARE(FailureOf([&] { port.Open(); }).substr(0, 5), std::string("8005|"));
        QCOMPARE(FailureOf([&] { port.SetPortNumber(6); }).substr(0, 5), std::string("8005|"));
        QCOMPARE(FailureOf([&] { PortOn(pair.programEnd()); }).substr(0, 5), std::string("8005|"));
        port.Close();
        port.Close();
        QCOMPARE(FailureOf([&] { port.Write("x"); }).substr(0, 5), std::string("8018|"));
        QVERIFY(PortOn(pair.programEnd())->IsOpen());
        const QString dir = scratchDir();
        QFile(dir + "/file").open(QIODevice::WriteOnly);
        QDir().mkpath(dir + "/folder");
        QFile::link(dir + "/gone", dir + "/dangling");
        for (auto [path, code] : {std::pair{dir + "/missing", "8002"},
                                  {dir + "/dangling", "8002"},
                                  {dir + "/file", "8012"},
                                  {dir + "/folder", "8012"},
                                  {QString("/dev/null"), "8012"}}) {
            const std::string failure = FailureOf([&] { PortOn(path); });
            QCOMPARE(failure.substr(0, 4), std::string(code));
            QVERIFY2(failure.find(path.toStdString()) != std::string::npos, failure.c_str());
        }
    }

    // A device this user may not open: code 70 and a message that says why.
    void noAccess() {
        PtyPair pair;
        const QString device = QFileInfo(pair.programEnd()).canonicalFilePath();
        QProcess helper;
        helper.start(QCoreApplication::applicationFilePath(), {"--open-as-nobody", device});
        QVERIFY(helper.waitForFinished(10000));
        const QString out = QString::fromLocal8Bit(helper.readAllStandardOutput()).trimmed();
        if (out == "nosetuid") {
            QSKIP("this machine does not let the test drop its privileges");
        }
        QVERIFY2(out.startsWith("70|") && out.contains(device) &&
                     out.contains("read and write access") &&
                     (out.contains("dialout") || out.contains("here ")),
                 qPrintable(out));
    }

    // A far end that goes away is reported once, with the port closed, and
    // leaves no busy loop; an explicit close reports nothing; the port opens
    // again on a device that came back, without the bytes that waited in the
    // device before an opening.
    void lostDevice() {
        PtyPair first;
        std::string device = first.programEnd().toStdString();
        QtSerialPort port([&](int) { return device; });
        port.SetSettings("9600,N,8,1");
        int lost = 0;
        std::string reported, received;
        port.SetLostHandler([&](const PortError& e) {
            ++lost;
            reported = (port.IsOpen() ? "open " : "closed ") + std::to_string(e.code);
        });
        port.SetReceiveHandler([&] { received += port.ReadAll(); });
        port.Open();
        first.breakLine();
        QTRY_COMPARE_WITH_TIMEOUT(lost, 1, 10000);
        QCOMPARE(reported, std::string("closed 8012"));
        const std::clock_t before = std::clock(); // this process's processor time
        QTest::qWait(1000);
        QVERIFY2(std::clock() - before < CLOCKS_PER_SEC * 3 / 10,
                 "a busy loop after the device went");
        PtyPair second;
        device = second.programEnd().toStdString();
        for (const std::string& stale : {std::string(3000, 's'), std::string("stale")}) {
            second.write(stale);
            QThread::msleep(300); // time for the bytes to reach the device's input queue
            port.Open();
            second.write("back");
            QTRY_COMPARE(received, std::string("back"));
            QTest::qWait(100);
            QCOMPARE(received, std::string("back"));
            port.Close();
            received.clear();
        }
        second.breakLine();
        QTest::qWait(300);
        QCOMPARE(lost, 1);
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--open-as-nobody") {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            return std::printf("nosetuid\n"), 2;
        }
        return std::printf("%s\n", FailureOf([&] { PortOn(argv[2]); }).c_str()), 0;
    }
    TestQtSerialPort test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_qtserialport.moc"
