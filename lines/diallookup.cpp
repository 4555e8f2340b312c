#include "lines/diallookup.h"

namespace loomway {

DialLookup LookUpDialString(const std::string& number, const std::string& entry) {
    if (!entry.empty()) {
        EndpointParse parsed = ParseEndpoint(entry, EndpointUse::Phonebook);
        if (!parsed.endpoint) {
            return {std::nullopt, "[Phonebook] " + number + ": " + parsed.error};
        }
        return {parsed.endpoint, {}};
    }
    if (number.find(':') == std::string::npos) {
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
