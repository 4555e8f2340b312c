// Captures written to real files: read back by tshark, and stopped by a full
// device, a file-size limit and a folder that is gone.
#include "capture/capturecontroller.h"
#include "capture/chunkstore.h"
#include "platform/filecapturesink.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace loomway;
using loomway::test::MemoryProfileFile;
using loomway::test::RecordingMessageBox;

namespace {

// An LCP packet (code, identifier 1, no options) in HDLC framing with its FCS.
std::string LcpFrame(int code) {
    std::string content("\xff\x03\xc0\x21", 4);
    content += char(code);
    content += std::string("\x01\x00\x04", 3);
    std::uint16_t fcs = PppFcs16(0xFFFF, content) ^ 0xFFFF;
    const std::string raw = content + char(fcs & 0xFF) + char(fcs >> 8);
    std::string framed = "\x7e";
    for (unsigned char c : raw) {
        if (c < 0x20 || c == 0x7E || c == 0x7D) {
            framed += '\x7d';
            c ^= 0x20;
        }
        framed += char(c);
    }
    return framed + "\x7e";
}

struct Rig {
    MemoryProfileFile profile;
    FileCaptureFiles files;
    SystemClock clock;
    ChunkFanOut fanOut;
    RecordingMessageBox messages;
    std::vector<std::function<void()>> later;
    CaptureController captures{
        profile, files,    clock,
        fanOut,  messages, [this](std::function<void()> task) { later.push_back(task); }};
    void RunLater() {
        auto tasks = std::move(later);
        for (auto& task : tasks) {
            task();
        }
    }
};

} // namespace

class TestCaptureFiles : public QObject {
    Q_OBJECT
private slots:
    void tsharkReadsSwitchOnCaptures() {
        if (QStandardPaths::findExecutable(QStringLiteral("tshark")).isEmpty()) {
            QFAIL("tshark is needed (scripts/install-deps installs it)");
        }
        const QString folder = test::scratchDir() + QStringLiteral("/captures");
        QVERIFY(QDir().mkpath(folder));
        Rig rig;
        rig.profile.WriteString("Capture", "Folder", folder.toStdString());
        rig.captures.OnSwitch(true);
        const QString first = QString::fromStdString(rig.captures.FolderCapturePath());
        QVERIFY(QRegularExpression(QStringLiteral("/loomway-\\d{8}-\\d{6}\\.pppd$"))
                    .match(first)
                    .hasMatch());
        rig.fanOut.OnChunk(ChunkDirection::HandheldToModem, false, LcpFrame(1));
        // The modem's request and its acknowledgement in one chunk, the
        // handheld's acknowledgement split over two.
        rig.fanOut.OnChunk(ChunkDirection::ModemToHandheld, false, LcpFrame(1) + LcpFrame(2));
        rig.fanOut.OnChunk(ChunkDirection::HandheldToModem, false, LcpFrame(2).substr(0, 5));
        rig.fanOut.OnChunk(ChunkDirection::HandheldToModem, false, LcpFrame(2).substr(5));
        rig.fanOut.OnChunk(ChunkDirection::ProgramToHandheld, false, LcpFrame(5));
        rig.captures.OnSwitch(false);
        QVERIFY(rig.captures.FolderCapturePath().empty());
        // A second switch-on within the same second makes a new file.
        rig.captures.OnSwitch(true);
        const QString second = QString::fromStdString(rig.captures.FolderCapturePath());
        rig.captures.OnSwitch(false);
        QVERIFY(second != first);
        QVERIFY(rig.messages.messages.empty());

        QProcess tshark;
        tshark.start(QStringLiteral("tshark"),
                     {QStringLiteral("-r"), first, QStringLiteral("-T"), QStringLiteral("fields"),
                      QStringLiteral("-e"), QStringLiteral("frame.p2p_dir"), QStringLiteral("-e"),
                      QStringLiteral("ppp.protocol"), QStringLiteral("-e"),
                      QStringLiteral("ppp.code")});
        QVERIFY(tshark.waitForFinished(60000));
        QCOMPARE(tshark.exitCode(), 0);
        // 0 is what the handheld sent, 1 what it received.
        QCOMPARE(QString::fromUtf8(tshark.readAllStandardOutput()),
                 QStringLiteral("0\t0xc021\t1\n1\t0xc021\t1\n1\t0xc021\t2\n"
                                "0\t0xc021\t2\n1\t0xc021\t5\n"));
        // The second holds only its start time.
        QCOMPARE(QFileInfo(second).size(), 5);
    }

