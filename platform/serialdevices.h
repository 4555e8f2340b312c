#pragma once

#include "config/dialogs/serialdevicelist.h"

#include <string>
#include <vector>

namespace loomway {

// The serial devices that Qt finds on the machine (QSerialPortInfo), in the
// order of their paths, "/dev/ttyS2" before "/dev/ttyS10". Nothing is opened.
class SerialDevices : public SerialDeviceList {
public:
    std::vector<SerialDevice> Devices() override;
};

// The order of the list: by path, the trailing number as a number.
bool SerialPathBefore(const std::string& a, const std::string& b);

} // namespace loomway
