#include "platform/filesystemdevicewatcher.h"
#include "platform/qtserialport.h"
#include "platform/serialdevices.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>

using namespace loomway;

class TestReplug : public QObject {
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

QTEST_GUILESS_MAIN(TestReplug)
#include "tst_replug.moc"
