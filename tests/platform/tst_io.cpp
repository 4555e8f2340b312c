// The settings file and captures on files, serial ports on pseudo-terminals (udev's links in a
// folder of the test's own), the built-in modem, network endpoints on loopback servers.
#include "capture/capturecontroller.h"
#include "capture/chunkstore.h"
#include "config/settings.h"
#include "core/datapump.h"
#include "lines/ipv4.h"
#include "lines/pppframing.h"
#include "lines/pppprotocol.h"
#include "platform/filecapturesink.h"
#include "platform/filesystemdevicewatcher.h"
#include "platform/iniprofilefile.h"
#include "platform/ports/portbase.h"
#include "platform/ports/qtserialport.h"
#include "platform/ports/routingserialport.h"
#include "platform/serialdevices.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <numeric>
#include <random>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace loomway;
using namespace loomway::test;

namespace {

// A pseudo-terminal standing in for a serial cable: the program opens
// programEnd, the test plays the device on the far side.
struct PtyPair {
    PtyPair() {
        if (::grantpt(far) == 0 && ::unlockpt(far) == 0) {
            programEnd = ::ptsname(far);
        }
    }
    ~PtyPair() { breakLine(); }
    void breakLine() { ::close(std::exchange(far, -1)); }
    // Writes all of data, processing Qt events while the line is full.
    void write(const std::string& data) {
        for (std::size_t done = 0; done < data.size() && far >= 0;) {
            done +=
                std::size_t(std::max<ssize_t>(0, ::write(far, &data[done], data.size() - done)));
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    // Bytes until count came or idleMs passed without one, processing events;
    // a slow reader takes at most `slow` bytes each 10 ms.
    std::string read(std::size_t count, int idleMs = 3000, std::size_t slow = 0) {
        std::string out;
        for (QDeadlineTimer idle(idleMs); out.size() < count && !idle.hasExpired();) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            pollfd p{far, POLLIN, 0};
            char buffer[65536];
            const std::size_t most = slow ? slow : sizeof buffer;
            const ssize_t n = ::poll(&p, 1, 5) > 0 ? ::read(far, buffer, most) : 0;
            if (n > 0) {
                out.append(buffer, std::size_t(n)), idle.setRemainingTime(idleMs);
                QTest::qWait(slow ? 10 : 0);
            }
        }
        return out;
    }
    int far = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    QString programEnd;
};

// Every byte value, then random ones up to size.
std::string manyBytes(std::size_t size) {
    std::string data(size, '\0');
    std::iota(data.begin(), data.begin() + 256, '\0');
    std::mt19937 gen(1);
    std::generate(data.begin() + 256, data.end(), [&gen] { return char(gen()); });
    return data;
}

quint16 closedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// Whether this process's TCP socket on local port `port` has keep-alive on.
bool keepAliveOn(quint16 port) {
    for (int fd = 0, on = 0; fd < 1024; ++fd) {
        sockaddr_in address{};
        socklen_t size = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
            address.sin_family == AF_INET && ntohs(address.sin_port) == port) {
            return (size = sizeof on,
                    ::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, &size) == 0) &&
                   on;
        }
    }
    return false;
}

bool reaped(qint64 pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH;
}

// The code of the PortError that f throws, its description after a "|"; "0" if none.
template <typename F> std::string FailureOf(F&& f) {
    try {
        f();
    } catch (const PortError& error) {
        return std::to_string(error.Number()) + "|" + error.description;
    }
    return "0";
}

std::unique_ptr<QtSerialPort> PortOn(const QString& device) {
    const std::string path = device.toStdString();
    auto port = std::make_unique<QtSerialPort>([path](int) { return path; });
    port->SetSettings("115200,N,8,1");
    port->Open();
    return port;
}

// The modem port as the program builds it: COM2 leads to `target` through a
// real settings file. What it receives collects in `got`, a loss in `lost`.
struct Rig {
    IniProfileFile file{IniProfileFile::DefaultPath()};
    RoutingSerialPort modem{[this](int n) { return PortDevice(file, n); }, file};
    std::string got, lost;

    explicit Rig(const std::string& target, const char* speed = "9600",
                 const QByteArray& more = {}) {
        writeSettingsFile("[Ports]\nCOM2=" + QByteArray::fromStdString(target) + "\n" + more);
        modem.SetLostHandler([this](const PortError& e) {
            lost = std::to_string(e.Number()) + "|" + e.description;
        });
        modem.SetReceiveHandler([this] { got += modem.ReadAll(); });
        modem.SetPortNumber(2);
        modem.SetSettings(speed + std::string(",N,8,1"));
    }
    // Sends a line and waits until `answer` has come; what came is consumed.
    bool Say(const std::string& line, const std::string& answer) {
        got.clear();
        modem.Write(line);
        return QTest::qWaitFor([&] { return got.find(answer) != std::string::npos; }, 10000);
    }
    // Dials the built-in modem's program; its process id, 0 if it did not answer.
    qint64 Call() { return Say("ATDT555-1234\r", "|\r\n") ? modem.Modem().ProgramId() : 0; }
};

