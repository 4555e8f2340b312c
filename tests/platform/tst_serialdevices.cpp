#include "platform/serialdevices.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>
#include <QTest>

using namespace loomway;

class TestSerialDevices : public QObject {
    Q_OBJECT
private slots:
    // Every device Qt finds on this machine, once each, in path order, with
    // its description; every path exists.
    void listsWhatQtFinds() {
        SerialDevices list;
        const std::vector<SerialDevice> devices = list.Devices();
        QSet<QString> expected;
        for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
            expected.insert(port.systemLocation());
        }
        QSet<QString> got;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const QString path = QString::fromStdString(devices[i].path);
            QVERIFY2(QFileInfo::exists(path), qPrintable(path));
            QVERIFY2(!got.contains(path), qPrintable(path));
            got.insert(path);
            QCOMPARE(QString::fromStdString(devices[i].description),
                     QSerialPortInfo(path).description().trimmed());
            if (i > 0) {
                QVERIFY(SerialPathBefore(devices[i - 1].path, devices[i].path));
            }
        }
        QCOMPARE(got, expected);
    }

    void pathOrder_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("before");
        QTest::newRow("2 before 10") << "/dev/ttyS2"
                                     << "/dev/ttyS10" << true;
        QTest::newRow("10 after 2") << "/dev/ttyS10"
                                    << "/dev/ttyS2" << false;
        QTest::newRow("S before USB") << "/dev/ttyS31"
                                      << "/dev/ttyUSB0" << true;
        QTest::newRow("ACM before S") << "/dev/ttyACM9"
                                      << "/dev/ttyS0" << true;
        QTest::newRow("same") << "/dev/ttyS1"
                              << "/dev/ttyS1" << false;
        QTest::newRow("no number") << "/dev/modem"
                                   << "/dev/ttyS0" << true;
    }
    void pathOrder() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, before);
        QCOMPARE(SerialPathBefore(a.toStdString(), b.toStdString()), before);
    }
};

QTEST_GUILESS_MAIN(TestSerialDevices)
#include "tst_serialdevices.moc"
