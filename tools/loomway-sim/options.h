#pragma once

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace loomway::sim {

// Bad command line: the message says what is wrong; the program exits with 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Role { Handheld, Modem };

struct Options {
    Role role = Role::Handheld;
    std::string command;                     // handheld: clip, print, status, listen, send, dial
    std::string argument;                    // TEXT, FILE or NUMBER ("-" is standard input)
    std::string device;                      // --device
    long speed = 115200;                     // --speed
    std::size_t chunk = 0;                   // --chunk, 0 writes everything at once
    std::chrono::milliseconds delay{0};      // --delay (50 ms by default with --chunk)
    std::chrono::milliseconds timeout{5000}; // --timeout
    bool timeoutGiven = false;
    bool status = false;                   // print --status
    bool latin1 = false;                   // --latin1: convert between UTF-8 and the line's Latin-1
    std::size_t count = 0;                 // listen --count, 0 for no limit
    std::vector<std::string> lines;        // dial --line
    std::string dataFile;                  // dial --data
    bool hangup = false;                   // dial --hangup
    bool once = false;                     // modem --once
    std::chrono::milliseconds guard{1000}; // modem --guard and dial --hangup: escape guard time
    bool help = false;
};

// Parses argv (without the program name). Options may stand anywhere; "--"
// makes every later word positional. Throws UsageError.
Options ParseOptions(const std::vector<std::string>& args);

// The --help text, with examples.
std::string HelpText();

} // namespace loomway::sim