// The handheld's end of a PPP session on the rig's port, its frames made and
// read with the PPP engine's framing: it acknowledges every Configure-Request
// of the gateway and keeps the IP packets that come.
struct PppHandheld {
    explicit PppHandheld(Rig& r) : rig(r) { reader.SetReceiveAccm(0); } // as it asks
    Rig& rig;
    PppFrameReader reader{2000};
    std::size_t taken = 0;
    std::set<std::uint16_t> acked; // protocols whose request the gateway acknowledged
    std::vector<std::string> ip;

    void Send(std::uint16_t protocol, const std::string& packet) {
        std::string content = "\xFF\x03";
        ppp::Put16(content, protocol);
        rig.modem.Write(EncodePppFrame(content + packet, kPppAllControls));
    }
    bool Until(const std::function<bool()>& done, int ms = 10000) {
        return QTest::qWaitFor(
            [&] {
                for (; taken < rig.got.size(); ++taken) {
                    if (!reader.Push(static_cast<unsigned char>(rig.got[taken]))) {
                        continue;
                    }
                    std::uint16_t protocol = 0;
                    std::string_view info;
                    if (!ppp::SplitFrame(reader.Frame(), protocol, info) || info.empty()) {
                        continue;
                    }
                    if (protocol == ppp::kIpv4) {
                        ip.emplace_back(info);
                    } else if (info[0] == ppp::kConfigureRequest) {
                        Send(protocol, char(ppp::kConfigureAck) + std::string(info.substr(1)));
                    } else if (info[0] == ppp::kConfigureAck) {
                        acked.insert(protocol);
                    }
                }
                return done();
            },
            ms);
    }
};

// An IPv4 packet from the handheld (10.0.2.15), UDP from port 4000 with no checksum.
std::string UdpFromHandheld(std::uint32_t to, std::uint16_t port, const std::string& payload) {
    std::string udp;
    for (std::uint32_t word : {4000u, std::uint32_t(port), std::uint32_t(8 + payload.size()), 0u}) {
        ppp::Put16(udp, word);
    }
    return ipv4::Packet(ipv4::kUdp, 0x0A00020F, to, udp + payload);
}

int OpenSockets() {
    int count = 0;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System)) {
        count += fd.symLinkTarget().contains("socket:") ? 1 : 0;
    }
    return count;
}

#define kPath (scratchDir() + "/ini/LOOMWAY.INI")

