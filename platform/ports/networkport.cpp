#include "platform/ports/networkport.h"

#include "platform/ports/guardedcall.h"
#include "platform/ports/portsettings.h"

#include <algorithm>
#include <limits>
#include <utility>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace loomway {

namespace {

constexpr int kConnectLimitMs = 10000;
// Decoded bytes kept while nobody reads them; beyond this the socket's own
// bounded buffer fills and TCP holds the far end back.
constexpr std::size_t kInLimit = 64 * 1024;
constexpr qint64 kSocketBufferSize = 64 * 1024;
// Answers to the far end's options that may wait to be sent: a far end that
// offers options and reads no answers is read no further, so TCP holds it back.
constexpr std::size_t kAnswerLimit = 64 * 1024;
constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max();

// A far end that vanishes without a word (a host switched off, a cable
// pulled) is noticed within about two minutes instead of never.
void KeepAlive(QTcpSocket& socket) {
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int fd = static_cast<int>(socket.socketDescriptor());
    for (auto [option, value] :
         {std::pair{TCP_KEEPIDLE, 60}, {TCP_KEEPINTVL, 10}, {TCP_KEEPCNT, 6}}) {
        ::setsockopt(fd, IPPROTO_TCP, option, &value, sizeof value);
    }
}

} // namespace

NetworkPort::NetworkPort() : PortBase("network") {
    m_limit.setSingleShot(true);
    m_limit.setInterval(kConnectLimitMs);
    m_socket.setReadBufferSize(kSocketBufferSize);
    QObject::connect(&m_limit, &QTimer::timeout, &m_socket, [this] { OnTimeout(); });
    QObject::connect(&m_socket, &QTcpSocket::connected, &m_socket, [this] { OnConnected(); });
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket, [this] { OnReadyRead(); });
    QObject::connect(&m_socket, &QTcpSocket::errorOccurred, &m_socket,
                     [this](QAbstractSocket::SocketError error) { OnSocketError(error); });
    QObject::connect(&m_socket, &QTcpSocket::bytesWritten, &m_socket,
                     [this](qint64) { OnBytesWritten(); });
}

NetworkPort::~NetworkPort() {
    QObject::disconnect(&m_socket, nullptr, nullptr, nullptr);
    m_socket.abort();
}

void NetworkPort::SetEndpoint(const std::string& host, std::uint16_t port, const std::string& text,
                              std::unique_ptr<WireProtocol> wire) {
    if (IsOpen()) {
        throw PortAlreadyOpen();
    }
    m_host = host;
    m_portNumber = port;
    m_text = text;
    m_wire = std::move(wire);
}

void NetworkPort::SetSettings(const std::string& settings) {
    const int speed = CheckedSpeedOfSettings(settings);
    const bool changed = speed != m_speed;
    m_speed = speed;
    if (changed && m_state == State::Connected) {
        m_socket.write(QByteArray::fromStdString(m_wire->SpeedChange(speed)));
    }
}

void NetworkPort::Open() {
    if (IsOpen()) {
        throw PortAlreadyOpen();
    }
    if (!m_wire || m_host.empty()) {
        throw PortError{PortError::Code::NoSuchPort,
                        "No endpoint for port " + std::to_string(PortNumber())};
    }
    BeginOpening();
    m_in.clear();
    m_pending.clear();
    m_answersUnsent = 0;
    m_readHeld = false;
    m_failure = Failure::None;
    m_state = State::Connecting;
    m_limit.start();
    m_socket.connectToHost(QString::fromStdString(m_host), m_portNumber);
}

void NetworkPort::Close() {
    EndOpening(); // events queued for the old opening no longer apply
    m_limit.stop();
    m_state = State::Closed;
    m_socket.abort();
    m_in.clear();
    m_pending.clear();
    m_answersUnsent = 0;
    m_readHeld = false;
}

std::size_t NetworkPort::BytesWaiting() const {
    if (m_state == State::Draining) {
        return m_in.size();
    }
    if (m_state != State::Connected) {
        return 0;
    }
    return m_in.size() + static_cast<std::size_t>(m_socket.bytesAvailable());
}

std::string NetworkPort::ReadAll() {
    if (m_state == State::Draining) {
        std::string last = std::exchange(m_in, {});
        Fail(Failure::Dropped, m_drop);
        return last;
    }
    if (m_state != State::Connected) {
        return {};
    }
    Pull(kAll);
    return std::exchange(m_in, {});
}

void NetworkPort::Write(const std::string& data) {
    if (m_state == State::Closed) {
        throw PortNotOpen();
    }
    if (data.empty() || m_state == State::Draining) {
        return;
    }
    const std::string wire = m_wire->Encode(data);
    if (m_state == State::Connecting) {
        m_pending += wire;
        return;
    }
    const qint64 size = static_cast<qint64>(wire.size());
    if (m_socket.write(wire.data(), size) != size) {
        throw Error(PortError::Code::DeviceUnavailable,
                    "cannot be written: " + m_socket.errorString().toStdString());
    }
}

