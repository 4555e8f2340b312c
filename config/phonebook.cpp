#include "config/phonebook.h"

#include "base/asciitext.h"
#include "config/settings.h"

namespace loomway {

std::string ReadPhonebookEntry(ProfileFile& file, const std::string& number) {
    const std::string entry = ReadSetting(file, "Phonebook", number);
    if (!entry.empty() || number.find(':') != std::string::npos) {
        return entry;
    }
    std::string digits;
    for (char c : number) {
        if (IsDigit(c) || c == '*' || c == '#') {
            digits += c;
        }
    }
    if (digits.empty() || digits == number) {
        return entry;
    }
    return ReadSetting(file, "Phonebook", digits);
}

} // namespace loomway
