#pragma once

#include <string>

namespace loomway {

// A request engine of the handheld stream (print, clipboard). It is given every
// handheld chunk while its method is on.
class RequestEngine {
public:
    virtual ~RequestEngine() = default;
    // Takes the chunk (unchanged); returns true when the chunk completed a
    // request, which makes the pump set RequestConsumed.
    virtual bool Redirect(const std::string& chunk) = 0;
};

} // namespace loomway
