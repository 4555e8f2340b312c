#pragma once

#include <cstdint>

namespace loomway {

// Where the logic takes its times from.
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

// A one-shot timer that the logic starts; whoever creates it says what runs
// when it fires.
class Timer {
public:
    virtual ~Timer() = default;
    // Fires once, ms milliseconds from now (never from inside this call);
    // replaces an earlier start.
    virtual void Start(std::int64_t ms) = 0;
    virtual void Stop() = 0;
};

} // namespace loomway
