#include "tests/support/ptypair.h"

#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace loomway::test {

PtyPair::PtyPair() {
    const QString tag = QUuid::createUuid().toString(QUuid::Id128).left(8);
    m_a = scratchDir() + "/pty-" + tag + "-a";
    m_b = scratchDir() + "/pty-" + tag + "-b";
    m_socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // socat goes when the test goes, even when the test crashes.
    m_socat.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_socat.start("socat", {"pty,raw,echo=0,link=" + m_a, "pty,raw,echo=0,link=" + m_b});
    if (!m_socat.waitForStarted(5000)) {
        return;
    }
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (QFileInfo::exists(m_a) && QFileInfo::exists(m_b)) {
            m_ok = true;
            return;
        }
        QThread::msleep(10);
    }
}

PtyPair::~PtyPair() {
    breakLine();
}

void PtyPair::breakLine() {
    if (m_socat.state() != QProcess::NotRunning) {
        m_socat.terminate();
        if (!m_socat.waitForFinished(3000)) {
            m_socat.kill();
            m_socat.waitForFinished(3000);
        }
    }
}

FarEnd::FarEnd(const QString& path) {
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        return;
    }
    termios tio{};
    if (tcgetattr(m_fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_fd, TCSANOW, &tio);
    }
}

FarEnd::~FarEnd() {
    close();
}

void FarEnd::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void FarEnd::write(const std::string& data) {
    std::size_t done = 0;
    QDeadlineTimer deadline(10000);
    while (done < data.size() && m_fd >= 0 && !deadline.hasExpired()) {
        ssize_t n = ::write(m_fd, data.data() + done, data.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 5);
        }
    }
}

std::string FarEnd::read(std::size_t count, int timeoutMs) {
    std::string out;
    QDeadlineTimer idle(timeoutMs);
    while (out.size() < count && m_fd >= 0 && !idle.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
            char buf[65536];
            ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0) {
                out.append(buf, static_cast<std::size_t>(n));
                idle.setRemainingTime(timeoutMs);
            }
        }
    }
    return out;
}

std::string FarEnd::readFor(int ms) {
    std::string out;
    QDeadlineTimer deadline(ms);
    while (m_fd >= 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
            char buf[65536];
            ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0) {
                out.append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    return out;
}

} // namespace loomway::test
