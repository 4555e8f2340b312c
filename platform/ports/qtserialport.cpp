#include "platform/ports/qtserialport.h"

#include "platform/serialdevices.h"

#include <QMetaObject>
#include <QtGlobal>

#include <cerrno>
#include <climits>
#include <exception>
#include <utility>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace loomway {

namespace {

const char* const kInvalidProperty = "Invalid property value";

PortError InvalidProperty() {
    return PortError{380, kInvalidProperty};
}

// "<speed>,N,8,1" with a positive whole speed in plain decimal.
bool ParseSettings(const std::string& text, qint32& speed) {
    const std::string tail = ",N,8,1";
    if (text.size() <= tail.size() || text.compare(text.size() - tail.size(), tail.size(), tail)) {
        return false;
    }
    const std::size_t digits = text.size() - tail.size();
    long long value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) {
            return false;
        }
    }
    if (value <= 0) {
        return false;
    }
    speed = static_cast<qint32>(value);
    return true;
}

std::string OwningGroup(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) {
        return {};
    }
    if (const group* g = ::getgrgid(st.st_gid); g && g->gr_name) {
        return g->gr_name;
    }
    return {};
}

std::string PermissionText(const std::string& device) {
    const std::string group = OwningGroup(device);
    return "Permission denied: this user needs read and write access to " + device +
           " (on Debian: membership of the group that owns it, " +
           (group.empty() || group == "root" ? std::string("usually dialout") : "here " + group) +
           ")";
}

bool LacksAccess(const std::string& device) {
    return ::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) != 0 &&
           (errno == EACCES || errno == EPERM || errno == EROFS);
}

} // namespace

QtSerialPort::QtSerialPort(Resolver resolver) : m_resolver(std::move(resolver)) {
    // A bounded read buffer: when the other side cannot take the bytes, they
    // wait in the device (and the sender is held back) instead of in memory.
    m_port.setReadBufferSize(kReadBufferSize);
    QObject::connect(&m_port, &QSerialPort::readyRead, &m_port, [this] { OnReadyRead(); });
    QObject::connect(&m_port, &QSerialPort::bytesWritten, &m_port, [this](qint64) {
        if (m_written) {
            m_written();
        }
    });
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { OnError(error); });
}

QtSerialPort::~QtSerialPort() {
    QObject::disconnect(&m_port, nullptr, nullptr, nullptr);
    m_port.close();
}

void QtSerialPort::SetPortNumber(int number) {
    if (number < 0) {
        throw InvalidProperty();
    }
    if (m_port.isOpen()) {
        throw PortError{8005, "Port already open"};
    }
    m_number = number;
}

void QtSerialPort::SetSettings(const std::string& settings) {
    qint32 speed = 0;
    if (!ParseSettings(settings, speed)) {
        throw InvalidProperty();
    }
    if (m_port.isOpen() && !m_port.setBaudRate(speed)) {
        throw InvalidProperty();
    }
    m_speed = speed;
}

void QtSerialPort::FailOpen(int code, const std::string& description) {
    throw PortError{code, description};
}

void QtSerialPort::Open() {
    if (m_port.isOpen()) {
        FailOpen(8005, "Port already open");
    }
    const std::string device =
        m_resolver ? m_resolver(m_number) : "/dev/ttyS" + std::to_string(m_number - 1L);
    if (device.empty()) {
        m_device.clear();
        FailOpen(8002, "No device for port " + std::to_string(m_number));
    }
    OpenDevice(device);
    // A session starts with what arrives from now on: bytes that waited in the
    // device (sent while nobody listened, or left from an earlier session)
    // belong to no one and are dropped rather than relayed. A reopening after
    // a lost device stays in its session and keeps what the device sent.
    m_port.clear(QSerialPort::Input);
}

void QtSerialPort::Reopen() {
    if (m_deviceName.empty()) {
        Open();
        return;
    }
    if (m_port.isOpen()) {
        FailOpen(8005, "Port already open");
    }
    OpenDevice(m_deviceName);
}

