#include "platform/filesystemdevicewatcher.h"
#include "platform/qtserialport.h"
#include "platform/serialdevices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>
#include <unistd.h>

using namespace loomway;

namespace {

// A pseudo-terminal: a real character device for links to point at.
struct Pty {
    int master = -1, slave = -1;
    std::string path;
    Pty() {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            path = name;
        }
    }
    ~Pty() {
        ::close(slave);
        ::close(master);
    }
};

bool Link(const QString& target, const QString& link) {
    QDir().mkpath(QFileInfo(link).absolutePath());
    return QFile::link(target, link);
}

} // namespace

class TestReplug : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString serial() const { return m_dir.path() + "/serial"; }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        qputenv("LOOMWAY_SERIAL_DIR", serial().toLocal8Bit());
    }

    // by-id before by-path, each device once, dangling links left out; a
    // port opened by its kernel name is found again by its stable name.
    void stableNames() {
        Pty a, b;
        QVERIFY(!a.path.empty() && !b.path.empty());
        const QString byIdA = serial() + "/by-id/usb-Palm_Cradle-if00";
        const QString byPathA = serial() + "/by-path/pci-0000:00:14.0-usb-0:1:1.0";
        const QString byPathB = serial() + "/by-path/pci-0000:00:14.0-usb-0:2:1.0";
        QVERIFY(Link(QString::fromStdString(a.path), byIdA));
        QVERIFY(Link(QString::fromStdString(a.path), byPathA));
        QVERIFY(Link(QString::fromStdString(b.path), byPathB));
        QVERIFY(Link(serial() + "/nothing", serial() + "/by-id/usb-Gone-if00"));

        std::vector<std::string> paths;
        for (const SerialDevice& device : SerialDevices().Devices()) {
            if (device.path.rfind(serial().toStdString(), 0) == 0 || device.path == a.path ||
                device.path == b.path) {
                paths.push_back(device.path);
            }
        }
        QCOMPARE(paths, (std::vector<std::string>{byIdA.toStdString(), byPathB.toStdString()}));

        QCOMPARE(StableDeviceName(a.path), byIdA.toStdString());
        QCOMPARE(StableDeviceName(b.path), byPathB.toStdString());
        QCOMPARE(StableDeviceName(byPathA.toStdString()), byPathA.toStdString());
        const std::string own = (m_dir.path() + "/own-link").toStdString();
        QVERIFY(Link(QString::fromStdString(a.path), QString::fromStdString(own)));
        QCOMPARE(StableDeviceName(own), own);

        QtSerialPort port([&a](int) { return a.path; });
        port.SetSettings("9600,N,8,1");
        port.Open();
        QCOMPARE(port.DeviceName(), byIdA.toStdString());
        port.Close();
        port.Reopen();
        QVERIFY(port.IsOpen());
        QCOMPARE(port.Device(), byIdA.toStdString());
        QDir(serial()).removeRecursively();
    }

    // The watcher follows the folders udev makes and removes: it watches the
    // nearest one that exists and calls back as soon as the link is there.
    void watcherSeesTheLinkCome() {
        Pty a;
        const QString link = serial() + "/by-id/usb-Modem-if00";
        FileSystemDeviceWatcher watcher;
        int calls = 0;
        watcher.Watch(link.toStdString(), [&calls] { ++calls; });
        QCOMPARE(watcher.WatchedFolders(), QStringList{m_dir.path()});
        QTest::qWait(50);
        QCOMPARE(calls, 0);

        QVERIFY(QDir().mkpath(serial() + "/by-id"));
        QTRY_COMPARE(watcher.WatchedFolders(), QStringList{serial() + "/by-id"});
        QVERIFY(Link(QString::fromStdString(a.path), link));
        // Well before the once-a-second check could have seen it.
        QTRY_VERIFY_WITH_TIMEOUT(calls > 0, FileSystemDeviceWatcher::kRecheckMs / 2);

        watcher.Forget(link.toStdString());
        QVERIFY(watcher.WatchedFolders().isEmpty());
        QDir(serial()).removeRecursively();
    }
};

QTEST_GUILESS_MAIN(TestReplug)
#include "tst_replug.moc"
