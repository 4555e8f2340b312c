#pragma once

#include <functional>
#include <string>

namespace loomway {

// Notices when a device that went away (a serial adapter pulled out) is there
// again, so that its port can be reopened without the user's help.
class DeviceWatcher {
public:
    virtual ~DeviceWatcher() = default;

    // From now on, back runs on the user-interface thread, never from within
    // Watch, whenever device (a path) may have come back: after a change that
    // leaves it present, and again now and then while it is present but its
    // owner has not forgotten it (a returning device can refuse to open for a
    // moment). Watching a device again replaces its handler.
    virtual void Watch(const std::string& device, std::function<void()> back) = 0;
    virtual void Forget(const std::string& device) = 0;
};

} // namespace loomway