void QtSerialPort::OpenDevice(const std::string& device) {
    m_device = device;

    // The checks Qt cannot tell apart: absent, not a device, no access.
    struct stat st {};
    if (::stat(m_device.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            FailOpen(8002, "The device " + m_device + " does not exist");
        }
        if (errno == EACCES) {
            FailOpen(70, PermissionText(m_device));
        }
        FailOpen(8012, "The device " + m_device + " cannot be opened");
    }
    if (S_ISDIR(st.st_mode)) {
        FailOpen(8012, m_device + " is a folder, not a serial device");
    }
    if (!S_ISCHR(st.st_mode)) {
        FailOpen(8012, m_device + " is not a serial device");
    }

    m_port.setPortName(QString::fromLocal8Bit(m_device.c_str()));
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        const std::string reason = m_port.errorString().toStdString();
        m_port.clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            FailOpen(8002, "The device " + m_device + " does not exist");
        case QSerialPort::PermissionError:
            // Qt reports a lock held by another program and a refused open
            // alike; the access rights tell them apart.
            if (LacksAccess(m_device)) {
                FailOpen(70, PermissionText(m_device));
            }
            FailOpen(8005, "The device " + m_device +
                               " is in use by another program or already open (" + reason + ")");
        case QSerialPort::OpenError:
            FailOpen(8005, "The device " + m_device + " is already open (" + reason + ")");
        default:
            FailOpen(8012, "The device " + m_device + " cannot be opened: " + reason);
        }
    }
    if (!m_port.setBaudRate(m_speed) || !m_port.setDataBits(QSerialPort::Data8) ||
        !m_port.setParity(QSerialPort::NoParity) || !m_port.setStopBits(QSerialPort::OneStop) ||
        !m_port.setFlowControl(QSerialPort::NoFlowControl)) {
        m_port.close();
        m_port.clearError();
        throw InvalidProperty();
    }
    m_deviceName = StableDeviceName(m_device);
    ++m_openCount;
    m_lostPending = false;
    m_missedReceive = false;
}

void QtSerialPort::Close() {
    ++m_openCount; // events queued for the old opening no longer apply
    if (m_port.isOpen()) {
        m_port.close();
    }
    m_port.clearError();
}

bool QtSerialPort::IsOpen() const {
    return m_port.isOpen();
}

std::size_t QtSerialPort::BytesWaiting() const {
    return m_port.isOpen() ? static_cast<std::size_t>(m_port.bytesAvailable()) : 0;
}

std::string QtSerialPort::ReadAll() {
    if (!m_port.isOpen()) {
        return {};
    }
    const qint64 waiting = m_port.bytesAvailable();
    if (waiting <= 0) {
        return {};
    }
    std::string data(static_cast<std::size_t>(waiting), '\0');
    const qint64 got = m_port.read(data.data(), waiting);
    data.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (m_inReceive) {
        m_readInHandler += static_cast<qint64>(data.size());
    }
    return data;
}

void QtSerialPort::Write(const std::string& data) {
    if (!m_port.isOpen()) {
        throw PortError{8018, "Operation valid only when the port is open"};
    }
    if (data.empty()) {
        return;
    }
    const char* bytes = data.data();
    qint64 size = static_cast<qint64>(data.size());
    // With nothing queued the device takes the bytes at once, without a turn
    // of the event loop for QSerialPort's write notifier; whatever it does not
    // take (or an error) is left to QSerialPort, which reports it as usual.
    if (m_port.bytesToWrite() == 0) {
        const ssize_t written =
            ::write(static_cast<int>(m_port.handle()), bytes, static_cast<std::size_t>(size));
        if (written > 0) {
            bytes += written;
            size -= written;
        }
        if (size == 0) {
            return;
        }
    }
    // QSerialPort keeps the bytes and sends them from the event loop as the
    // device takes them. No flush() here: when the device is full, it turns
    // the would-block of a second write into a ResourceError.
    if (m_port.write(bytes, size) != size) {
        throw PortError{8012, "The device " + m_device +
                                  " cannot be written: " + m_port.errorString().toStdString()};
    }
}

