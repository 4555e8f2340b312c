#pragma once

#include "base/clock.h"
#include "config/pppsettings.h"
#include "config/profilefile.h"
#include "lines/pppserver.h"
#include "platform/ports/desktopresolver.h"
#include "platform/ports/portbase.h"
#include "platform/ports/slirpnetwork.h"
#include "platform/qttimer.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

namespace loomway {

// A port whose far end is the program's own PPP server (lines/pppserver.h)
// with the desktop's network behind it through libslirp (SlirpNetwork): what
// is written to the port is the handheld's line, what is read is the server's.
// Opening reads [PPP]; the user-mode network stands while the session is
// online, and the handheld's lookups of names go to DesktopResolver. Closing
// ends the session at once and closes every socket.
//
// On a cable (no ended handler) a session starts with the handheld's first
// bytes, and again with the first bytes after one ended. On a call (an ended
// handler set, as the built-in modem does) it starts at opening, and its end
// is the owner's business.
//
// Bytes for the handheld wait here while nobody reads them; past kInLimit,
// IP packets toward the handheld are dropped, as a router drops them, and
// TCP slows down (the server's own control frames still go).
class PppGateway : public PortBase, private PppSink {
public:
    static constexpr std::size_t kInLimit = 64 * 1024;

    // Reads [PPP] of file at each opening.
    explicit PppGateway(ProfileFile& file);
    ~PppGateway() override;

    // Where the session's state goes, for the status bar ("PPP: negotiating",
    // "Online as 10.0.2.15", "PPP ended: wrong password"; empty: nothing to
    // say any more); by default the log.
    void SetNoteHandler(std::function<void(const std::string&)> handler) {
        m_note = std::move(handler);
    }
    // Called, queued, when a session has ended while the port stays open;
    // makes the port a call's (see above). Set before opening.
    void SetEndedHandler(std::function<void()> handler) { m_ended = std::move(handler); }

    PppState State() const { return m_server ? m_server->State() : PppState::Idle; }
    // The sockets that libslirp holds open for the handheld.
    std::size_t SocketCount() const { return m_network ? m_network->SocketCount() : 0; }

    void SetSettings(const std::string& settings) override;
    void Open() override;
    // A session that runs ends with a Terminate-Request to the handheld.
    std::string TakeLastWords() override;
    void Close() override;
    bool IsOpen() const override { return m_server != nullptr; }
    std::size_t BytesWaiting() const override { return m_in.size(); }
    std::string ReadAll() override;
    void Write(const std::string& data) override;
    void RequeueReceiveEvent() override;

private:
    // PppSink
    void SendToLine(std::string_view bytes) override;
    void DeliverIpPacket(std::string_view packet) override;
    void OnStateChanged(PppState state, const std::string& detail) override;

    void End();
    void ToHandheld(std::string_view packet);
    void Note(const std::string& text);
    void OnRequeuedReceive() override;

    ProfileFile& m_file;
    PppSettings m_settings;
    std::string m_in;
    std::function<void(const std::string&)> m_note;
    std::function<void()> m_ended;
    SystemClock m_clock;
    QtTimer m_timer{[this] {
        if (m_server) {
            m_server->OnTimer();
        }
    }};
    DesktopResolver m_resolver{[this](const std::string& answer) { ToHandheld(answer); }};
    std::unique_ptr<PppServer> m_server;
    std::unique_ptr<SlirpNetwork> m_network;
    QObject m_context; // for the queued ended event: dropped first
};

} // namespace loomway