std::size_t NetworkPort::BytesToWrite() const {
    if (m_state == State::Closed || m_state == State::Draining) {
        return 0;
    }
    return m_pending.size() + static_cast<std::size_t>(m_socket.bytesToWrite());
}

void NetworkPort::OnConnected() {
    if (m_state != State::Connecting) {
        return;
    }
    m_limit.stop();
    m_state = State::Connected;
    // Small writes are the norm on a relayed line: send each at once.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    KeepAlive(m_socket);
    const std::string first = m_wire->Greeting(m_speed) + std::exchange(m_pending, {});
    if (!first.empty()) {
        m_socket.write(first.data(), static_cast<qint64>(first.size()));
    }
    if (m_connected) {
        const std::uint64_t opening = Opening();
        GuardedCall("connected handler", m_connected);
        if (opening != Opening()) {
            return;
        }
    }
    if (m_socket.bytesAvailable() > 0) {
        OnReadyRead();
    }
}

void NetworkPort::Pull(std::size_t inLimit) {
    while (m_socket.bytesAvailable() > 0 && m_in.size() < inLimit) {
        if (m_state == State::Connected && m_answersUnsent > kAnswerLimit) {
            m_readHeld = true; // until the far end has taken its answers
            return;
        }
        const QByteArray chunk = m_socket.read(kSocketBufferSize);
        if (chunk.isEmpty()) {
            break;
        }
        std::string reply;
        m_wire->Decode(chunk.toStdString(), m_in, reply);
        if (!reply.empty() && m_state == State::Connected) {
            m_socket.write(reply.data(), static_cast<qint64>(reply.size()));
            m_answersUnsent += reply.size();
        }
    }
}

void NetworkPort::OnReadyRead() {
    if (m_state != State::Connected) {
        return;
    }
    Pull(kInLimit);
    if (!m_in.empty()) {
        OnArrival();
    }
}

void NetworkPort::OnBytesWritten() {
    // The socket sends in order: at most what it still holds is answers.
    m_answersUnsent = std::min(m_answersUnsent, static_cast<std::size_t>(m_socket.bytesToWrite()));
    RaiseWritten();
    if (m_readHeld && m_state == State::Connected && m_answersUnsent <= kAnswerLimit / 2) {
        m_readHeld = false;
        OnReadyRead(); // the socket signals no bytes that it holds already
    }
}

void NetworkPort::OnRequeuedReceive() {
    if (m_state == State::Connected) {
        Pull(kInLimit);
    }
    if (!m_in.empty() && !InReceive()) {
        RaiseReceive();
    }
}

PortError NetworkPort::Error(PortError::Code code, const std::string& what) const {
    const std::string text = m_text + ": " + what;
    return PortError{code, text, text};
}

void NetworkPort::OnSocketError(QAbstractSocket::SocketError error) {
    if (m_state == State::Closed) {
        return;
    }
    const std::string where = m_host + " port " + std::to_string(m_portNumber);
    const std::string reason = m_socket.errorString().toStdString();
    if (m_state == State::Connecting) {
        if (error == QAbstractSocket::HostNotFoundError) {
            Fail(Failure::HostNotFound,
                 Error(PortError::Code::NoSuchPort, "the host " + m_host + " cannot be found"));
        } else if (error == QAbstractSocket::ConnectionRefusedError) {
            Fail(Failure::Refused, Error(PortError::Code::DeviceUnavailable,
                                         "the connection to " + where + " was refused"));
        } else {
            Fail(Failure::Unreachable, Error(PortError::Code::DeviceUnavailable,
                                             where + " cannot be reached (" + reason + ")"));
        }
        return;
    }
    m_drop = error == QAbstractSocket::RemoteHostClosedError
                 ? Error(PortError::Code::DeviceUnavailable, "the far end closed the connection")
                 : Error(PortError::Code::DeviceUnavailable,
                         "the connection to " + where + " broke (" + reason + ")");
    // The last bytes before a drop are the user's too, however long the reader
    // holds back: they stay readable, and the drop is reported once they are read.
    m_state = State::Draining;
    Pull(kAll);
    m_socket.abort();
    if (m_in.empty()) {
        Fail(Failure::Dropped, m_drop);
        return;
    }
    OnArrival();
}

void NetworkPort::OnTimeout() {
    if (m_state != State::Connecting) {
        return;
    }
    Fail(Failure::TimedOut,
         Error(PortError::Code::DeviceUnavailable,
               "no connection to " + m_host + " port " + std::to_string(m_portNumber) + " within " +
                   std::to_string(m_limit.interval() / 1000) + " s"));
}

void NetworkPort::Fail(Failure why, const PortError& error) {
    Close();
    m_failure = why;
    ReportLost(error);
}

} // namespace loomway
