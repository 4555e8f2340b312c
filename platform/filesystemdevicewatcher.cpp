#include "platform/filesystemdevicewatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#include <exception>
#include <set>
#include <vector>

#include <sys/stat.h>

namespace loomway {

namespace {

// The folder the device's name lives in, or the nearest existing one above.
QString NearestFolder(const std::string& device) {
    QString folder = QFileInfo(QString::fromLocal8Bit(device.c_str())).absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath()) {
        folder = QFileInfo(folder).absolutePath();
    }
    return folder;
}

} // namespace

bool DevicePresent(const std::string& device) {
    struct stat st {};
    return ::stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

FileSystemDeviceWatcher::FileSystemDeviceWatcher() {
    m_recheck.setInterval(kRecheckMs);
    QObject::connect(&m_folders, &QFileSystemWatcher::directoryChanged, &m_recheck, [this] {
        WatchFolders();
        CallBackPresent();
    });
    QObject::connect(&m_recheck, &QTimer::timeout, &m_recheck, [this] {
        // A folder may have come back without an event on the one above it
        // (created and filled between two looks).
        WatchFolders();
        CallBackPresent();
    });
}

void FileSystemDeviceWatcher::Watch(const std::string& device, std::function<void()> back) {
    m_devices[device] = std::move(back);
    WatchFolders();
    m_recheck.start();
}

void FileSystemDeviceWatcher::Forget(const std::string& device) {
    m_devices.erase(device);
    WatchFolders();
    if (m_devices.empty()) {
        m_recheck.stop();
    }
}

void FileSystemDeviceWatcher::WatchFolders() {
    std::set<QString> wanted;
    for (const auto& entry : m_devices) {
        wanted.insert(NearestFolder(entry.first));
    }
    QStringList unwanted;
    for (const QString& folder : m_folders.directories()) {
        if (wanted.erase(folder) == 0) {
            unwanted << folder;
        }
    }
    if (!unwanted.isEmpty()) {
        m_folders.removePaths(unwanted);
    }
    for (const QString& folder : wanted) {
        // Said once per folder: the check once a second would repeat it.
        if (!m_folders.addPath(folder) && m_unwatchable.insert(folder).second) {
            qWarning("cannot watch %s; checking once a second instead", qPrintable(folder));
        }
    }
}

void FileSystemDeviceWatcher::CallBackPresent() {
    std::vector<std::string> present;
    for (const auto& entry : m_devices) {
        if (DevicePresent(entry.first)) {
            present.push_back(entry.first);
        }
    }
    // A handler may forget its device or others: look each one up again.
    for (const std::string& device : present) {
        const auto entry = m_devices.find(device);
        if (entry == m_devices.end() || !entry->second) {
            continue;
        }
        const std::function<void()> back = entry->second;
        try {
            back();
        } catch (const std::exception& e) {
            qWarning("device return handler failed: %s", e.what());
        } catch (...) {
            qWarning("device return handler failed");
        }
    }
}

} // namespace loomway
