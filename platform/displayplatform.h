#pragma once

#include <functional>
#include <string>

namespace loomway {

// Reads one environment variable; null when it is not set.
using EnvironmentReader = std::function<const char*(const char*)>;

// The window system platform to start Qt on, or an empty text for Qt's own
// choice. On a Wayland session the program runs through XWayland ("xcb"):
// placing its window where it was last and closing another program's window
// by its title need X11. A platform the user chose with QT_QPA_PLATFORM is
// kept, and without an X display (no XWayland) Qt chooses.
std::string ChooseDisplayPlatform(const EnvironmentReader& environment);

} // namespace loomway
