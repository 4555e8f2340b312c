// Serial devices as the system lists them and as they come back after a
// replug (udev's links stood in for by a folder of the test's own).
#include "platform/filesystemdevicewatcher.h"
#include "platform/qtserialport.h"
#include "platform/serialdevices.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>

using namespace loomway;

class TestSerialDevices : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_master = -1, m_slave = -1;
    std::string m_pty; // a real character device for the links to lead to
    QString at(const QString& name) const { return m_dir.filePath("serial/" + name); }
    bool link(const QString& name, const std::string& to = {}) {
        QDir().mkpath(QFileInfo(at(name)).path());
        return QFile::link(QString::fromStdString(to.empty() ? m_pty : to), at(name));
    }

private slots:
    void initTestCase() {
        char name[128] = {};
        QVERIFY(::openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0);
        m_pty = name;
        qputenv("LOOMWAY_SERIAL_DIR", m_dir.filePath("serial").toLocal8Bit());
    }

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

    // The watcher follows udev's folders and sees the link come at once; the
    // device is listed by its by-id name alone, and found and reopened by it.
    void linkComesBack() {
        FileSystemDeviceWatcher watcher;
        int calls = 0;
        watcher.Watch(at("by-id/usb-Cradle").toStdString(), [&calls] { ++calls; });
        QCOMPARE(watcher.WatchedFolders(), QStringList{m_dir.path()});
        QVERIFY(QDir().mkpath(at("by-id")));
        QTRY_COMPARE(watcher.WatchedFolders(), QStringList{at("by-id")});
        QVERIFY(link("by-path/pci-1") && link("by-id/usb-Cradle") && link("by-id/usb-Gone", "/x"));
        QTRY_VERIFY_WITH_TIMEOUT(calls > 0, FileSystemDeviceWatcher::kRecheckMs / 2);

        std::vector<std::string> ours;
        for (const SerialDevice& device : SerialDevices().Devices()) {
            if (device.path.find(m_dir.path().toStdString()) == 0 || device.path == m_pty) {
                ours.push_back(device.path);
            }
        }
        const std::string stable = at("by-id/usb-Cradle").toStdString();
        QCOMPARE(ours, std::vector<std::string>{stable});
        QtSerialPort port([this](int) { return m_pty; });
        port.Open();
        QCOMPARE(port.DeviceName(), stable);
        port.Close();
        port.Reopen();
        QVERIFY(port.IsOpen() && port.Device() == stable);
    }
};

QTEST_GUILESS_MAIN(TestSerialDevices)
#include "tst_serialdevices.moc"
