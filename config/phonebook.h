#pragma once

#include <string>

namespace loomway {

class ProfileFile;

// The [Phonebook] entry for a dial string (the text after ATD and T or P):
// the one under the dial string as typed, else (unless it holds a ':') the
// one under its digits alone, everything but 0-9, '*' and '#' removed, so
// 555-1234 finds 5551234. Empty when there is none. The settings file is
// read at every call, so edits count at the next dial.
std::string ReadPhonebookEntry(ProfileFile& file, const std::string& dialString);

} // namespace loomway
