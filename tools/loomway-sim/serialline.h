#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace loomway::sim {

// The device cannot be opened or set up; the message names it. Exit code 2.
class DeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The line failed after it was opened (write error, far end gone). Exit code 1.
class LineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One serial line in raw mode, 8 data bits, no parity, 1 stop bit.
// SIGINT, SIGTERM and SIGHUP are blocked and watched while it is open: any
// wait on the line ends early when one of them comes (see stopped()).
class SerialLine {
public:
    SerialLine(const std::string& path, long speed);
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Writes all of data, in pieces of `chunk` bytes (0: one piece) with
    // `delay` between pieces, and waits until it has left.
    void write(std::string_view data, std::size_t chunk = 0,
               std::chrono::milliseconds delay = std::chrono::milliseconds(0));

    // Waits up to `timeout` for bytes and returns everything waiting (empty
    // when none came, when the line hung up or when a stop signal came).
    std::string read(std::chrono::milliseconds timeout);

    bool hungUp() const { return m_hungUp; }
    bool stopped() const { return m_stopped; }
    const std::string& path() const { return m_path; }
    // Bytes that went out and came in on this line so far.
    std::uint64_t bytesWritten() const { return m_written; }
    std::uint64_t bytesRead() const { return m_read; }

    // Pauses for `ms` unless a stop signal comes first.
    void pause(std::chrono::milliseconds ms);

private:
    void waitWritable();

    std::string m_path;
    int m_fd = -1;
    int m_signalFd = -1;
    bool m_hungUp = false;
    bool m_stopped = false;
    std::uint64_t m_written = 0;
    std::uint64_t m_read = 0;
};

} // namespace loomway::sim
