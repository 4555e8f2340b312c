#pragma once

#include <string>

namespace loomway {

// Whether another copy of this program is already running for this user.
class InstanceGuard {
public:
    virtual ~InstanceGuard() = default;
    virtual bool AnotherInstanceRunning() = 0;
};

// Top-level windows of other programs on the desktop, found by exact title.
class WindowCloser {
public:
    virtual ~WindowCloser() = default;
    // Whether a top-level window with exactly this title exists.
    virtual bool WindowExists(const std::string& title) = 0;
    // Asks every top-level window with exactly this title to close; returns
    // how many were asked.
    virtual int AskToClose(const std::string& title) = 0;
    // Between two looks: processes pending events of this program's own
    // windows, then sleeps briefly so the wait does not spin.
    virtual void PauseBetweenLooks() = 0;
};

// Starts another program from a command line.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // Splits the command line as a shell would and starts the program
    // detached, without a terminal. Returns false when it could not be
    // started; callers ignore failures.
    virtual bool StartProgram(const std::string& commandLine) = 0;
};

} // namespace loomway
