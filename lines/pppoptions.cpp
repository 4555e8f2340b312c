#include "lines/pppoptions.h"

namespace loomway {

bool PppOptionReader::Next(PppOption& option) {
    if (m_rest.empty() || m_malformed) {
        return false;
    }
    const std::size_t length = m_rest.size() >= 2 ? static_cast<unsigned char>(m_rest[1]) : 0;
    if (length < 2 || length > m_rest.size()) {
        m_malformed = true;
        return false;
    }
    option.type = static_cast<unsigned char>(m_rest[0]);
    option.whole = m_rest.substr(0, length);
    option.value = option.whole.substr(2);
    m_rest.remove_prefix(length);
    return true;
}

bool WellFormedOptions(std::string_view options) {
    PppOptionReader reader(options);
    PppOption option;
    while (reader.Next(option)) {
    }
    return !reader.Malformed();
}

} // namespace loomway
