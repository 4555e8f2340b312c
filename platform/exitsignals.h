#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace loomway {

// Turns SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C, a closed terminal) into a
// queued call on the user-interface thread, so they run the same exit
// sequence as the close box. The signal handler only writes the signal's
// number to a socket pair (async-signal-safe); a QSocketNotifier reads it on
// the event loop and calls onExit once per signal that arrived.
//
// A signal handler has no context to reach an object through, so one
// process-wide descriptor carries the signals: create at most one ExitSignals
// at a time. The previous dispositions come back when it goes.
class ExitSignals : public QObject {
    Q_OBJECT
public:
    explicit ExitSignals(std::function<void(int signal)> onExit, QObject* parent = nullptr);
    ~ExitSignals() override;
    ExitSignals(const ExitSignals&) = delete;
    ExitSignals& operator=(const ExitSignals&) = delete;

    // Whether the handlers are in place (false when the socket pair failed).
    bool Installed() const { return m_installed; }

signals:
    void ExitRequested(int signal);

private:
    void OnReadable();

    std::function<void(int)> m_onExit;
    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};

} // namespace loomway
