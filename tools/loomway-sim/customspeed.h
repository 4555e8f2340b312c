#pragma once

namespace loomway::sim {

// Sets a bit rate that has no B<rate> constant (for example 28800) with the
// kernel's arbitrary-rate interface. Returns false when the driver refuses.
bool SetCustomSpeed(int fd, long speed);

} // namespace loomway::sim
