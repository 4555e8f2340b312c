#include "lines/phonebook.h"

#include "config/settings.h"

#include <cctype>

namespace loomway {

DialLookup LookUpDialString(ProfileFile* phonebook, const std::string& number) {
    const bool hostPort = number.find(':') != std::string::npos;
    std::string value;
    if (phonebook) {
        value = ReadSetting(*phonebook, "Phonebook", number);
        std::string digits;
        for (char c : number) {
            if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#') {
                digits += c;
            }
        }
        if (value.empty() && !hostPort && !digits.empty() && digits != number) {
            value = ReadSetting(*phonebook, "Phonebook", digits);
        }
    }
    if (!value.empty()) {
        EndpointParse parsed = ParseEndpoint(value, EndpointUse::Phonebook);
        if (!parsed.endpoint) {
            return {std::nullopt, "[Phonebook] " + number + ": " + parsed.error};
        }
        return {parsed.endpoint, {}};
    }
    if (!hostPort) {
        return {std::nullopt, number + " is not in [Phonebook]"};
    }
    EndpointParse parsed = ParseEndpoint("tcp:" + number, EndpointUse::Phonebook);
    if (!parsed.endpoint) {
        return {std::nullopt, number + " is not in [Phonebook] and is no HOST:PORT: " +
                                  parsed.error.substr(0, parsed.error.find(';'))};
    }
    return {parsed.endpoint, {}};
}

} // namespace loomway
