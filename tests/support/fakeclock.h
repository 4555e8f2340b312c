#pragma once

#include "base/clock.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace loomway::test {

// Time that moves only when the test moves it, and the one-shot timer that
// the code under test starts on it. The wall clock goes along with the
// steady one, from wallAtZero (2023-11-14 22:13:20 UTC) when steady is 0.
struct FakeClock : Clock, Timer {
    std::int64_t steady = 0; // microseconds
    std::int64_t wallAtZero = 1'700'000'000'000'000;
    std::optional<std::int64_t> due; // steady time the timer fires at
    std::function<void()> onTimer;

    std::int64_t SteadyMicros() const override { return steady; }
    std::int64_t WallMicros() const override { return wallAtZero + steady; }
    void Start(std::int64_t ms) override { due = steady + ms * 1000; }
    void Stop() override { due.reset(); }

    // Moves on by ms, firing the timer each time it comes due on the way.
    void Advance(std::int64_t ms) {
        const std::int64_t target = steady + ms * 1000;
        while (due && *due <= target) {
            steady = *std::exchange(due, std::nullopt);
            if (onTimer) {
                onTimer();
            }
        }
        steady = target;
    }
};

} // namespace loomway::test
