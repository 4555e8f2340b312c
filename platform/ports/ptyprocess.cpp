#include "platform/ports/ptyprocess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace loomway {

namespace {

// Output kept while nobody reads it; beyond this the program is held back
// by its terminal.
constexpr std::size_t kInLimit = 64 * 1024;

void SetFlags(int fd, bool nonBlocking) {
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
    if (nonBlocking) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
}

void SignalGroup(QProcess& process, int signal) {
    const qint64 pid = process.processId();
    if (pid > 0 && process.state() != QProcess::NotRunning) {
        // The program leads a session and process group of its own, so the
        // helpers it started go too.
        ::kill(static_cast<pid_t>(-pid), signal);
        ::kill(static_cast<pid_t>(pid), signal);
    }
}

} // namespace

PtyProcess::PtyProcess() = default;

PtyProcess::~PtyProcess() {
    Stop();
    // Taken out first, and cut loose: reaping one changes no list being walked.
    const std::vector<QProcess*> ending = std::exchange(m_ending, {});
    for (QProcess* process : ending) {
        QObject::disconnect(process, nullptr, nullptr, nullptr);
        SignalGroup(*process, SIGTERM);
    }
    const QDeadlineTimer grace(kLastGraceMs);
    for (QProcess* process : ending) {
        process->waitForFinished(static_cast<int>(grace.remainingTime()));
    }
    for (QProcess* process : ending) {
        if (process->state() != QProcess::NotRunning) {
            SignalGroup(*process, SIGKILL);
            process->waitForFinished(kGraceMs);
        }
        delete process;
    }
}

qint64 PtyProcess::ProcessId() const {
    return m_process ? m_process->processId() : 0;
}

std::string PtyProcess::Start(const std::vector<std::string>& argv) {
    Stop();
    if (argv.empty() || argv.front().empty()) {
        return "no program given";
    }
    const QString name = QString::fromStdString(argv.front());
    QString program = name;
    if (!name.contains(u'/')) {
        program = QStandardPaths::findExecutable(name);
        if (program.isEmpty()) {
            return "the program " + argv.front() + " is not in the PATH";
        }
    } else if (!QFileInfo(name).isFile() || ::access(argv.front().c_str(), X_OK) != 0) {
        return "the program " + argv.front() + " cannot be run";
    }

    termios raw{};
    ::cfmakeraw(&raw);
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        return std::string("no pseudo-terminal: ") + std::strerror(errno);
    }
    SetFlags(master, true);
    SetFlags(slave, false);

    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    QStringList arguments;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        arguments << QString::fromStdString(argv[i]);
    }
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // In the child, between fork and exec: only async-signal-safe calls.
    process->setChildProcessModifier([slave] {
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int signal : {SIGHUP, SIGINT, SIGTERM, SIGPIPE}) {
            ::signal(signal, SIG_DFL);
        }
        ::setsid();
        ::ioctl(slave, TIOCSCTTY, 0);
        ::dup2(slave, STDIN_FILENO);
        ::dup2(slave, STDOUT_FILENO);
        ::dup2(slave, STDERR_FILENO);
    });
    process->start(QIODevice::NotOpen);
    ::close(slave);
    if (process->state() == QProcess::NotRunning) {
        // Refused at once (no process or no descriptor left): nothing runs.
        ::close(master);
        return "the program cannot be started: " + process->errorString().toStdString();
    }
    // Connected only now: a failure inside start() has been dealt with above.
    QProcess* run = process.get();
    QObject::connect(
        run, &QProcess::finished, run, [this, run](int code, QProcess::ExitStatus how) {
            OnFinished(run, how == QProcess::CrashExit
                                ? "the program ended by a signal"
                                : "the program ended with status " + std::to_string(code));
        });
    QObject::connect(run, &QProcess::errorOccurred, run, [this, run](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            OnFinished(run, "the program cannot be started: " + run->errorString().toStdString());
        }
    });

    m_master = master;
    m_in.clear();
    m_out.clear();
    m_readPaused = false;
    m_process = std::move(process);
    m_reader = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
    m_writer = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Write);
    m_writer->setEnabled(false);
    QObject::connect(m_reader.get(), &QSocketNotifier::activated, m_reader.get(),
                     [this] { OnReadable(); });
    QObject::connect(m_writer.get(), &QSocketNotifier::activated, m_writer.get(),
                     [this] { OnWritable(); });
    return {};
}

