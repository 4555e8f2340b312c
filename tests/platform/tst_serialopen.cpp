// A port opened for a new session starts empty: bytes that waited in the
// device before the open are not delivered, bytes sent after it are.

#include "platform/qtserialport.h"
#include "tests/support/ptypair.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <string>

using namespace loomway;
using namespace loomway::test;

class TestSerialOpen : public QObject {
    Q_OBJECT
private slots:
    void staleInputIsDroppedAtOpen_data() {
        QTest::addColumn<int>("staleSize");
        QTest::addColumn<int>("sessions");
        QTest::newRow("a few bytes, first open") << 5 << 1;
        QTest::newRow("a pty's queue nearly full, first open") << 3000 << 1;
        QTest::newRow("bytes sent between two sessions") << 7 << 2;
    }
    void staleInputIsDroppedAtOpen() {
        QFETCH(int, staleSize);
        QFETCH(int, sessions);
        PtyPair far;
        QVERIFY(!far.programEnd().isEmpty());
        const std::string path = far.programEnd().toStdString();
        QtSerialPort port([path](int) { return path; });
        std::string received;
        port.SetReceiveHandler([&] { received += port.ReadAll(); });
        port.SetPortNumber(1);
        port.SetSettings("115200,N,8,1");
        for (int session = 1; session <= sessions; ++session) {
            received.clear();
            const std::string stale(static_cast<std::size_t>(staleSize), 'x');
            far.write(stale);
            // Time for the bytes to reach the device's input queue.
            QThread::msleep(300);
            port.Open();
            far.write("fresh");
            QTRY_COMPARE(received.size(), std::size_t(5));
            QTest::qWait(100);
            QCOMPARE(received, std::string("fresh"));
            port.Close();
        }
    }
};

QTEST_GUILESS_MAIN(TestSerialOpen)
#include "tst_serialopen.moc"
