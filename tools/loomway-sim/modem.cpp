#include "tools/loomway-sim/modem.h"

#include <algorithm>
#include <cctype>

namespace loomway::sim {
namespace {

constexpr std::size_t kMaxCommandLine = 256;

std::string Upper(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return s;
}

std::string Trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

} // namespace

Modem::Modem(long speed, std::chrono::milliseconds guard) : m_speed(speed), m_guard(guard) {}

std::string Modem::result(const std::string& text) const {
    return "\r\n" + text + "\r\n";
}

void Modem::hangUp() {
    m_events.push_back("hung up (" + m_number + "): " + std::to_string(m_echoedThisCall) +
                       " bytes echoed");
    m_connected = false;
    m_online = false;
    ++m_hangups;
}

std::string Modem::command(const std::string& raw) {
    const std::string line = Upper(Trimmed(raw));
    if (line.empty()) {
        return {};
    }
    if (line.rfind("AT", 0) != 0) {
        return result("ERROR");
    }
    const std::string rest = line.substr(2);
    // A dial: ATD<number>, ATDT<number>, ATDP<number>, also after other settings
    // (ATX3DT555); "&D2" sets DTR handling and is no dial.
    std::size_t dial = std::string::npos;
    if (rest.rfind('D', 0) == 0) {
        dial = 0;
    } else if (auto dt = rest.find("DT"); dt != std::string::npos) {
        dial = dt;
    } else if (auto dp = rest.find("DP"); dp != std::string::npos) {
        dial = dp;
    }
    if (dial != std::string::npos) {
        std::string number = rest.substr(dial + 1);
        if (!number.empty() && (number[0] == 'T' || number[0] == 'P')) {
            number.erase(0, 1);
        }
        number = Trimmed(number);
        if (number.empty() || m_connected) {
            return result("ERROR");
        }
        m_number = number;
        m_connected = true;
        m_online = true;
        m_echoedThisCall = 0;
        m_pluses = 0;
        m_events.push_back("dialled " + number + ": CONNECT " + std::to_string(m_speed));
        return result("CONNECT " + std::to_string(m_speed));
    }
    if (rest == "H" || rest == "H0") {
        if (m_connected) {
            hangUp();
        }
        return result("OK");
    }
    if (rest == "O" || rest == "O0") {
        if (!m_connected) {
            return result("NO CARRIER");
        }
        m_online = true;
        m_pluses = 0;
        return result("CONNECT " + std::to_string(m_speed));
    }
    return result("OK");
}

std::string Modem::receive(const std::string& bytes, Clock::time_point now) {
    std::string out;
    if (m_online) {
        out = bytes; // the far end echoes everything, "+++" included
        m_echoedThisCall += bytes.size();
        for (char c : bytes) {
            const bool afterPause = m_pluses > 0 || now - m_lastByte >= m_guard;
            if (c == '+' && m_pluses < 3 && afterPause) {
                ++m_pluses;
            } else {
                m_pluses = 0;
            }
        }
        if (!bytes.empty()) {
            m_lastByte = now;
        }
        return out;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            out += m_lineTooLong ? result("ERROR") : command(m_line);
            m_line.clear();
            m_lineTooLong = false;
            if (m_online) {
                // Bytes after the dial's carriage return in the same chunk are data.
                m_lastByte = now;
                return out + receive(bytes.substr(i + 1), now);
            }
        } else if (c == '\n') {
            continue;
        } else if (m_line.size() < kMaxCommandLine) {
            m_line += c;
        } else {
            m_lineTooLong = true;
        }
    }
    m_lastByte = now;
    return out;
}

std::string Modem::idle(Clock::time_point now) {
    if (m_online && m_pluses == 3 && now - m_lastByte >= m_guard) {
        m_pluses = 0;
        m_online = false;
        m_line.clear();
        m_events.push_back("escape: command mode, call kept");
        return result("OK");
    }
    return {};
}

std::optional<Modem::Clock::time_point> Modem::nextDeadline() const {
    if (m_online && m_pluses == 3) {
        return m_lastByte + m_guard;
    }
    return std::nullopt;
}

std::vector<std::string> Modem::takeEvents() {
    std::vector<std::string> events;
    events.swap(m_events);
    return events;
}

} // namespace loomway::sim
