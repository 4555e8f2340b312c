#pragma once

#include "core/serialport.h"

namespace loomway {

// The failures every port of the family reports alike.
inline PortError InvalidProperty() {
    return PortError{PortError::Code::InvalidProperty, "Invalid property value"};
}

inline PortError PortAlreadyOpen() {
    return PortError{PortError::Code::PortAlreadyOpen, "Port already open"};
}

inline PortError PortNotOpen() {
    return PortError{PortError::Code::PortNotOpen, "Operation valid only when the port is open"};
}

} // namespace loomway
