#pragma once

#include <cstddef>
#include <string>

namespace loomway {

// What one handheld chunk did in a request engine.
struct Redirected {
    // The chunk completed a request: the pump sets RequestConsumed.
    bool completed = false;
    // When it did, how many bytes at the chunk's end follow that request's
    // closing tag (and any further request already complete behind it). They
    // are the handheld's own bytes and go on to the modem like any other.
    std::size_t tail = 0;
};

// A request engine of the handheld stream (print, clipboard). It is given every
// handheld chunk while its method is on.
class RequestEngine {
public:
    virtual ~RequestEngine() = default;
    // Takes the chunk (unchanged).
    virtual Redirected Redirect(const std::string& chunk) = 0;
};

} // namespace loomway
