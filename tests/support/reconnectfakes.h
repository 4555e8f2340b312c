#pragma once

// Fakes for reconnection: a port whose device can be waited for, a watcher
// the test fires by hand, and panels that record blinking and panel 2.

#include "core/devicewatcher.h"
#include "tests/support/fakes.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace loomway::test {

class ReplugPort : public FakeSerialPort {
public:
    std::string DeviceName() const override { return deviceName; }
    void Reopen() override {
        calls.push_back("Reopen");
        Open();
    }
    std::string deviceName;
};

class FakeDeviceWatcher : public DeviceWatcher {
public:
    void Watch(const std::string& device, std::function<void()> back) override {
        watched[device] = std::move(back);
    }
    void Forget(const std::string& device) override {
        watched.erase(device);
        forgotten.push_back(device);
    }
    // The device is back (or may be): runs its handler, if still watched.
    void fire(const std::string& device) {
        if (auto it = watched.find(device); it != watched.end()) {
            auto back = it->second;
            back();
        }
    }
    std::map<std::string, std::function<void()>> watched;
    std::vector<std::string> forgotten;
};

class BlinkRecordingLamps : public RecordingLampPanel {
public:
    void BlinkLamp(Lamp lamp, const std::string& lit, const std::string& dark) override {
        calls.push_back({lamp, "blink " + lit + "/" + dark});
    }
    std::string last(Lamp lamp) const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
            if (it->lamp == lamp) {
                return it->code;
            }
        }
        return {};
    }
};

class NoticeRecordingStatus : public RecordingStatusPanel {
public:
    void ShowNotice(const std::string& text) override { notice = text; }
    std::string notice;
};

} // namespace loomway::test
