#pragma once

#include "platform/ports/porterrors.h"

#include <string>

namespace loomway {

// The speed of a port settings text "<speed>,N,8,1" (a positive whole number
// in plain decimal); 0 when the text is not of that form.
inline int SpeedOfSettings(const std::string& text) {
    const std::string tail = ",N,8,1";
    if (text.size() <= tail.size() || text.compare(text.size() - tail.size(), tail.size(), tail)) {
        return 0;
    }
    long long value = 0;
    for (std::size_t i = 0; i + tail.size() < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return 0;
        }
        value = value * 10 + (text[i] - '0');
        if (value > 0x7fffffff) {
            return 0;
        }
    }
    return static_cast<int>(value);
}

// As SpeedOfSettings, failing with InvalidProperty where that gives 0.
inline int CheckedSpeedOfSettings(const std::string& text) {
    const int speed = SpeedOfSettings(text);
    if (speed <= 0) {
        throw InvalidProperty();
    }
    return speed;
}

} // namespace loomway
