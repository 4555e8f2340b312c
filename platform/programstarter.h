#pragma once

#include "core/desktop.h"

#include <optional>
#include <string>
#include <vector>

namespace loomway {

// Starts a program with QProcess, detached and with no terminal, so that it
// outlives this one. A command line that names an existing executable file as
// a whole (a path chosen in a file dialog may hold blanks) is that program
// without arguments; any other is split into program and arguments as a
// POSIX shell would (see SplitCommandLine).
class DetachedProgramStarter : public ProgramStarter {
public:
    bool StartProgram(const std::string& commandLine) override;

    // Words separated by blanks or tabs; single quotes keep everything up to
    // the next single quote; double quotes keep everything but a backslash
    // before ", \, $ or `, which stands for that character; outside quotes a
    // backslash keeps the next character. Nothing is expanded. Nothing for an
    // unterminated quote or a trailing backslash.
    static std::optional<std::vector<std::string>> SplitCommandLine(const std::string& commandLine);
};

} // namespace loomway
