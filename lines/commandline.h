#pragma once

#include <optional>
#include <string>
#include <vector>

namespace loomway {

// Splits a command line into program and arguments as a POSIX shell would,
// without running one: words separated by blanks, tabs or line feeds; single
// quotes keep everything up to the next single quote; double quotes keep
// everything but a backslash before ", \, $ or `, which stands for that
// character; outside quotes a backslash keeps the next character. Nothing is
// expanded. Nothing for an unterminated quote or a trailing backslash.
std::optional<std::vector<std::string>> SplitCommandLine(const std::string& commandLine);

} // namespace loomway
