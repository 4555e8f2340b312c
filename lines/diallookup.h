#pragma once

#include "lines/endpoint.h"

#include <functional>
#include <optional>
#include <string>

namespace loomway {

// Where a dial string leads, or why it leads nowhere.
struct DialLookup {
    std::optional<Endpoint> endpoint;
    std::string problem; // one sentence for the user when there is no endpoint
};

// Finds where a dial string (the text after ATD and T or P) leads; asked at
// every dial, so edits of the phonebook count at the next one.
using DialDirectory = std::function<DialLookup(const std::string& dialString)>;

// Where a dial string leads, given the phonebook entry found for it (empty
// for none). An entry must be a phonebook form (tcp:, telnet:, rfc2217:,
// exec:, ppp:). A dial string with no entry that reads as HOST:PORT leads to
// tcp:HOST:PORT.
DialLookup LookUpDialString(const std::string& dialString, const std::string& entry);

} // namespace loomway
