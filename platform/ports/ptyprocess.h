#pragma once

#include <QProcess>
#include <QSocketNotifier>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace loomway {

// A program running on a pseudo-terminal of its own, in raw mode, as a
// serial line's far end: its standard input, output and error are the
// terminal, which is its controlling terminal in a session of its own. The
// program is started directly (no shell). Stop() hangs up: the terminal is
// closed, the program's process group gets SIGTERM and, when it is still
// there after a grace time, SIGKILL; every program started is reaped, at the
// latest when this object goes. A program that ends by itself is heard to the
// end: what it wrote stays readable, and its end is told once all is read.
class PtyProcess {
public:
    PtyProcess();
    ~PtyProcess();
    PtyProcess(const PtyProcess&) = delete;
    PtyProcess& operator=(const PtyProcess&) = delete;

    // Starts argv[0] (looked up in PATH unless it holds a slash). Returns an
    // empty text, or why the program cannot be started (also when the system
    // refuses it a process or descriptors).
    std::string Start(const std::vector<std::string>& argv);
    void Stop();
    // Stop(), then the stopped programs are ended and reaped at once, as when
    // this object goes: for a process that ends without its destructors.
    void StopNow();
    bool Running() const { return m_master >= 0; }
    // The process id of the running program, or 0.
    qint64 ProcessId() const;

    std::size_t BytesWaiting() const { return m_in.size(); }
    std::string ReadAll();
    void Write(const std::string& data);
    std::size_t BytesToWrite() const { return m_out.size(); }

    // Bytes have arrived.
    void SetDataHandler(std::function<void()> handler) { m_data = std::move(handler); }
    // The program ended by itself (or could not run); called once, queued,
    // after all its output has been read.
    void SetEndedHandler(std::function<void(const std::string&)> handler) {
        m_ended = std::move(handler);
    }
    // The terminal took bytes that were waiting to be written.
    void SetWrittenHandler(std::function<void()> handler) { m_written = std::move(handler); }

    // How long a stopped program may take to go before SIGKILL.
    static constexpr int kGraceMs = 2000;
    // The same when this object goes, for all its programs together.
    static constexpr int kLastGraceMs = 500;

private:
    void OnReadable();
    void OnWritable();
    void Flush();
    void CloseMaster();
    void OnFinished(QProcess* process, const std::string& why);
    // Tells the program's end (queued) once the terminal is read to the end
    // and all it gave has been taken.
    void ReportEndOnceTaken();

    int m_master = -1;
    std::string m_in;
    std::string m_out;
    bool m_readPaused = false;
    std::unique_ptr<QSocketNotifier> m_reader;
    std::unique_ptr<QSocketNotifier> m_writer;
    std::unique_ptr<QProcess> m_process;
    std::vector<QProcess*> m_ending;  // stopped, not reaped yet
    std::optional<std::string> m_end; // why the program ended, until that is told
    std::uint64_t m_run = 0;          // counts starts and stops, for queued calls
    std::function<void()> m_data;
    std::function<void(const std::string&)> m_ended;
    std::function<void()> m_written;
    QObject m_context; // for queued calls: dropped when this object goes
};

} // namespace loomway
