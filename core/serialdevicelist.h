#pragma once

#include <string>
#include <vector>

namespace loomway {

struct SerialDevice {
    std::string path;        // e.g. "/dev/ttyUSB0"
    std::string description; // e.g. "USB serial"; may be empty
};

// The serial devices present on the machine, as the communication settings
// dialog offers them under its port boxes.
class SerialDeviceList {
public:
    virtual ~SerialDeviceList() = default;
    virtual std::vector<SerialDevice> Devices() = 0;
};

} // namespace loomway
