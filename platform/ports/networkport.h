#pragma once

#include "platform/ports/portbase.h"
#include "platform/ports/wireprotocol.h"

#include <QTcpSocket>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace loomway {

// A port whose far end is a TCP endpoint (raw, telnet or a remote serial
// port, as its WireProtocol says). Name lookup and connecting run in the
// background: Open() returns at once with the port open and connecting, bytes
// written meanwhile wait and go out once the connection stands. A connection
// that fails (NoSuchPort when the host does not resolve, DeviceUnavailable
// when it is refused, unreachable or silent past the limit) or drops later is
// reported through the lost handler, with the port already closed. Bytes that
// came before a drop stay readable: the port is closed and the drop reported
// once they have been read.
class NetworkPort : public PortBase {
public:
    enum class Failure { None, HostNotFound, Refused, Unreachable, TimedOut, Dropped };

    NetworkPort();
    ~NetworkPort() override;

    // Where the next Open() connects to; text is the endpoint as the user
    // wrote it, for messages.
    void SetEndpoint(const std::string& host, std::uint16_t port, const std::string& text,
                     std::unique_ptr<WireProtocol> wire);
    // How long name lookup and connecting may take together.
    void SetConnectLimit(int milliseconds) { m_limit.setInterval(milliseconds); }
    bool Connected() const { return m_state == State::Connected; }
    // Why the last opening ended, when it failed or dropped.
    Failure LastFailure() const { return m_failure; }
    // Called once per opening, when the connection stands.
    void SetConnectedHandler(std::function<void()> handler) { m_connected = std::move(handler); }

    void SetSettings(const std::string& settings) override;
    void Open() override;
    void Close() override;
    bool IsOpen() const override { return m_state != State::Closed; }
    // Received bytes not read yet; before decoding, so for telnet an upper
    // bound (an answer to an option is no byte of the user's).
    std::size_t BytesWaiting() const override;
    std::string ReadAll() override;
    // After a drop, while the last bytes wait to be read, writing drops the bytes.
    void Write(const std::string& data) override;
    std::size_t BytesToWrite() const override;

private:
    // Draining: the connection has dropped, what came before waits to be read.
    enum class State { Closed, Connecting, Connected, Draining };

    void OnConnected();
    void OnReadyRead();
    void OnBytesWritten();
    void OnSocketError(QAbstractSocket::SocketError error);
    void OnTimeout();
    // Decodes what the socket holds into m_in, while m_in is under inLimit and
    // the far end takes the answers to its options.
    void Pull(std::size_t inLimit);
    void OnRequeuedReceive() override;
    void Fail(Failure why, const PortError& error);
    PortError Error(PortError::Code code, const std::string& what) const;

    std::string m_host;
    std::uint16_t m_portNumber = 0;
    std::string m_text;
    std::unique_ptr<WireProtocol> m_wire;
    int m_speed = 9600;
    State m_state = State::Closed;
    Failure m_failure = Failure::None;
    std::string m_in;      // decoded bytes not read yet
    std::string m_pending; // encoded bytes written while connecting
    // Answers to options among the bytes the socket has not sent yet (at
    // most): while there are too many, nothing more is read.
    std::size_t m_answersUnsent = 0;
    bool m_readHeld = false; // reading waits for the answers to go out
    PortError m_drop;        // reported once the last bytes are read
    std::function<void()> m_connected;
    QTimer m_limit;
    // Last, so that it goes first: its signals, whose connections touch the
    // members above, are gone before them.
    QTcpSocket m_socket;
};

} // namespace loomway
