#pragma once
// A pseudo-terminal standing in for a serial cable: the program opens
// programEnd(), the test plays the device on the other side.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <string>

namespace loomway::test {

class PtyPair {
public:
    PtyPair() {
        int device = -1;
        char name[256] = {};
        if (::openpty(&m_far, &device, name, nullptr, nullptr) == 0) {
            m_path = QString::fromLocal8Bit(name);
            ::close(device);
            ::fcntl(m_far, F_SETFL, O_NONBLOCK);
        }
    }
    ~PtyPair() { breakLine(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString programEnd() const { return m_path; }
    // The far side goes away, as when a cable is pulled.
    void breakLine() {
        if (m_far >= 0) {
            ::close(m_far);
            m_far = -1;
        }
    }
    // Writes all of data, processing Qt events while the line is full.
    void write(const std::string& data) {
        for (std::size_t done = 0; done < data.size() && m_far >= 0;) {
            const ssize_t n = ::write(m_far, data.data() + done, data.size() - done);
            done += n > 0 ? std::size_t(n) : 0;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    // Bytes until count came or idleMs passed without one, processing events.
    std::string read(std::size_t count, int idleMs = 3000) {
        std::string out;
        for (QDeadlineTimer idle(idleMs); out.size() < count && !idle.hasExpired();) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            pollfd p{m_far, POLLIN, 0};
            char buffer[65536];
            const ssize_t n = ::poll(&p, 1, 5) > 0 ? ::read(m_far, buffer, sizeof buffer) : 0;
            if (n > 0) {
                out.append(buffer, std::size_t(n));
                idle.setRemainingTime(idleMs);
            }
        }
        return out;
    }

private:
    int m_far = -1;
    QString m_path;
};

} // namespace loomway::test
