// Captures written to real files, stopped by a full device, a file-size limit
// and a folder that is gone. (tests/e2e/tst_capture.py reads captures of the
// running program back with tshark.)
#include "capture/capturecontroller.h"
#include "capture/chunkstore.h"
#include "platform/filecapturesink.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace loomway;
using loomway::test::MemoryProfileFile;
using loomway::test::RecordingMessageBox;

namespace {

struct Rig {
    MemoryProfileFile profile;
    FileCaptureFiles files;
    struct : SystemClock {
        std::int64_t WallMicros() const override { return 1'700'000'000'000'000; }
    } clock; // 2023-11-14 22:13:20 UTC
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
    // A switch-on capture never overwrites a file.
    void switchOnCaptureTakesAFreeName() {
        qputenv("TZ", "UTC");
        const QString folder = test::scratchDir() + "/taken";
        const QString name = folder + "/loomway-20231114-221320";
        QVERIFY(QDir().mkpath(folder));
        QFile file(name + ".pppd");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep") == 4);
        file.close();
        Rig rig;
        rig.profile.WriteString("Capture", "Folder", folder.toStdString());
        rig.captures.OnSwitch(true);
        QCOMPARE(QString::fromStdString(rig.captures.FolderCapturePath()), name + "-2.pppd");
        rig.captures.OnSwitch(false);
        QCOMPARE(QFileInfo(name + ".pppd").size(), 4);
        QCOMPARE(QFileInfo(name + "-2.pppd").size(), 5);
    }

    // Each way a capture fails stops it with one message;
    // the other listeners go on.
    void failuresStopTheCaptureWithOneMessage_data() {
        test::addRows({"setup", "text"},
                      {{"full device",
                        "The capture file cannot be written:\n/dev/full\nNo space left on device"},
                       {"file size limit", "The capture file cannot be written:\n%1/limited.txt\n"
                                           "File too large\nThe capture has stopped; the "
                                           "redirection goes on."},
                       {"folder gone", "The capture file cannot be created:\n%1/gone/loomway-*\n"
                                       "No such file or directory\nThe redirection goes on "
                                       "without a capture."}});
    }
    void failuresStopTheCaptureWithOneMessage() {
        QFETCH(QString, text);
        const QString scratch = test::scratchDir();
        Rig rig;
        std::vector<bool> menuStates;
        rig.captures.SetMenuCaptureHandler([&](bool running) { menuStates.push_back(running); });
        ChunkStore watcher(rig.clock);
        rig.fanOut.Add(watcher);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const bool limit = text.contains("limited");
        if (text.contains("/dev/full")) {
            rig.captures.StartMenuCapture("/dev/full", CaptureFormat::Pppdump);
            QCOMPARE(menuStates, std::vector<bool>{false});
        } else if (limit) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limited = old;
            limited.rlim_cur = 4096;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
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
            QRegularExpression::escape(text.replace("%1", scratch)).replace("\\*", "[^\\n]*");
        QVERIFY2(QRegularExpression("^" + pattern + "$")
                     .match(QString::fromStdString(message.text))
                     .hasMatch(),
                 message.text.c_str());
        QVERIFY(!rig.captures.MenuCaptureRunning() && rig.captures.FolderCapturePath().empty());
        if (limit) {
            QCOMPARE(menuStates, (std::vector<bool>{true, false}));
            QCOMPARE(QFileInfo(scratch + "/limited.txt").size(), 4096);
        }
    }
};

QTEST_GUILESS_MAIN(TestCaptureFiles)
#include "tst_capturefiles.moc"
