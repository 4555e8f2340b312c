#pragma once

#include <cstdint>

namespace loomway {

// Where the capture logic takes its times from.
class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds on a clock that never goes back (its start is arbitrary).
    virtual std::int64_t SteadyMicros() const = 0;
    // Microseconds since 1970-01-01 00:00 UTC.
    virtual std::int64_t WallMicros() const = 0;
};

// The machine's steady and wall clocks.
class SystemClock : public Clock {
public:
    std::int64_t SteadyMicros() const override;
    std::int64_t WallMicros() const override;
};

} // namespace loomway
