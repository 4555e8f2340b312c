#include "platform/serialdevices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>

namespace loomway {

namespace {

QString CanonicalPath(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

// Each device that a stable name leads to, by its canonical path: the by-id
// name where there is one, else the by-path name.
std::map<QString, std::string> StableNames() {
    std::map<QString, std::string> names;
    const QString root = QString::fromLocal8Bit(SerialNamesDir().c_str());
    for (const char* kind : {"by-id", "by-path"}) {
        const QDir dir(root + QLatin1Char('/') + QLatin1String(kind));
        for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
            const QString target = link.canonicalFilePath();
            if (link.isSymLink() && !target.isEmpty()) {
                names.emplace(target, link.absoluteFilePath().toStdString());
            }
        }
    }
    return names;
}

} // namespace

bool SerialPathBefore(const std::string& a, const std::string& b) {
    auto split = [](const std::string& path) {
        std::size_t digits = path.size();
        while (digits > 0 && path[digits - 1] >= '0' && path[digits - 1] <= '9') {
            --digits;
        }
        std::string number = path.substr(digits);
        number.erase(0, std::min(number.find_first_not_of('0'), number.size()));
        return std::make_tuple(path.substr(0, digits), number.size(), number);
    };
    return split(a) < split(b);
}

std::string SerialNamesDir() {
    const char* dir = std::getenv("LOOMWAY_SERIAL_DIR");
    return dir != nullptr && *dir != '\0' ? dir : "/dev/serial";
}

std::string StableDeviceName(const std::string& path) {
    const QFileInfo info(QString::fromLocal8Bit(path.c_str()));
    if (info.isSymLink()) {
        return path;
    }
    const std::map<QString, std::string> names = StableNames();
    const auto found = names.find(info.canonicalFilePath());
    return found == names.end() ? path : found->second;
}

std::vector<SerialDevice> SerialDevices::Devices() {
    std::map<QString, std::string> stable = StableNames();
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        const QString path = port.systemLocation();
        if (path.isEmpty()) {
            continue;
        }
        const std::string description = port.description().trimmed().toStdString();
        const auto name = stable.find(CanonicalPath(path));
        if (name == stable.end()) {
            devices.push_back({path.toStdString(), description});
        } else {
            devices.push_back({name->second, description});
            stable.erase(name);
        }
    }
    // Stable names of devices Qt does not list itself.
    for (const auto& [target, name] : stable) {
        devices.push_back({name, {}});
    }
    std::sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
        return SerialPathBefore(a.path, b.path);
    });
    devices.erase(
        std::unique(devices.begin(), devices.end(),
                    [](const SerialDevice& a, const SerialDevice& b) { return a.path == b.path; }),
        devices.end());
    return devices;
}

} // namespace loomway
