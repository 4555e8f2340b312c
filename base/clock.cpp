#include "base/clock.h"

#include <chrono>

namespace loomway {

std::int64_t SystemClock::SteadyMicros() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t SystemClock::WallMicros() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace loomway
