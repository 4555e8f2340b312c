#include "platform/exitsignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace loomway {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the socket pair, for the handler; -1 while none is installed.
std::atomic<int> g_writeFd{-1};
struct sigaction g_previous[3];

void OnSignal(int signal) {
    const int savedErrno = errno;
    const int fd = g_writeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        // Non-blocking: if the pair is full, exit has been asked for often enough.
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    errno = savedErrno;
}

} // namespace

ExitSignals::ExitSignals(std::function<void(int)> onExit, QObject* parent)
    : QObject(parent), m_onExit(std::move(onExit)) {
    if (g_writeFd.load() >= 0) {
        return; // another ExitSignals already owns the signals
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0) {
        m_fds[0] = m_fds[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_fds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ExitSignals::OnReadable);
    g_writeFd.store(m_fds[1]);

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    }
    m_installed = true;
}

ExitSignals::~ExitSignals() {
    if (m_installed) {
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
        }
        g_writeFd.store(-1);
    }
    delete m_notifier;
    for (int fd : m_fds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void ExitSignals::OnReadable() {
    unsigned char numbers[64];
    const ssize_t count = ::read(m_fds[0], numbers, sizeof numbers);
    for (ssize_t i = 0; i < count; ++i) {
        emit ExitRequested(numbers[i]);
        if (m_onExit) {
            m_onExit(numbers[i]);
        }
    }
}

} // namespace loomway
