#pragma once

#include "lines/endpoint.h"

#include <optional>
#include <string>

namespace loomway {

class ProfileFile;

// Where a dial string leads, or why it leads nowhere.
struct DialLookup {
    std::optional<Endpoint> endpoint;
    std::string problem; // one sentence for the user when there is no endpoint
};

// Looks a dial string (the text after ATD and T or P) up in [Phonebook]: as
// typed, then (unless it holds a ':') with everything but 0-9, '*' and '#'
// removed, so 555-1234 finds 5551234. A value must be a phonebook form
// (tcp:, telnet:, rfc2217:, exec:). A dial string with no entry that reads as
// HOST:PORT leads to tcp:HOST:PORT. `phonebook` may be null (no entries).
// The settings file is read at every call, so edits count at the next dial.
DialLookup LookUpDialString(ProfileFile* phonebook, const std::string& dialString);

} // namespace loomway
