#pragma once

#include "core/devicewatcher.h"

#include <QFileSystemWatcher>
#include <QTimer>

#include <functional>
#include <map>
#include <set>
#include <string>

namespace loomway {

// Watches the folders of lost devices through QFileSystemWatcher (inotify on
// Linux): udev adding a device node or its stable link changes the folder, and
// the device is tried at once. Where the folder itself went away (udev removes
// an empty /dev/serial/by-id), the nearest folder above it that exists is
// watched instead. A check once a second covers what changes no folder, such
// as a device that was back but held by another program for a moment.
class FileSystemDeviceWatcher : public DeviceWatcher {
public:
    static constexpr int kRecheckMs = 1000;

    FileSystemDeviceWatcher();
    FileSystemDeviceWatcher(const FileSystemDeviceWatcher&) = delete;
    FileSystemDeviceWatcher& operator=(const FileSystemDeviceWatcher&) = delete;

    void Watch(const std::string& device, std::function<void()> back) override;
    void Forget(const std::string& device) override;

    // The folders watched now, for tests.
    QStringList WatchedFolders() const { return m_folders.directories(); }

private:
    void WatchFolders();
    void CallBackPresent();

    std::map<std::string, std::function<void()>> m_devices;
    QFileSystemWatcher m_folders;
    QTimer m_recheck;
    std::set<QString> m_unwatchable;
};

// Whether a device node is there (a link is followed).
bool DevicePresent(const std::string& device);

} // namespace loomway
