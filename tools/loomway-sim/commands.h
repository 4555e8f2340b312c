#pragma once

#include "tools/loomway-sim/options.h"
#include "tools/loomway-sim/serialline.h"

#include <iosfwd>
#include <string>

namespace loomway::sim {

// Exit codes that scripts can test.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoReply = 1; // no reply, a wrong reply, an error reply, a failed echo
inline constexpr int kExitUsage = 2;   // bad usage or a device that cannot be opened

// What a handheld command sends, read and checked before the line is opened
// (a missing file or a text holding its own closing tag is a usage error).
std::string PrepareHandheldInput(const Options& options);

// Runs one handheld command on the open line. `input` is what
// PrepareHandheldInput gave. Results go to `out`, notes to `err`.
int RunHandheld(const Options& options, const std::string& input, SerialLine& line,
                std::ostream& out, std::ostream& err);

// Plays the modem until a stop signal (or, with --once, the first hang-up).
int RunModem(const Options& options, SerialLine& line, std::ostream& out, std::ostream& err);

} // namespace loomway::sim