// The notifiers stay (off) until the next start or stop: this may run inside
// the reader's own signal.
void PtyProcess::CloseMaster() {
    for (QSocketNotifier* notifier : {m_reader.get(), m_writer.get()}) {
        if (notifier) {
            notifier->setEnabled(false);
        }
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    m_out.clear();
}

void PtyProcess::Stop() {
    ++m_run;
    m_end.reset();
    m_in.clear();
    CloseMaster(); // the terminal hangs up: SIGHUP for the program's session
    m_reader.reset();
    m_writer.reset();
    if (!m_process) {
        return;
    }
    std::unique_ptr<QProcess> process = std::move(m_process);
    if (process->state() == QProcess::NotRunning) {
        process.release()->deleteLater();
        return;
    }
    SignalGroup(*process, SIGTERM);
    QProcess* run = process.release();
    m_ending.push_back(run);
    QTimer::singleShot(kGraceMs, run, [run] { SignalGroup(*run, SIGKILL); });
}

void PtyProcess::StopNow() {
    Stop();
    PtyProcess standIn; // takes the stopped programs and ends them as it goes
    standIn.m_ending = std::exchange(m_ending, {});
}

void PtyProcess::OnFinished(QProcess* process, const std::string& why) {
    if (process != m_process.get()) {
        // A stopped one: reaped now.
        m_ending.erase(std::remove(m_ending.begin(), m_ending.end(), process), m_ending.end());
        process->deleteLater();
        return;
    }
    // Its last words are still in the terminal, however slowly they are
    // taken: read to the end before the end is told.
    m_process.release()->deleteLater();
    m_end = why;
    OnReadable();
}

void PtyProcess::ReportEndOnceTaken() {
    if (!m_end || m_master >= 0 || !m_in.empty()) {
        return;
    }
    const std::string why = *std::exchange(m_end, std::nullopt);
    QTimer::singleShot(0, &m_context, [this, why, run = m_run] {
        if (run == m_run && m_ended) {
            m_ended(why);
        }
    });
}

std::string PtyProcess::ReadAll() {
    std::string data = std::exchange(m_in, {});
    if (m_readPaused && m_reader) {
        m_readPaused = false;
        m_reader->setEnabled(true);
    }
    if (m_end && m_master >= 0) {
        // An ended program's terminal may signal nothing more: read on here.
        QTimer::singleShot(0, &m_context, [this, run = m_run] {
            if (run == m_run) {
                OnReadable();
            }
        });
    }
    ReportEndOnceTaken();
    return data;
}

void PtyProcess::OnReadable() {
    char buffer[16384];
    bool got = false;
    bool drained = m_master < 0;
    while (!drained && m_in.size() < kInLimit) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_in.append(buffer, static_cast<std::size_t>(n));
            got = true;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        drained = true;
        if (n < 0 && errno == EAGAIN) {
            break;
        }
        // EIO: nobody holds the terminal any more. The program's end comes
        // from QProcess.
        if (m_reader) {
            m_reader->setEnabled(false);
        }
        break;
    }
    if (!drained && m_reader) {
        m_readPaused = true;
        m_reader->setEnabled(false);
    }
    if (drained && m_end) {
        CloseMaster(); // all the ended program wrote is read
    }
    const std::uint64_t run = m_run;
    if (got && m_data) {
        m_data();
    }
    if (run == m_run) {
        ReportEndOnceTaken();
    }
}

void PtyProcess::Write(const std::string& data) {
    if (m_master < 0 || data.empty()) {
        return;
    }
    m_out += data;
    Flush();
}

void PtyProcess::Flush() {
    std::size_t done = 0;
    while (done < m_out.size()) {
        const ssize_t n = ::write(m_master, m_out.data() + done, m_out.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            break; // the terminal is full: the rest goes when it has room
        } else {
            done = m_out.size(); // the program is going: nobody will read it
        }
    }
    m_out.erase(0, done);
    if (m_writer) {
        m_writer->setEnabled(!m_out.empty());
    }
}

void PtyProcess::OnWritable() {
    const std::size_t before = m_out.size();
    Flush();
    if (m_out.size() < before && m_written) {
        m_written();
    }
}

} // namespace loomway