void Write(const QByteArray& bytes, const QString& path = kPath) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}
QByteArray Read(const QString& path = kPath) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}
// The other files in the folder: a write must leave none behind.
QStringList Strays() {
    return QDir(scratchDir() + "/ini")
        .entryList(QDir::Files | QDir::Hidden)
        .filter(QRegularExpression("^(?!LOOMWAY.INI$|real.ini$)"));
}
int ModeOf(const QString& path) {
    struct stat st {};
    return ::stat(qPrintable(path), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

struct CaptureRig {
    MemoryProfileFile profile;
    FileCaptureFiles files;
    struct : SystemClock {
        std::int64_t WallMicros() const override { return 1'700'000'000'000'000; }
    } clock; // 2023-11-14 22:13:20 UTC
    ChunkFanOut fanOut;
    RecordingMessageBox messages;
    QObject later; // what the controller defers runs on the next event loop pass, while it lives
    CaptureController captures{
        profile, files,    clock,
        fanOut,  messages, [this](auto task) { QTimer::singleShot(0, &later, task); }};
};

// The family's shared event logic over a plain buffer.
struct BufferPort : PortBase {
    BufferPort() : PortBase("buffer") {}
    void SetSettings(const std::string&) override {}
    void Open() override { BeginOpening(), m_open = true; }
    void Close() override { EndOpening(), m_open = false, in.clear(); }
    bool IsOpen() const override { return m_open; }
    std::size_t BytesWaiting() const override { return in.size(); }
    std::string ReadAll() override { return std::exchange(in, {}); }
    void Write(const std::string&) override {}
    void OnRequeuedReceive() override {
        if (m_open && !in.empty()) {
            OnArrival();
        }
    }
    std::string in;
    bool m_open = false;
};

} // namespace

class TestIo : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    PtyPair m_pty; // a real character device for the links to lead to
    QString at(const QString& name) const { return m_dir.filePath("serial/" + name); }
    bool link(const QString& name, const QString& to = {}) {
        QDir().mkpath(QFileInfo(at(name)).path());
        return QFile::link(to.isEmpty() ? m_pty.programEnd : to, at(name));
    }

private slots:
    // A receive event asked for again after the port was opened anew is not
    // lost behind one asked for under the earlier opening and still queued.
    void requeueAcrossReopening() {
        BufferPort port;
        int raised = 0;
        port.SetReceiveHandler([&] { raised += port.ReadAll() == "new" ? 1 : 100; });
        port.Open();
        port.in = "old";
        port.RequeueReceiveEvent();
        port.Close();
        port.Open();
        port.in = "new";
        port.RequeueReceiveEvent();
        QTRY_COMPARE(raised, 1);
    }

    void initTestCase() { qputenv("LOOMWAY_SERIAL_DIR", m_dir.filePath("serial").toLocal8Bit()); }
    void init() {
        QDir().mkpath(scratchDir() + "/ini");
        QFile::remove(kPath);
    }

    // A missing file gives the defaults and creates nothing; writes create it
    // (how the text is read and edited: tests/config/tst_initext.cpp). A
    // relative $XDG_CONFIG_HOME is ignored.
    void readingAndWriting() {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", "relative/folder");
        QCOMPARE(QString::fromStdString(IniProfileFile::DefaultPath()),
                 qEnvironmentVariable("HOME") + "/.config/LOOMWAY.INI");
        qputenv("XDG_CONFIG_HOME", saved);
        IniProfileFile file(kPath.toStdString());
        QCOMPARE(file.GetString("Preferences", "StartApp", " <NONE> ", 255), std::string("<NONE>"));
        QCOMPARE(Read(), QByteArray("(none)"));
        QVERIFY(WriteSetting(file, "Common", "Speed", "9600"));
        QVERIFY(WriteSetting(file, "Source", "Port", "1"));
        QCOMPARE(Read(), QByteArray("[Common]\nSpeed=9600\n\n[Source]\nPort=1\n"));
        QVERIFY(Strays().isEmpty());
    }

    // A write that fails at any point leaves the file as it was and no temporary
    // file behind. Permissions stay, a link stays a link, a new file (it holds
    // the phonebook) and a missing folder are made private, a folder in place of
    // the file is left alone.
    void theFileItself() {
        const QByteArray original = "[Source]\nPort=1\n; a comment\n[Common]\nSpeed=9600\n";
        Write(original);
        IniProfileFile file(kPath.toStdString());
        for (std::size_t after : {0, 1, 10, 48}) {
            file.InjectWriteFailureAfter(after);
            QCOMPARE(WriteSetting(file, "Source", "Port", "16") +
                         WriteSetting(file, "New", "Key", "v"),
                     0);
            QCOMPARE(Read(), original);
            QVERIFY(Strays().isEmpty());
        }
        Write("[Source]\nPort=1\n");
        QVERIFY(::chmod(qPrintable(kPath), 0640) == 0);
        const QString real = scratchDir() + "/ini/real.ini";
        QVERIFY(QFile::rename(kPath, real) && QFile::link(real, kPath));
        file.InjectWriteFailureAfter(std::nullopt);
        QVERIFY(WriteSetting(file, "Source", "Port", "3"));
        QVERIFY(QFileInfo(kPath).isSymLink());
        QCOMPARE(Read(real), QByteArray("[Source]\nPort=3\n"));
        QCOMPARE(ModeOf(real), 0640);
        const QString folder = scratchDir() + "/fresh/config";
        IniProfileFile fresh(folder.toStdString() + "/LOOMWAY.INI");
        QVERIFY(WriteSetting(fresh, "Source", "Port", "4"));
        QCOMPARE(std::pair(ModeOf(folder), ModeOf(folder + "/LOOMWAY.INI")), std::pair(0700, 0600));
        IniProfileFile onFolder(scratchDir().toStdString());
        QCOMPARE(onFolder.GetString("Source", "Port", "dflt", 255), std::string("dflt"));
        QCOMPARE(WriteSetting(onFolder, "Source", "Port", "1"), std::int16_t(0));
    }

    // A switch-on capture never overwrites a file. Captures hold logins and
    // passwords: only their owner may read them, an overwritten file too.
    // (tests/e2e/tst_relay.py reads captures of the running program back with tshark.)
    void switchOnCaptureTakesAFreeName() {
        qputenv("TZ", "UTC");
        const QString folder = scratchDir() + "/taken";
        const QString name = folder + "/loomway-20231114-221320";
        QVERIFY(QDir().mkpath(folder));
        Write("keep", name + ".pppd");
        CaptureRig rig;
        rig.profile.WriteString("Capture", "Folder", folder.toStdString());
        rig.captures.OnSwitch(true);
        rig.captures.OnSwitch(false);
        QCOMPARE(QFileInfo(name + ".pppd").size(), 4);
        QCOMPARE(QFileInfo(name + "-2.pppd").size(), 5);
        QVERIFY(::chmod(qPrintable(name + ".pppd"), 0644) == 0);
        rig.captures.StartMenuCapture((name + ".pppd").toStdString(), CaptureFormat::HexLog);
        rig.captures.StopMenuCapture();
        QCOMPARE(std::pair(ModeOf(name + "-2.pppd"), ModeOf(name + ".pppd")),
                 std::pair(0600, 0600));
    }

    // The store's ring takes memory as chunks fill it, not when it is made,
    // and no more once it is full.
    void chunkStoreMemoryGrowsWithItsChunks() {
        const auto resident = [] { // bytes, from /proc/self/statm: size resident shared ...
            QFile statm("/proc/self/statm");
            return statm.open(QIODevice::ReadOnly)
                       ? statm.readAll().split(' ').value(1).toLongLong() * ::getpagesize()
                       : -1;
        };
        constexpr qint64 kSlack = 1024 * 1024;
        SystemClock clock;
        const qint64 before = resident();
        ChunkStore store(clock);
        QVERIFY2(resident() - before < kSlack, qPrintable(QString::number(resident() - before)));
        const std::string chunk(64 * 1024, 'x');
        const auto fill = [&] {
            for (std::size_t i = 0; i < ChunkStore::kDefaultBudget / chunk.size(); ++i) {
                store.OnChunk(ChunkDirection::HandheldToModem, false, chunk);
            }
        };
        fill();
        const qint64 full = resident();
        QVERIFY(full - before > qint64(ChunkStore::kDefaultBudget) / 2);
        fill();
        fill();
        QVERIFY2(resident() - full < kSlack, qPrintable(QString::number(resident() - full)));
    }

    // Each way a capture fails (a full device, a file-size limit, a folder
    // that is gone) stops it with one message; the other listeners go on.
    void failuresStopTheCaptureWithOneMessage_data() {
        addRows({"menu", "text"}, // "menu": the menu capture's states as they were reported
                {{"full device", "0",
                  "The capture file cannot be written:\n/dev/full\nNo space left on device"},
                 {"file size limit", "10",
                  "The capture file cannot be written:\n%1/limited.txt\nFile too large\n"
                  "The capture has stopped; the redirection goes on."},
                 {"folder gone", "",
                  "The capture file cannot be created:\n%1/gone/loomway-*\nNo such file or "
                  "directory\nThe redirection goes on without a capture."}});
    }
    void failuresStopTheCaptureWithOneMessage() {
        QFETCH(QString, text);
        const QString scratch = scratchDir(), setup = QTest::currentDataTag();
        CaptureRig rig;
        QString menu;
        rig.captures.SetMenuCaptureHandler([&](bool running) { menu += running ? "1" : "0"; });
        ChunkStore watcher(rig.clock);
        rig.fanOut.Add(watcher);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        if (setup == "full device") {
            rig.captures.StartMenuCapture("/dev/full", CaptureFormat::Pppdump);
        } else if (setup == "file size limit") {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limited{4096, old.rlim_max};
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
            rig.captures.StartMenuCapture((scratch + "/limited.txt").toStdString(),
                                          CaptureFormat::HexLog);
        } else {
            QVERIFY(QDir().mkpath(scratch + "/gone"));
            rig.profile.WriteString("Capture", "Folder", (scratch + "/gone").toStdString());
            QVERIFY(QDir(scratch + "/gone").removeRecursively());
            rig.captures.OnSwitch(true);
        }
        for (int i = 0; i < 200; ++i) {
            rig.fanOut.OnChunk(ChunkDirection::ModemToHandheld, false, std::string(100, 'x'));
        }
        QCoreApplication::processEvents();
        rig.fanOut.OnChunk(ChunkDirection::ModemToHandheld, false, "after");
        QCoreApplication::processEvents();
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(watcher.Rows(), std::size_t(201));
        QCOMPARE(menu, cell("menu"));
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        const auto& message = rig.messages.messages.front();
        QVERIFY(message.title == "Capture Error" && message.icon == MessageIcon::Exclamation);
        const QString pattern =
            QRegularExpression::escape(text.replace("%1", scratch)).replace("\\*", "[^\\n]*");
        QVERIFY2(QRegularExpression("^" + pattern + "$")
                     .match(QString::fromStdString(message.text))
                     .hasMatch(),
                 message.text.c_str());
        QVERIFY(!rig.captures.MenuCaptureRunning() && rig.captures.FolderCapturePath().empty());
        QVERIFY(setup != "file size limit" || QFileInfo(scratch + "/limited.txt").size() == 4096);
    }

    // Two megabytes of every byte value each way arrive whole and in order; a
    // far end that reads nothing makes the writes wait, no device is taken for
    // lost, and all arrives when it reads again.
    void bytesAndReceiveEvents() {
        PtyPair pair;
        auto port = PortOn(pair.programEnd);
        std::string received, data = manyBytes(2 << 20);
        int lost = 0, written = 0;
        port->SetReceiveHandler([&] { received += port->ReadAll(); });
        port->SetLostHandler([&](const PortError&) { ++lost; });
        port->SetWrittenHandler([&] { ++written; });
        pair.write(data);
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), data.size(), 20000);
        QVERIFY(received == data);
        for (std::size_t at = 0; at < data.size(); at += 4096) {
            port->Write(data.substr(at, 4096));
            QCoreApplication::processEvents();
        }
        QTest::qWait(300);
        QVERIFY(port->BytesToWrite() > 0);
        QVERIFY(pair.read(data.size(), 10000) == data);
        QTRY_COMPARE(port->BytesToWrite(), std::size_t(0));
        QCOMPARE(pair.read(1, 100), std::string());
        QVERIFY(written > 0 && lost == 0 && port->IsOpen());

        // A requeued event comes once, later, and only while bytes wait; the
        // handler is never entered again while it runs (a modal loop inside).
        int events = 0, depth = 0, deepest = 0;
        port->SetReceiveHandler([&] {
            ++events, deepest = std::max(deepest, ++depth);
            if (events == 2) {
                pair.write("more");
                QTest::qWait(200);
            }
            --depth;
        });
        pair.write("abc");
        QTRY_COMPARE(events, 1);
        port->RequeueReceiveEvent();
        port->RequeueReceiveEvent();
        QCOMPARE(events, 1);
        QTRY_COMPARE(events, 3); // the requeue, and "more" after the nested wait
        QCOMPARE(deepest, 1);
        QCOMPARE(port->ReadAll(), std::string("abcmore"));
        port->RequeueReceiveEvent();
        QTest::qWait(50);
        QCOMPARE(events, 3);
    }

    // Only N,8,1 at a whole positive speed is a setting. The number is
    // resolved to a device at the opening; what cannot be opened fails with
    // the code a user's message depends on; a device held elsewhere opens
    // once it is let go.
    void opening() {
        PtyPair pair;
        std::vector<int> asked;
        const std::string device = pair.programEnd.toStdString();
        QtSerialPort port([&](int n) { return asked.push_back(n), device; });
        const auto setting = [&](const char* text) {
            return FailureOf([&] { port.SetSettings(text); });
        };
        QCOMPARE(setting("110,N,8,1") + setting("115200,N,8,1"), std::string("00"));
        for (const char* bad :
             {"0,N,8,1", "9600.5,N,8,1", "9600,E,8,1", "9600", "99999999999,N,8,1"}) {
            QVERIFY2(setting(bad) == "380|Invalid property value", bad);
        }
        QCOMPARE(FailureOf([&] { port.SetPortNumber(-1); }),
                 std::string("380|Invalid property value"));
        port.SetPortNumber(5);
        QVERIFY(asked.empty());
        port.Open();
        QCOMPARE(asked, std::vector<int>{5});
        QCOMPARE(FailureOf([&] { port.Open(); }).substr(0, 5), std::string("8005|"));
        QCOMPARE(FailureOf([&] { port.SetPortNumber(6); }).substr(0, 5), std::string("8005|"));
        QCOMPARE(FailureOf([&] { PortOn(pair.programEnd); }).substr(0, 5), std::string("8005|"));
        port.Close();
        port.Close();
        QCOMPARE(FailureOf([&] { port.Write("x"); }).substr(0, 5), std::string("8018|"));
        QVERIFY(PortOn(pair.programEnd)->IsOpen());
        const QString dir = scratchDir();
        QFile(dir + "/file").open(QIODevice::WriteOnly);
        QDir().mkpath(dir + "/folder");
        for (auto [path, code] : {std::pair{dir + "/missing", "8002"},
                                  {dir + "/file", "8012"},
                                  {dir + "/folder", "8012"},
                                  {QString("/dev/null"), "8012"}}) {
            const std::string failure = FailureOf([&] { PortOn(path); });
            QCOMPARE(failure.substr(0, 4), std::string(code));
            QVERIFY2(failure.find(path.toStdString()) != std::string::npos, failure.c_str());
        }
    }

    // A device this user may not open: code 70 and a message that says why.
    void noAccess() {
        PtyPair pair;
        const QString device = QFileInfo(pair.programEnd).canonicalFilePath();
        QProcess helper;
        helper.start(QCoreApplication::applicationFilePath(), {"--open-as-nobody", device});
        QVERIFY(helper.waitForFinished(10000));
        const QString out = QString::fromLocal8Bit(helper.readAllStandardOutput()).trimmed();
        if (out == "nosetuid") {
            QSKIP("this machine does not let the test drop its privileges");
        }
        QVERIFY2(out.startsWith("70|") && out.contains(device) &&
                     out.contains("read and write access") &&
                     (out.contains("dialout") || out.contains("here ")),
                 qPrintable(out));
    }

    // A far end that goes away is reported once, as a device that cannot be
    // reached; an explicit close reports nothing; the port opens again on a
    // device that came back, without the bytes that waited in the device
    // before the opening. (tests/e2e/tst_replug.py: no busy loop meanwhile.)
    void lostDevice() {
        PtyPair first;
        std::string device = first.programEnd.toStdString();
        QtSerialPort port([&](int) { return device; });
        port.SetSettings("9600,N,8,1");
        std::vector<int> lost;
        std::string received;
        port.SetLostHandler([&](const PortError& e) { lost.push_back(e.Number()); });
        port.SetReceiveHandler([&] { received += port.ReadAll(); });
        port.Open();
        first.breakLine();
        QTRY_COMPARE_WITH_TIMEOUT(lost, std::vector<int>{8012}, 10000);
        PtyPair second;
        device = second.programEnd.toStdString();
        second.write(std::string(3000, 's'));
        QThread::msleep(300); // time for the bytes to reach the device's input queue
        port.Open();
        second.write("back");
        QTRY_COMPARE(received, std::string("back"));
        port.Close();
        second.breakLine();
        QTest::qWait(300);
        QCOMPARE(lost, std::vector<int>{8012});
    }

    // The device list: ttyACM before ttyS before ttyUSB, numbers by value.
    void pathOrder() {
        for (auto [a, b, before] : {std::tuple{"/dev/ttyS2", "/dev/ttyS10", true},
                                    {"/dev/ttyACM9", "/dev/ttyS0", true},
                                    {"/dev/ttyS1", "/dev/ttyS1", false}}) {
            QVERIFY2(SerialPathBefore(a, b) == before, a);
        }
    }

    // The watcher follows udev's folders and sees the link come at once; the
    // device is listed by its by-id name alone, and found and reopened by it.
    void linkComesBack() {
        FileSystemDeviceWatcher watcher;
        int calls = 0;
        watcher.Watch(at("by-id/usb-Cradle").toStdString(), [&calls] { ++calls; });
        QVERIFY(QDir().mkpath(at("by-id")));
        QTRY_COMPARE(watcher.WatchedFolders(), QStringList{at("by-id")});
        QVERIFY(link("by-path/pci-1") && link("by-id/usb-Cradle") && link("by-id/usb-Gone", "/x"));
        QTRY_VERIFY_WITH_TIMEOUT(calls > 0, FileSystemDeviceWatcher::kRecheckMs / 2);

        const std::string pty = m_pty.programEnd.toStdString();
        std::vector<std::string> ours;
        for (const SerialDevice& device : SerialDevices().Devices()) {
            if (device.path.find(m_dir.path().toStdString()) == 0 || device.path == pty) {
                ours.push_back(device.path);
            }
        }
        const std::string stable = at("by-id/usb-Cradle").toStdString();
        QCOMPARE(ours, std::vector<std::string>{stable});
        QtSerialPort port([pty](int) { return pty; });
        port.Open();
        QCOMPARE(port.DeviceName(), stable);
        port.Close();
        port.Reopen();
        QVERIFY(port.IsOpen() && port.Device() == stable);
    }

    // The built-in modem (modem:) dials a [Phonebook] number by its digits.
    // An exec: program, started with no shell, gets its words split as a
    // shell would, nothing expanded; every byte passes, also more at once
    // than the terminal holds; the program is ended and reaped at hang-up and
    // when it ends by itself. A number whose server refuses is BUSY, one whose
    // host is not found NO CARRIER. (tests/e2e/tst_relay.py: tcp:
    // numbers, "+++" and ATH.)
    void builtinModem() {
        // The program prints its arguments, then echoes 66000 bytes and ends.
        Rig rig("modem:", "38400",
                "[Phonebook]\n5551234=exec:sh -c 'printf \"%s|\" \"$@\"; printf \"\\r\\n\"; exec "
                "head -c 66000' sh 'two words' \"$HOME\" ;x\n7=tcp:127.0.0.1:" +
                    QByteArray::number(closedPort()) + "\n8=telnet:no-such-host.invalid:23\n");
        rig.modem.Open();
        qint64 pid = rig.Call();
        QVERIFY2(pid > 0 &&
                     rig.got.find("CONNECT 38400\r\ntwo words|$HOME|;x|\r\n") != std::string::npos,
                 rig.got.c_str());
        rig.modem.Close();
        QTRY_VERIFY(reaped(pid));
        rig.modem.Open();
        pid = rig.Call();
        const std::string data = manyBytes(66000);
        QVERIFY(rig.Say(data, "\r\nNO CARRIER\r\n"));
        QVERIFY(rig.got == data + "\r\nNO CARRIER\r\n");
        QTRY_VERIFY(reaped(pid));
        QVERIFY(rig.Say("ATDT7\r", "BUSY\r\n"));
        QVERIFY(rig.Say("ATDT8\r", "NO CARRIER\r\n"));

        // With no descriptor left for its pipes a program cannot start: NO
        // CARRIER, and the next dial works. Programs that ignore SIGTERM, hung
        // up one after another, go with the port all the same.
        std::vector<qint64> pids;
        {
            Rig stubborn(
                "modem:", "9600",
                "[Phonebook]\n9=exec:sh -c \"trap '' TERM HUP; echo up; exec sleep 60\"\n");
            stubborn.modem.Open();
            rlimit old{};
            ::getrlimit(RLIMIT_NOFILE, &old);
            int limit = 0; // with two free below it: the terminal's, and no more
            for (int spare = 0; spare < 2; ++limit) {
                spare += ::fcntl(limit, F_GETFD) == -1;
            }
            const rlimit low{rlim_t(limit), old.rlim_max};
            ::setrlimit(RLIMIT_NOFILE, &low);
            stubborn.modem.Write("ATDT9\r");
            ::setrlimit(RLIMIT_NOFILE, &old);
            QTRY_COMPARE(stubborn.got, std::string("ATDT9\r\r\nNO CARRIER\r\n"));
            for (int call = 0; call < 3; ++call) {
                QVERIFY(stubborn.Say("ATDT9\r", "up"));
                pids.push_back(stubborn.modem.Modem().ProgramId());
                stubborn.modem.Close();
                stubborn.modem.Open();
            }
        }
        QVERIFY(std::all_of(pids.begin(), pids.end(), reaped));
    }

    // The PPP gateway (ppp:, or a [Phonebook] number that says ppp: dialled
    // through the built-in modem): the handheld negotiates, gets 10.0.2.15
    // and its name lookups answered by the desktop's resolver; a datagram to
    // the gateway address reaches a server on the desktop's loopback only with
    // Desktop=YES. Closing closes every socket. (tests/e2e: a client of its own.)
    void pppGateway_data() {
        addRows({"target", "desktop"}, {{"desktop open", "ppp:", "YES"},
                                        {"desktop closed", "ppp:", "NO"},
                                        {"through the modem", "modem:", "YES"}});
    }
    void pppGateway() {
        QUdpSocket echo;
        QVERIFY(echo.bind(QHostAddress::LocalHost));
        int echoed = 0;
        QObject::connect(&echo, &QUdpSocket::readyRead, &echo, [&] {
            const QNetworkDatagram datagram = echo.receiveDatagram();
            echo.writeDatagram(datagram.data(), datagram.senderAddress(), datagram.senderPort());
            ++echoed;
        });
        const bool desktop = cell("desktop") == "YES";
        Rig rig(cell("target").toStdString(), "9600",
                "[Phonebook]\n5550000=ppp:\n[PPP]\nDesktop=" + cell("desktop").toLatin1() + "\n");
        std::string note;
        rig.modem.SetPppNoteHandler([&note](const std::string& text) { note = text; });
        const int sockets = OpenSockets();
        rig.modem.Open();
        if (cell("target") == "modem:") {
            QVERIFY(rig.Say("ATD5550000\r", "CONNECT 9600\r\n"));
        }
        PppHandheld handheld(rig);
        // ACCM 0, a magic number, PFC and ACFC, as handhelds ask.
        const QByteArray lcp = QByteArray::fromHex("0206 00000000 0506 11223344 0702 0802");
        handheld.Send(ppp::kLcp, ppp::ControlPacket(1, 1, lcp.toStdString()));
        QVERIFY(handheld.Until([&] { return handheld.acked.count(ppp::kLcp) > 0; }));
        handheld.Send(ppp::kIpcp, ppp::ControlPacket(1, 1, ppp::Option32(3, 0x0A00020F)));
        QVERIFY2(handheld.Until([&] { return note == "Online as 10.0.2.15"; }), note.c_str());

        // "localhost", type A, class IN: answered from /etc/hosts.
        const QByteArray query = QByteArray::fromHex("abcd 0100 0001 0000 0000 0000 "
                                                     "09 6c6f63616c686f7374 00 0001 0001");
        handheld.Send(ppp::kIpv4, UdpFromHandheld(0x0A000203, 53, query.toStdString()));
        QVERIFY(handheld.Until([&] { return !handheld.ip.empty(); }));
        QCOMPARE(QByteArray::fromStdString(handheld.ip.back()).toHex().right(8),
                 QByteArray("7f000001"));
        QCOMPARE(handheld.ip.back().substr(28, 2), std::string("\xAB\xCD"));

        handheld.ip.clear();
        handheld.Send(ppp::kIpv4, UdpFromHandheld(0x0A000202, echo.localPort(), "ping"));
        // The echo, or an ICMP destination unreachable from the gateway.
        QVERIFY(handheld.Until([&] { return !handheld.ip.empty(); }));
        QTest::qWait(200);
        QCOMPARE(echoed, desktop ? 1 : 0);
        const std::string& reply = handheld.ip.back();
        QCOMPARE(reply.substr(12, 4), std::string("\x0A\x00\x02\x02", 4));
        if (desktop) {
            QCOMPARE(reply.substr(reply.size() - 4), std::string("ping"));
        } else {
            QCOMPARE(int(reply[9]) * 100 + int(reply[20]), 103); // ICMP, unreachable
        }
        rig.modem.Close();
        QCOMPARE(note, std::string("PPP ended: closed"));
        QCOMPARE(OpenSockets(), sockets);
    }

    // Bytes written while connecting go out once the connection stands; every
    // byte value passes both ways unchanged, on a telnet: port through telnet's
    // IAC doubling too; the server's close is a lost port, after the bytes that
    // came with it. The connection keeps itself alive. (Options, CR NUL:
    // tests/lines/tst_lines decode and encode.)
    void tcpEchoesEveryByte_data() { addRows({"scheme"}, {{"tcp"}, {"telnet"}}); }
    void tcpEchoesEveryByte() {
        QTcpServer server;
        QByteArray raw;
        bool keepAlive = false;
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
            QTcpSocket* peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [&raw, &keepAlive, peer] {
                if ((raw += peer->readAll()).endsWith("END")) {
                    keepAlive = keepAliveOn(peer->peerPort());
                    // Its telnet options, before the data, are not echoed.
                    peer->write(raw.mid(raw.indexOf(QByteArray("\0\1\2", 3))));
                    peer->disconnectFromHost();
                }
            });
        });
        QVERIFY(server.listen(QHostAddress::LocalHost));
        Rig rig(cell("scheme").toStdString() + ":127.0.0.1:" + std::to_string(server.serverPort()));
        const std::string data = manyBytes(256) + "END";
        rig.modem.Open();
        rig.modem.Write(data);
        QTRY_COMPARE(rig.lost.substr(0, 5), std::string("8012|"));
        QCOMPARE(rig.got, data);
        QVERIFY(raw.contains("\xfe\xff\xff") == (cell("scheme") == "telnet"));
        QVERIFY(keepAlive);
    }

    // A far end that sends a burst and ends at once, to a handheld that reads
    // slowly: every byte arrives, and only then the end: the lost port, or the
    // built-in modem's NO CARRIER after a tcp: call or an exec: program.
    void everyByteBeforeTheEnd_data() {
        addRows({"COM2", "number"}, {{"tcp", "tcp:127.0.0.1:%1", ""},
                                     {"modem, tcp", "modem:", "tcp:127.0.0.1:%1"},
                                     {"modem, exec", "modem:", "exec:seq 60000"}});
    }
    void everyByteBeforeTheEnd() {
        std::string data; // what seq writes: 339 KiB
        for (int line = 1; line <= 60000; ++line) {
            data += std::to_string(line) + "\n";
        }
        QTcpServer server;
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
            QTcpSocket* peer = server.nextPendingConnection();
            peer->write(data.data(), qint64(data.size()));
            peer->disconnectFromHost();
        });
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const auto fill = [&](const char* column) {
            return cell(column).replace("%1", QString::number(server.serverPort())).toUtf8();
        };
        Rig rig(fill("COM2").toStdString(), "9600", "[Phonebook]\n1=" + fill("number") + "\n");
        PtyPair pair;
        auto handheld = PortOn(pair.programEnd);
        Settings settings;
        settings.SerialMethodOn = true;
        struct : RequestEngine {
            Redirected Redirect(const std::string&) override { return {}; }
        } none;
        RecordingTrafficView view;
        Traffic traffic(view);
        RecordingLampPanel lamps;
        DataPump pump(settings, *handheld, rig.modem, none, none, traffic, lamps);
        handheld->SetReceiveHandler([&] { pump.OnHandheldData(); });
        rig.modem.SetReceiveHandler([&] { pump.OnModemData(); });
        std::uint64_t relayedAtLoss = 0;
        rig.modem.SetLostHandler(
            [&](const PortError&) { relayedAtLoss = traffic.Count(Counter::Received); });
        rig.modem.Open();
        const bool modem = cell("COM2") == "modem:";
        pair.write(modem ? "ATDT1\r" : "");
        const std::string expected =
            modem ? "ATDT1\r\r\nCONNECT 9600\r\n" + data + "\r\nNO CARRIER\r\n" : data;
        const std::string got = pair.read(expected.size(), 3000, 4096);
        QCOMPARE(got.size(), expected.size());
        QVERIFY(got == expected);
        QTRY_COMPARE(relayedAtLoss, modem ? 0 : data.size());
    }

    // A telnet server that offers options without end and reads nothing gets
    // no more refusals than a bounded backlog: the port reads on once the
    // server takes them, up to the data behind the offers.
    void optionFloodIsHeldBack() {
        QTcpServer server;
        QTcpSocket* peer = nullptr;
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
            peer = server.nextPendingConnection();
            peer->setReadBufferSize(1);
            peer->write(QByteArray("\xff\xfb\x05").repeated(1 << 20) + "end");
        });
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const int small = 4096; // the server's window, inherited from its listening socket
        ::setsockopt(int(server.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        Rig rig("telnet:127.0.0.1:" + std::to_string(server.serverPort()));
        rig.modem.Open();
        QTRY_VERIFY(peer);
        QTest::qWait(2000);
        QVERIFY2(rig.modem.BytesToWrite() < 256 << 10,
                 std::to_string(rig.modem.BytesToWrite()).c_str());
        QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer] { peer->readAll(); });
        peer->setReadBufferSize(0);
        QTRY_COMPARE_WITH_TIMEOUT(rig.got, std::string("end"), 20000);
    }

    // A host that cannot be found or a refused connection is a lost port,
    // reported after the opening has returned, with a line that says so; a
    // text of no known form fails at the opening. (The titles of the codes:
    // tests/core/tst_redirectionswitch.)
    void networkFailures() {
        const std::string port = std::to_string(closedPort());
        const std::string host = "tcp:no-such-host.invalid:23",
                          refused = "telnet:127.0.0.1:" + port;
        for (const auto& [target, says] :
             {std::pair{host, "8002|" + host + ": the host no-such-host.invalid cannot be found"},
              {refused, "8012|" + refused + ": the connection to 127.0.0.1 port " + port +
                            " was refused"}}) {
            Rig rig(target);
            rig.modem.Open();
            QVERIFY(rig.lost.empty());
            QTRY_COMPARE(rig.lost, says);
            QVERIFY(!rig.modem.IsOpen());
        }
        Rig other("ftp:host:21");
        QCOMPARE(FailureOf([&] { other.modem.Open(); }).substr(0, 10), std::string("380|COM2: "));
    }

    // ser2net in front of a pseudo-terminal: the speed and 8N1 reach the
    // device at the opening and again when the speed changes.
    void remoteSerialPortThroughSer2net() {
        PtyPair pair;
        const quint16 port = closedPort();
        QProcess ser2net;
        ser2net.start("ser2net",
                      {"-n", "-u", "-Y",
                       QString("connection: &c1\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                               "  connector: serialdev,%2,9600n81,local\n")
                           .arg(port)
                           .arg(pair.programEnd),
                       "-P", scratchDir() + "/ser2net.pid"});
        QVERIFY(ser2net.waitForStarted());
        QTcpSocket probe;
        QTRY_VERIFY_WITH_TIMEOUT(
            (probe.connectToHost("127.0.0.1", port), probe.waitForConnected(200)), 10000);
        probe.abort();
        // (On a pseudo-terminal's far side, the terminal settings are the device's.)
        const auto speedIs = [&pair](speed_t speed) {
            termios t{};
            return ::tcgetattr(pair.far, &t) == 0 && ::cfgetospeed(&t) == speed &&
                   (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & PARENB) && !(t.c_cflag & CSTOPB);
        };
        Rig rig("rfc2217:127.0.0.1:" + std::to_string(port), "57600");
        rig.modem.Open();
        QTRY_VERIFY_WITH_TIMEOUT(speedIs(B57600), 10000);
        rig.modem.SetSettings("19200,N,8,1");
        QTRY_VERIFY(speedIs(B19200));
        ser2net.terminate();
        ser2net.waitForFinished();
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--open-as-nobody") {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            return std::printf("nosetuid\n"), 2;
        }
        return std::printf("%s\n", FailureOf([&] { PortOn(argv[2]); }).c_str()), 0;
    }
    TestIo test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_io.moc"
