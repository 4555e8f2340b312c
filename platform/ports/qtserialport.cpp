#include "platform/ports/qtserialport.h"

#include "platform/ports/porterrors.h"
#include "platform/ports/portsettings.h"
#include "platform/serialdevices.h"

#include <QSignalBlocker>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace loomway {

namespace {

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

QtSerialPort::QtSerialPort(Resolver resolver)
    : PortBase("serial"), m_resolver(std::move(resolver)) {
    // A bounded read buffer: when the other side cannot take the bytes, they
    // wait in the device (and the sender is held back) instead of in memory.
    m_port.setReadBufferSize(kReadBufferSize);
    QObject::connect(&m_port, &QSerialPort::readyRead, &m_port, [this] { OnArrival(); });
    QObject::connect(&m_port, &QSerialPort::bytesWritten, &m_port,
                     [this](qint64) { RaiseWritten(); });
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { OnError(error); });
}

QtSerialPort::~QtSerialPort() {
    QObject::disconnect(&m_port, nullptr, nullptr, nullptr);
    m_port.close();
}

void QtSerialPort::SetSettings(const std::string& settings) {
    const qint32 speed = CheckedSpeedOfSettings(settings);
    if (m_port.isOpen() && !m_port.setBaudRate(speed)) {
        throw InvalidProperty();
    }
    m_speed = speed;
}

void QtSerialPort::FailOpen(PortError::Code code, const std::string& description) {
    throw PortError{code, description};
}

void QtSerialPort::Open() {
    if (m_port.isOpen()) {
        throw PortAlreadyOpen();
    }
    const std::string device =
        m_resolver ? m_resolver(PortNumber()) : "/dev/ttyS" + std::to_string(PortNumber() - 1L);
    if (device.empty()) {
        m_device.clear();
        FailOpen(PortError::Code::NoSuchPort, "No device for port " + std::to_string(PortNumber()));
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
        throw PortAlreadyOpen();
    }
    OpenDevice(m_deviceName);
}

void QtSerialPort::OpenDevice(const std::string& device) {
    m_device = device;

    // The checks Qt cannot tell apart: absent, not a device, no access.
    struct stat st {};
    if (::stat(m_device.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            FailOpen(PortError::Code::NoSuchPort, "The device " + m_device + " does not exist");
        }
        if (errno == EACCES) {
            FailOpen(PortError::Code::PermissionDenied, PermissionText(m_device));
        }
        FailOpen(PortError::Code::DeviceUnavailable,
                 "The device " + m_device + " cannot be opened");
    }
    if (S_ISDIR(st.st_mode)) {
        FailOpen(PortError::Code::DeviceUnavailable,
                 m_device + " is a folder, not a serial device");
    }
    if (!S_ISCHR(st.st_mode)) {
        FailOpen(PortError::Code::DeviceUnavailable, m_device + " is not a serial device");
    }

    m_port.setPortName(QString::fromLocal8Bit(m_device.c_str()));
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        const std::string reason = m_port.errorString().toStdString();
        m_port.clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            FailOpen(PortError::Code::NoSuchPort, "The device " + m_device + " does not exist");
        case QSerialPort::PermissionError:
            // Qt reports a lock held by another program and a refused open
            // alike; the access rights tell them apart.
            if (LacksAccess(m_device)) {
                FailOpen(PortError::Code::PermissionDenied, PermissionText(m_device));
            }
            FailOpen(PortError::Code::PortAlreadyOpen,
                     "The device " + m_device + " is in use by another program or already open (" +
                         reason + ")");
        case QSerialPort::OpenError:
            FailOpen(PortError::Code::PortAlreadyOpen,
                     "The device " + m_device + " is already open (" + reason + ")");
        default:
            FailOpen(PortError::Code::DeviceUnavailable,
                     "The device " + m_device + " cannot be opened: " + reason);
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
    BeginOpening();
}

void QtSerialPort::Close() {
    EndOpening(); // events queued for the old opening no longer apply
    if (m_port.isOpen()) {
        if (m_port.bytesToWrite() > 0) {
            // What was handed over last (a PPP Terminate-Request) goes out as
            // far as the device takes it now; a failure here is the close's.
            const QSignalBlocker quiet(m_port);
            m_port.flush();
        }
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
    if (InReceive()) {
        m_readInHandler += static_cast<qint64>(data.size());
    }
    return data;
}

void QtSerialPort::Write(const std::string& data) {
    if (!m_port.isOpen()) {
        throw PortNotOpen();
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
        throw PortError{PortError::Code::DeviceUnavailable,
                        "The device " + m_device +
                            " cannot be written: " + m_port.errorString().toStdString()};
    }
}

std::size_t QtSerialPort::BytesToWrite() const {
    return m_port.isOpen() ? static_cast<std::size_t>(m_port.bytesToWrite()) : 0;
}

void QtSerialPort::ReceiveStarting() {
    // Bytes that come during the handler (in a nested event loop) would wait
    // unnoticed: they get an event of their own once it has returned.
    m_waitingBefore = m_port.bytesAvailable();
    m_readInHandler = 0;
}

bool QtSerialPort::ArrivedUnsignalled() const {
    return m_port.isOpen() && m_port.bytesAvailable() + m_readInHandler > m_waitingBefore;
}

void QtSerialPort::OnRequeuedReceive() {
    if (m_port.isOpen() && m_port.bytesAvailable() > 0) {
        OnArrival();
    }
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
    const PortError lost{PortError::Code::DeviceUnavailable,
                         "The device " + m_device + " went away (" +
                             m_port.errorString().toStdString() + ")"};
    m_port.close();
    ReportLost(lost);
}

} // namespace loomway