void QtSerialPort::SetReceiveHandler(std::function<void()> handler) {
    m_receive = std::move(handler);
}

std::size_t QtSerialPort::BytesToWrite() const {
    return m_port.isOpen() ? static_cast<std::size_t>(m_port.bytesToWrite()) : 0;
}

void QtSerialPort::SetWrittenHandler(std::function<void()> handler) {
    m_written = std::move(handler);
}

void QtSerialPort::SetLostHandler(std::function<void(const PortError&)> handler) {
    m_lost = std::move(handler);
}

void QtSerialPort::OnReadyRead() {
    if (m_inReceive) {
        // The handler is running (and waiting in a nested event loop): raise
        // the event again once it has returned.
        m_missedReceive = true;
        return;
    }
    RaiseReceive();
}

void QtSerialPort::RaiseReceive() {
    if (!m_receive) {
        return;
    }
    // QSerialPort raises no readyRead while one is being handled, so bytes that
    // come during the handler (in a nested event loop) would wait unnoticed:
    // they get an event of their own once it has returned.
    const qint64 waitingBefore = m_port.bytesAvailable();
    m_readInHandler = 0;
    m_inReceive = true;
    try {
        m_receive();
    } catch (const PortError& e) {
        qWarning("serial receive handler failed: %d %s", e.code, e.description.c_str());
    } catch (const std::exception& e) {
        qWarning("serial receive handler failed: %s", e.what());
    } catch (...) {
        qWarning("serial receive handler failed");
    }
    m_inReceive = false;
    const bool arrived =
        m_port.isOpen() && m_port.bytesAvailable() + m_readInHandler > waitingBefore;
    if (std::exchange(m_missedReceive, false) || arrived) {
        RequeueReceiveEvent();
    }
}

void QtSerialPort::RequeueReceiveEvent() {
    if (m_requeuePending) {
        return;
    }
    m_requeuePending = true;
    const std::uint64_t opening = m_openCount;
    QMetaObject::invokeMethod(
        &m_port,
        [this, opening] {
            m_requeuePending = false;
            if (opening != m_openCount || !m_port.isOpen() || m_port.bytesAvailable() <= 0) {
                return;
            }
            OnReadyRead();
        },
        Qt::QueuedConnection);
}

bool QtSerialPort::DeviceGone() const {
    pollfd state{static_cast<int>(m_port.handle()), POLLOUT, 0};
    if (state.fd < 0 || ::poll(&state, 1, 0) < 0) {
        return true;
    }
    return (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void QtSerialPort::OnError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) {
        return;
    }
    if (!m_port.isOpen()) {
        return;
    }
    if (error == QSerialPort::ResourceError && !DeviceGone()) {
        // A write the full device refused for now (EAGAIN): QSerialPort keeps
        // the bytes and sends them when the device takes them again.
        m_port.clearError();
        return;
    }
    // QSerialPort repeats these errors as fast as it can while the port stays
    // open: close it now, and tell the owner later, outside this signal.
    const PortError lost{8012, "The device " + m_device + " went away (" +
                                   m_port.errorString().toStdString() + ")"};
    m_port.close();
    if (m_lostPending) {
        return;
    }
    m_lostPending = true;
    const std::uint64_t opening = m_openCount;
    QMetaObject::invokeMethod(
        &m_port,
        [this, opening, lost] {
            m_lostPending = false;
            m_port.clearError();
            if (opening != m_openCount || m_port.isOpen() || !m_lost) {
                return;
            }
            try {
                m_lost(lost);
            } catch (const PortError& e) {
                qWarning("serial lost handler failed: %d %s", e.code, e.description.c_str());
            } catch (const std::exception& e) {
                qWarning("serial lost handler failed: %s", e.what());
            } catch (...) {
                qWarning("serial lost handler failed");
            }
        },
        Qt::QueuedConnection);
}

} // namespace loomway
