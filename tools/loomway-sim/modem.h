#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace loomway::sim {

// A small Hayes-style modem, as pure logic: bytes in, bytes out, no I/O.
// In command mode it collects a line up to a carriage return: "AT..." answers
// "OK", "ATD<number>" (also ATDT, ATDP) answers "CONNECT <speed>" and goes on
// line, "ATH" hangs up, "ATO" goes back on line, anything else answers
// "ERROR". Commands are not echoed. On line every byte is echoed back; "+++"
// with a pause of the guard time before and after it returns to command mode
// with the call kept, answering "OK".
class Modem {
public:
    using Clock = std::chrono::steady_clock;

    Modem(long speed, std::chrono::milliseconds guard);

    // Bytes from the line at time `now`; returns the bytes to send back.
    std::string receive(const std::string& bytes, Clock::time_point now);
    // Time passing with no byte; returns what to send (the escape's "OK").
    std::string idle(Clock::time_point now);
    // When idle() next has something to do, if ever.
    std::optional<Clock::time_point> nextDeadline() const;

    bool online() const { return m_online; }
    bool connected() const { return m_connected; }
    std::uint64_t hangups() const { return m_hangups; }
    // What happened, for the log; taken out by each call.
    std::vector<std::string> takeEvents();

private:
    std::string command(const std::string& line);
    std::string result(const std::string& text) const;
    void hangUp();

    long m_speed;
    std::chrono::milliseconds m_guard;
    bool m_connected = false;
    bool m_online = false;
    std::string m_line;
    bool m_lineTooLong = false;
    Clock::time_point m_lastByte{};
    int m_pluses = 0;
    std::string m_number;
    std::uint64_t m_echoedThisCall = 0;
    std::uint64_t m_hangups = 0;
    std::vector<std::string> m_events;
};

} // namespace loomway::sim
