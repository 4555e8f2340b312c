// The settings file and captures on real files in the test's scratch folder;
// captures stopped by a full device, a file-size limit and a folder that is
// gone. (tests/e2e/tst_capture.py reads captures of the running program back
// with tshark.)
#include "capture/capturecontroller.h"
#include "capture/chunkstore.h"
#include "config/settings.h"
#include "platform/filecapturesink.h"
#include "platform/iniprofilefile.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace loomway;
using namespace loomway::test;

namespace {
#define kPath (scratchDir() + "/LOOMWAY.INI")

void Write(const QByteArray& bytes) {
    QFile f(kPath);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}
QByteArray Read(const QString& path = kPath) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}
// The other files in the folder: a write must leave none behind.
QStringList Strays() {
    return QDir(scratchDir())
        .entryList(QDir::Files | QDir::Hidden)
        .filter(QRegularExpression("^(?!LOOMWAY.INI$|real.ini$)"));
}
int ModeOf(const QString& path) {
    struct stat st {};
    return ::stat(qPrintable(path), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

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

class TestFiles : public QObject {
    Q_OBJECT
private slots:
    void init() { QFile::remove(kPath); }

    void defaultPath() {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        QCOMPARE(QString::fromStdString(IniProfileFile::DefaultPath()), saved + "/LOOMWAY.INI");
        qputenv("XDG_CONFIG_HOME", "relative/folder"); // not absolute: ignored
        QCOMPARE(QString::fromStdString(IniProfileFile::DefaultPath()),
                 qEnvironmentVariable("HOME") + "/.config/LOOMWAY.INI");
        qputenv("XDG_CONFIG_HOME", saved);
    }

    // Reading: sections and keys in any case, blanks around, the first key
    // wins, comments and lines before any section ignored, Latin-1 names,
    // values cut to the buffer; a missing file gives the defaults, creates nothing.
    void reading() {
        IniProfileFile file(kPath.toStdString());
        QCOMPARE(file.GetString("Preferences", "StartApp", " <NONE> ", 255), std::string("<NONE>"));
        QCOMPARE(Read(), QByteArray("(none)"));
        Write("; by hand\r\nstray=x\r\n[source]\r\n  PORT  =   3   "
              "\r\nport=4\r\n[COMMON]\r\nspeed\t=\t9600\t\r\n"
              "; Speed=1200\r\n[Source]\r\nExtra=later\r\n[\xdc"
              "BER]\r\nK=umlaut\r\n[ Spaced ]\r\nKey = a = b\r\n"
              "[Long]\r\nV=" +
              QByteArray(300, 'p') + "\r\n[Last]\r\nNoBreak=end");
        for (auto [section, key, value] : {std::tuple{"Source", "Port", "3"},
                                           {"Source", "Extra", "later"},
                                           {"Common", "Speed", "9600"},
                                           {"", "stray", ""},
                                           {"\xfc"
                                            "ber",
                                            "k", "umlaut"},
                                           {"Spaced", "KEY", "a = b"},
                                           {"last", "nobreak", "end"}}) {
            QCOMPARE(ReadSetting(file, section, key), std::string(value));
        }
        QCOMPARE(ReadSetting(file, "Long", "V"), std::string(254, 'p'));
        QCOMPARE(file.GetString("Long", "V", "", 10), std::string(9, 'p'));
    }

    // Writing changes only the value of its key, adds a key after the last of
    // its section and a section at the end, in the file's own line endings.
    void writing() {
        IniProfileFile file(kPath.toStdString());
        QVERIFY(WriteSetting(file, "Common", "Speed", "9600"));
        QVERIFY(WriteSetting(file, "Source", "Port", "1"));
        QCOMPARE(Read(), QByteArray("[Common]\nSpeed=9600\n\n[Source]\nPort=1\n"));
        QByteArray text = "; mine\r\n\r\n[Source]\r\nPort = "
                          "1\r\nComment=keep\r\n\r\n[Unknown]\r\nW=1\r\n[Common]\r\nSpeed=300";
        Write(text);
        QVERIFY(WriteSetting(file, "SOURCE", "port", "5"));
        QVERIFY(WriteSetting(file, "Source", "Extra", "x\xe9\xff"));
        QVERIFY(WriteSetting(file, "Common", "Speed", "115200"));
        QVERIFY(WriteSetting(file, "Common", "Added", ""));
        QVERIFY(WriteSetting(file, "Display", "XLoc",
                             "Title\r\n[Source]\nPort=7\r")); // no line injected
        text.replace("Port = 1", "Port = 5")
            .replace("keep\r\n", "keep\r\nExtra=x\xe9\xff\r\n")
            .replace("=300", "=115200");
        QCOMPARE(Read(), text + "\r\nAdded=\r\n\r\n[Display]\r\nXLoc=Title[Source]Port=7\r\n");
        for (auto [section, key] :
             {std::pair{"Preferences", "A=B"}, {"Bad]", "Key"}, {"Preferences", ""}}) {
            QCOMPARE(WriteSetting(file, section, key, "1"), std::int16_t(0));
        }
        QCOMPARE(ReadSetting(file, "Source", "Port"), std::string("5"));
        QVERIFY(Strays().isEmpty());
    }

    // A write that fails at any point leaves the file as it was and no
    // temporary file behind; a failed first write creates no file.
    void failedWrites() {
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
        QFile::remove(kPath);
        file.InjectWriteFailureAfter(5);
        QCOMPARE(WriteSetting(file, "Source", "Port", "1"), std::int16_t(0));
        QCOMPARE(Read(), QByteArray("(none)"));
        file.InjectWriteFailureAfter(std::nullopt);
        QVERIFY(WriteSetting(file, "Source", "Port", "16"));
    }

    // Permissions stay, a link stays a link, a missing folder is made
    // private, a folder in place of the file is left alone.
    void theFileItself() {
        Write("[Source]\nPort=1\n");
        QVERIFY(::chmod(qPrintable(kPath), 0640) == 0);
        const QString real = scratchDir() + "/real.ini";
        QVERIFY(QFile::rename(kPath, real) && QFile::link(real, kPath));
        IniProfileFile file(kPath.toStdString());
        QVERIFY(WriteSetting(file, "Source", "Port", "3"));
        QVERIFY(QFileInfo(kPath).isSymLink());
        QCOMPARE(Read(real), QByteArray("[Source]\nPort=3\n"));
        QCOMPARE(ModeOf(real), 0640);
        const QString folder = scratchDir() + "/fresh/config";
        IniProfileFile fresh(folder.toStdString() + "/LOOMWAY.INI");
        QVERIFY(WriteSetting(fresh, "Source", "Port", "4"));
        QCOMPARE(ModeOf(folder), 0700);
        IniProfileFile onFolder(scratchDir().toStdString());
        QCOMPARE(onFolder.GetString("Source", "Port", "dflt", 255), std::string("dflt"));
        QCOMPARE(WriteSetting(onFolder, "Source", "Port", "1"), std::int16_t(0));
    }

    // A switch-on capture never overwrites a file.
    void switchOnCaptureTakesAFreeName() {
        qputenv("TZ", "UTC");
        const QString folder = scratchDir() + "/taken";
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
        addRows({"setup", "text"},
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
        const QString scratch = scratchDir();
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

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