    // Each way a capture fails gives one message; the other listeners go on.
    void failuresStopTheCaptureWithOneMessage_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("text");
        QTest::newRow("full device") << "full"
                                     << "The capture file cannot be written:\n/dev/full\nNo "
                                        "space left on device";
        QTest::newRow("file size limit") << "limit"
                                         << "The capture file cannot be written:\n%1/limited.txt\n"
                                            "File too large\nThe capture has stopped; the "
                                            "redirection goes on.";
        QTest::newRow("folder gone") << "gone"
                                     << "The capture file cannot be created:\n%1/gone/"
                                        "loomway-*\nNo such file or directory\nThe redirection "
                                        "goes on without a capture.";
    }
    void failuresStopTheCaptureWithOneMessage() {
        QFETCH(QString, setup);
        QFETCH(QString, text);
        const QString scratch = test::scratchDir();
        Rig rig;
        std::vector<bool> menuStates;
        rig.captures.SetMenuCaptureHandler([&](bool running) { menuStates.push_back(running); });
        ChunkStore watcher(rig.clock);
        rig.fanOut.Add(watcher);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        if (setup == "full") {
            rig.captures.StartMenuCapture("/dev/full", CaptureFormat::Pppdump);
            QCOMPARE(menuStates, std::vector<bool>{false});
        } else if (setup == "limit") {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit = old;
            limit.rlim_cur = 4096;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
            rig.captures.StartMenuCapture((scratch + "/limited.txt").toStdString(),
                                          CaptureFormat::HexLog);
            QCOMPARE(menuStates, std::vector<bool>{true});
        } else {
            QVERIFY(QDir().mkpath(scratch + "/gone"));
            rig.profile.WriteString("Capture", "Folder", (scratch + "/gone").toStdString());
            QVERIFY(QDir(scratch + "/gone").removeRecursively());
            rig.captures.OnSwitch(true);
        }
        for (int i = 0; i < 200; ++i) {
            rig.fanOut.OnChunk(ChunkDirection::ModemToHandheld, false, std::string(100, 'x'));
        }
        rig.RunLater();
        rig.fanOut.OnChunk(ChunkDirection::ModemToHandheld, false, "after");
        rig.RunLater();
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(watcher.Rows(), std::size_t(201));
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        const auto& message = rig.messages.messages.front();
        QCOMPARE(message.title, std::string("Capture Error"));
        QCOMPARE(message.icon, MessageIcon::Exclamation);
        const QString pattern =
            QRegularExpression::escape(QString(text).replace(QStringLiteral("%1"), scratch))
                .replace(QStringLiteral("\\*"), QStringLiteral("[^\\n]*"));
        QVERIFY2(QRegularExpression(QStringLiteral("^") + pattern + QStringLiteral("$"))
                     .match(QString::fromStdString(message.text))
                     .hasMatch(),
                 message.text.c_str());
        QVERIFY(!rig.captures.MenuCaptureRunning());
        QVERIFY(rig.captures.FolderCapturePath().empty());
        if (setup == "limit") {
            QCOMPARE(menuStates, (std::vector<bool>{true, false}));
            QCOMPARE(QFileInfo(scratch + "/limited.txt").size(), 4096);
        }
    }
};

QTEST_GUILESS_MAIN(TestCaptureFiles)
#include "tst_capturefiles.moc"
