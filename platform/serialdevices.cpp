#include "platform/serialdevices.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <string>
#include <tuple>

namespace loomway {

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

std::vector<SerialDevice> SerialDevices::Devices() {
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        const QString path = port.systemLocation();
        if (path.isEmpty()) {
            continue;
        }
        devices.push_back({path.toStdString(), port.description().trimmed().toStdString()});
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
