#include "tools/loomway-sim/serialline.h"

#include "tools/loomway-sim/customspeed.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace loomway::sim {
namespace {

using Clock = std::chrono::steady_clock;

speed_t StandardSpeed(long speed) {
    static constexpr std::array<std::pair<long, speed_t>, 26> kRates = {{
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {2000000, B2000000}, {4000000, B4000000},
    }};
    for (const auto& [rate, constant] : kRates) {
        if (rate == speed) {
            return constant;
        }
    }
    return B0;
}

std::string Reason() {
    return std::strerror(errno);
}

} // namespace

SerialLine::SerialLine(const std::string& path, long speed) : m_path(path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        throw DeviceError("cannot open " + path + ": " + Reason());
    }
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) {
        const std::string why = Reason();
        ::close(m_fd);
        throw DeviceError(path + " is not a serial line: " + why);
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD | CS8;
    tio.c_cflag &= ~(PARENB | CSTOPB | CRTSCTS);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t standard = StandardSpeed(speed);
    if (standard != B0) {
        cfsetispeed(&tio, standard);
        cfsetospeed(&tio, standard);
    }
    bool ok = tcsetattr(m_fd, TCSANOW, &tio) == 0;
    if (ok && standard == B0) {
        ok = SetCustomSpeed(m_fd, speed);
    }
    if (!ok) {
        const std::string why = Reason();
        ::close(m_fd);
        throw DeviceError("cannot set " + path + " to " + std::to_string(speed) +
                          " bit/s, 8N1: " + why);
    }
    // Bytes that waited before we came belong to nobody we know of.
    tcflush(m_fd, TCIFLUSH);

    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    m_signalFd = signalfd(-1, &stops, SFD_NONBLOCK | SFD_CLOEXEC);
}

SerialLine::~SerialLine() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (m_signalFd >= 0) {
        ::close(m_signalFd);
    }
}

void SerialLine::waitWritable() {
    std::array<pollfd, 2> fds{{{m_fd, POLLOUT, 0}, {m_signalFd, POLLIN, 0}}};
    while (::poll(fds.data(), m_signalFd >= 0 ? 2 : 1, -1) < 0) {
        if (errno != EINTR) {
            throw LineError("waiting to write to " + m_path + ": " + Reason());
        }
    }
    if (m_signalFd >= 0 && (fds[1].revents & POLLIN)) {
        m_stopped = true;
        throw LineError("interrupted while writing to " + m_path);
    }
    if (fds[0].revents & (POLLERR | POLLNVAL)) {
        throw LineError("the line " + m_path + " failed while writing");
    }
}

void SerialLine::write(std::string_view data, std::size_t chunk, std::chrono::milliseconds delay) {
    if (chunk == 0) {
        chunk = data.size();
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t pieceEnd = std::min(data.size(), done + chunk);
        while (done < pieceEnd) {
            const ssize_t n = ::write(m_fd, data.data() + done, pieceEnd - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                m_written += static_cast<std::uint64_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN) {
                waitWritable();
            } else {
                throw LineError("cannot write to " + m_path + ": " + Reason());
            }
        }
        if (done < data.size() && delay.count() > 0) {
            tcdrain(m_fd);
            pause(delay);
            if (m_stopped) {
                throw LineError("interrupted while writing to " + m_path);
            }
        }
    }
    tcdrain(m_fd);
}

std::string SerialLine::read(std::chrono::milliseconds timeout) {
    std::string got;
    if (m_hungUp || m_stopped) {
        return got;
    }
    std::array<pollfd, 2> fds{{{m_fd, POLLIN, 0}, {m_signalFd, POLLIN, 0}}};
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int r = ::poll(fds.data(), m_signalFd >= 0 ? 2 : 1,
                             static_cast<int>(std::max<long>(0, left.count())));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            return got;
        }
        break;
    }
    if (m_signalFd >= 0 && (fds[1].revents & POLLIN)) {
        signalfd_siginfo info{};
        [[maybe_unused]] auto ignored = ::read(m_signalFd, &info, sizeof info);
        m_stopped = true;
        return got;
    }
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
        if (n > 0) {
            got.append(buffer.data(), static_cast<std::size_t>(n));
            m_read += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // In raw mode with VMIN and VTIME 0, read gives 0 (or EAGAIN) once
        // nothing waits; EIO means the far end of the line is gone.
        if (n < 0 && errno != EAGAIN) {
            m_hungUp = true;
        }
        break;
    }
    if (got.empty() && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
        m_hungUp = true;
    }
    return got;
}

void SerialLine::pause(std::chrono::milliseconds ms) {
    pollfd fd{m_signalFd, POLLIN, 0};
    const auto deadline = Clock::now() + ms;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return;
        }
        const int r = ::poll(&fd, m_signalFd >= 0 ? 1 : 0, static_cast<int>(left.count()));
        if (r > 0) {
            m_stopped = true;
            return;
        }
        if (r == 0) {
            return;
        }
    }
}

} // namespace loomway::sim
