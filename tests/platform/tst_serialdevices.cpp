#include "platform/serialdevices.h"
#include "tests/support/testsupport.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTest>

using namespace loomway;

class TestSerialDevices : public QObject {
    Q_OBJECT
private slots:
    // Every device Qt finds, once each, in path order, with its description.
    void listsWhatQtFinds() {
        QStringList expected, got;
        for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
            expected << port.systemLocation() + " " + port.description().trimmed();
        }
        SerialDevices list;
        const auto devices = list.Devices();
        for (std::size_t i = 0; i < devices.size(); ++i) {
            got << QString::fromStdString(devices[i].path + " " + devices[i].description);
            QVERIFY(i == 0 || SerialPathBefore(devices[i - 1].path, devices[i].path));
        }
        expected.removeDuplicates();
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        QCOMPARE(got, expected);
    }

    void pathOrder_data() {
        test::addRows({"a", "b", "before"}, {{"2 before 10", "/dev/ttyS2", "/dev/ttyS10", "yes"},
                                             {"10 after 2", "/dev/ttyS10", "/dev/ttyS2", "no"},
                                             {"S before USB", "/dev/ttyS31", "/dev/ttyUSB0", "yes"},
                                             {"ACM before S", "/dev/ttyACM9", "/dev/ttyS0", "yes"},
                                             {"same", "/dev/ttyS1", "/dev/ttyS1", "no"},
                                             {"leading zero", "/dev/ttyS010", "/dev/ttyS9", "no"}});
    }
    void pathOrder() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, before);
        QCOMPARE(SerialPathBefore(a.toStdString(), b.toStdString()), before == "yes");
    }
};

QTEST_GUILESS_MAIN(TestSerialDevices)
#include "tst_serialdevices.moc"
