#pragma once

#include "core/serialdevicelist.h"

#include <string>
#include <vector>

namespace loomway {

// The serial devices of the machine, each by its stable name where udev gave
// it one (by-id, else by-path, in the folder of SerialNamesDir()), else by its
// kernel name, with the description Qt knows (QSerialPortInfo). In the order
// of their names, "/dev/ttyS2" before "/dev/ttyS10". Nothing is opened.
class SerialDevices : public SerialDeviceList {
public:
    std::vector<SerialDevice> Devices() override;
};

// The order of the list: by path, the trailing number as a number.
bool SerialPathBefore(const std::string& a, const std::string& b);

// Where udev keeps the stable names of serial devices: /dev/serial, or the
// folder LOOMWAY_SERIAL_DIR names (tests give their own).
std::string SerialNamesDir();

// The name to find the device at path by after a replug, when it may come
// back under another kernel name: a link (a stable name, or one of the user's
// own) stays as it is; a kernel name becomes the stable name that leads to it,
// where there is one.
std::string StableDeviceName(const std::string& path);

} // namespace loomway
