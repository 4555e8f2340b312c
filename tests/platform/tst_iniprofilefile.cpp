#include "config/settings.h"
#include "platform/iniprofilefile.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

using loomway::IniProfileFile;
using loomway::LoadCommSettings;
using loomway::LoadMethods;
using loomway::ReadSetting;
using loomway::Settings;
using loomway::WriteSetting;
using namespace loomway::test;

namespace {

std::string path() {
    return settingsFilePath().toStdString();
}

// Names of every entry in the settings folder but the settings file.
QStringList strayFiles() {
    QDir dir(QFileInfo(settingsFilePath()).absolutePath());
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(QStringLiteral("LOOMWAY.INI"));
    return names;
}

mode_t modeOf(const QString& file) {
    struct stat st {};
    if (::stat(file.toLocal8Bit().constData(), &st) != 0) {
        return 0;
    }
    return st.st_mode & 07777;
}

} // namespace

class TestIniProfileFile : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QFile::remove(settingsFilePath());
        for (const QString& name : strayFiles()) {
            QFile::remove(QFileInfo(settingsFilePath()).absolutePath() + "/" + name);
        }
    }

    void defaultPathIsThePrivateConfigFolder() {
        QCOMPARE(QString::fromStdString(IniProfileFile::DefaultPath()), settingsFilePath());

        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(QString::fromStdString(IniProfileFile::DefaultPath()),
                 qEnvironmentVariable("HOME") + "/.config/LOOMWAY.INI");
        qputenv("XDG_CONFIG_HOME", "relative/folder"); // not absolute: ignored
        QCOMPARE(QString::fromStdString(IniProfileFile::DefaultPath()),
                 qEnvironmentVariable("HOME") + "/.config/LOOMWAY.INI");
        qputenv("XDG_CONFIG_HOME", saved);
    }

    void noFileGivesEveryDefault() {
        IniProfileFile file(path());
        Settings settings;
        LoadCommSettings(file, settings);
        LoadMethods(file, settings);
        QCOMPARE(settings.SourcePort, -1);
        QCOMPARE(settings.DestinationPort, std::string("-1"));
        QCOMPARE(settings.CommonSpeed, std::string("-1"));
        QVERIFY(settings.SerialMethodOn && settings.PrintMethodOn && settings.ClipboardMethodOn);
        QCOMPARE(ReadSetting(file, "Preferences", "Startup"), std::string());
        QCOMPARE(file.GetString("Preferences", "StartApp", " <NONE> ", 255), std::string("<NONE>"));
        QVERIFY(!QFileInfo::exists(settingsFilePath())); // reading creates nothing
    }

    void readsWhatAHandWrittenFileSays() {
        writeSettingsFile("; written by hand\r\n"
                          "stray=before any section\r\n"
                          "[source]\r\n"
                          "  PORT  =   3   \r\n"
                          "port=4\r\n"
                          "[COMMON]\r\n"
                          "speed\t=\t9600\t\r\n"
                          "; Speed=1200\r\n"
                          "[Methods]\r\n"
                          "lmw_p=no\r\n"
                          "LMW_C=\r\n"
                          "[Source]\r\n"
                          "Port=9\r\n"
                          "Extra=later section\r\n"
                          "[\xdc"
                          "BER]\r\n"
                          "K=upper umlaut\r\n"
                          "[ Spaced ]\r\n"
                          "Key = a = b\r\n"
                          "[Last]\r\n"
                          "NoBreak=end");
        IniProfileFile file(path());
        QCOMPARE(ReadSetting(file, "Source", "Port"), std::string("3")); // first key wins
        QCOMPARE(ReadSetting(file, "Source", "Extra"), std::string("later section"));
        QCOMPARE(ReadSetting(file, "Common", "Speed"), std::string("9600"));
        QCOMPARE(ReadSetting(file, "Methods", "LMW_P"), std::string("no"));
        QCOMPARE(ReadSetting(file, "Methods", "LMW_C"), std::string());
        QCOMPARE(ReadSetting(file, "", "stray"), std::string());
        QCOMPARE(ReadSetting(file,
                             "\xfc"
                             "ber",
                             "k"),
                 std::string("upper umlaut"));
        QCOMPARE(ReadSetting(file, "Spaced", "KEY"), std::string("a = b"));
        QCOMPARE(ReadSetting(file, "last", "nobreak"), std::string("end"));

        Settings settings;
        LoadCommSettings(file, settings);
        LoadMethods(file, settings);
        QCOMPARE(settings.SourcePort, 3);
        QCOMPARE(settings.CommonSpeed, std::string("9600"));
        QVERIFY(settings.SerialMethodOn);
        QVERIFY(!settings.PrintMethodOn);
        QVERIFY(settings.ClipboardMethodOn);
    }

    void longValuesAreCut() {
        writeSettingsFile("[Preferences]\nStartApp=" + QByteArray(300, 'p') + "\n");
        IniProfileFile file(path());
        QCOMPARE(ReadSetting(file, "Preferences", "StartApp"), std::string(254, 'p'));
        QCOMPARE(file.GetString("Preferences", "StartApp", "", 10), std::string(9, 'p'));
        QCOMPARE(file.GetString("Preferences", "StartApp", "", 0), std::string());
    }

    void writeCreatesFileSectionAndKey() {
        IniProfileFile file(path());
        QCOMPARE(WriteSetting(file, "Common", "Speed", "9600"), std::int16_t(1));
        QCOMPARE(readSettingsFile(), QByteArray("[Common]\nSpeed=9600\n"));
        QVERIFY(WriteSetting(file, "Source", "Port", "1"));
        QVERIFY(WriteSetting(file, "Common", "Other", ""));
        QCOMPARE(readSettingsFile(),
                 QByteArray("[Common]\nSpeed=9600\nOther=\n\n[Source]\nPort=1\n"));
        QCOMPARE(ReadSetting(file, "Common", "Other"), std::string());
        QVERIFY(strayFiles().isEmpty());
    }

    void writeKeepsEveryOtherLine() {
        const QByteArray original = "; Loomway settings, edited by hand\r\n"
                                    "\r\n"
                                    "[Source]\r\n"
                                    "Port = 1\r\n"
                                    "Comment=keep me\r\n"
                                    "\r\n"
                                    "; modem side below\r\n"
                                    "[Destination]\r\n"
                                    "port=2\r\n"
                                    "[Unknown]\r\n"
                                    "Whatever=1\r\n"
                                    "[Common]\r\n"
                                    "Speed=300";
        writeSettingsFile(original);
        IniProfileFile file(path());

        // An existing key: only its value changes, its spelling stays.
        QVERIFY(WriteSetting(file, "SOURCE", "port", "5"));
        QByteArray expected = original;
        expected.replace("Port = 1\r\n", "Port = 5\r\n");
        QCOMPARE(readSettingsFile(), expected);

        // A new key goes after the last key of its section.
        QVERIFY(WriteSetting(file, "Source", "Extra", "x"));
        expected.replace("Comment=keep me\r\n", "Comment=keep me\r\nExtra=x\r\n");
        QCOMPARE(readSettingsFile(), expected);

        // The last line had no line ending.
        QVERIFY(WriteSetting(file, "Common", "Speed", "115200"));
        expected.replace("Speed=300", "Speed=115200");
        QCOMPARE(readSettingsFile(), expected);
        QVERIFY(WriteSetting(file, "Common", "Added", "1"));
        expected += "\r\nAdded=1\r\n";
        QCOMPARE(readSettingsFile(), expected);

        // A new section goes at the end, with the file's own line endings.
        QVERIFY(WriteSetting(file, "Display", "XLoc", "1500"));
        expected += "\r\n[Display]\r\nXLoc=1500\r\n";
        QCOMPARE(readSettingsFile(), expected);
        QCOMPARE(ReadSetting(file, "Unknown", "Whatever"), std::string("1"));
        QVERIFY(strayFiles().isEmpty());
    }

    void latin1BytesAreKept() {
        const QByteArray original = "[Preferences]\n"
                                    "CloseApp=Gestionnaire \xe9t\xe9\n"
                                    "; caf\xe9 \xff\x80\x01\n";
        writeSettingsFile(original);
        IniProfileFile file(path());
        // The file keeps the bytes; ReadSetting gives them as Windows-1252 text.
        QCOMPARE(ReadSetting(file, "Preferences", "CloseApp"),
                 std::string("Gestionnaire \xc3\xa9t\xc3\xa9"));
        const std::string value = "C:\\Programme\\Gr\xfc\xdf"
                                  "e\xa0\xff.exe";
        QVERIFY(WriteSetting(file, "Preferences", "StartApp", value));
        QCOMPARE(file.GetString("Preferences", "StartApp", "", 255), value);
        QCOMPARE(readSettingsFile(), original.left(original.indexOf(';')) +
                                         "StartApp=" + qbytes(value) + "\n" +
                                         original.mid(original.indexOf(';')));
    }

    void lineBreaksCannotInjectLines() {
        IniProfileFile file(path());
        QVERIFY(WriteSetting(file, "Preferences", "CloseApp", "Title\r\n[Source]\nPort=7\r"));
        QCOMPARE(readSettingsFile(), QByteArray("[Preferences]\nCloseApp=Title[Source]Port=7\n"));
        QCOMPARE(ReadSetting(file, "Source", "Port"), std::string());
        QCOMPARE(ReadSetting(file, "Preferences", "CloseApp"), std::string("Title[Source]Port=7"));
        // Names that cannot be stored as given are refused without a change.
        QCOMPARE(WriteSetting(file, "Preferences", "A=B", "1"), std::int16_t(0));
        QCOMPARE(WriteSetting(file, "Bad]", "Key", "1"), std::int16_t(0));
        QCOMPARE(WriteSetting(file, "Preferences", "", "1"), std::int16_t(0));
        QCOMPARE(readSettingsFile(), QByteArray("[Preferences]\nCloseApp=Title[Source]Port=7\n"));
    }

    void failedWriteLeavesTheFileIntact() {
        const QByteArray original = "[Source]\nPort=1\n; a comment\n[Common]\nSpeed=9600\n";
        writeSettingsFile(original);
        IniProfileFile file(path());
        for (std::size_t after :
             {std::size_t(0), std::size_t(1), std::size_t(10), std::size_t(original.size())}) {
            file.InjectWriteFailureAfter(after);
            QCOMPARE(WriteSetting(file, "Source", "Port", "16"), std::int16_t(0));
            QCOMPARE(WriteSetting(file, "New", "Key", "value"), std::int16_t(0));
            QCOMPARE(readSettingsFile(), original);
            QVERIFY2(strayFiles().isEmpty(), qPrintable(strayFiles().join(',')));
        }
        file.InjectWriteFailureAfter(std::nullopt);
        QVERIFY(WriteSetting(file, "Source", "Port", "16"));
        QCOMPARE(readSettingsFile(), QByteArray("[Source]\nPort=16\n; a comment\n[Common]\n"
                                                "Speed=9600\n"));

        // A failed first write creates no file at all.
        QFile::remove(settingsFilePath());
        file.InjectWriteFailureAfter(5);
        QCOMPARE(WriteSetting(file, "Source", "Port", "1"), std::int16_t(0));
        QVERIFY(!QFileInfo::exists(settingsFilePath()));
        QVERIFY(strayFiles().isEmpty());
    }

    void writeKeepsPermissionsAndFollowsLinks() {
        writeSettingsFile("[Source]\nPort=1\n");
        QVERIFY(::chmod(settingsFilePath().toLocal8Bit().constData(), 0640) == 0);
        IniProfileFile file(path());
        QVERIFY(WriteSetting(file, "Source", "Port", "2"));
        QCOMPARE(modeOf(settingsFilePath()), mode_t(0640));

        // A settings file that is a link stays a link; its target changes.
        const QString real = scratchDir() + "/real.ini";
        QFile::remove(real);
        QVERIFY(QFile::rename(settingsFilePath(), real));
        QVERIFY(QFile::link(real, settingsFilePath()));
        QVERIFY(WriteSetting(file, "Source", "Port", "3"));
        QVERIFY(QFileInfo(settingsFilePath()).isSymLink());
        QCOMPARE(ReadSetting(file, "Source", "Port"), std::string("3"));
        QFile target(real);
        QVERIFY(target.open(QIODevice::ReadOnly));
        QCOMPARE(target.readAll(), QByteArray("[Source]\nPort=3\n"));
        QCOMPARE(modeOf(real), mode_t(0640));
    }

    void firstWriteCreatesTheFolder() {
        const QString folder = scratchDir() + "/fresh/config";
        QDir(scratchDir() + "/fresh").removeRecursively();
        IniProfileFile file(folder.toStdString() + "/LOOMWAY.INI");
        QCOMPARE(ReadSetting(file, "Source", "Port"), std::string());
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(WriteSetting(file, "Source", "Port", "4"));
        QCOMPARE(ReadSetting(file, "Source", "Port"), std::string("4"));
        QCOMPARE(modeOf(folder), mode_t(0700));
    }

    void aFolderInPlaceOfTheFile() {
        const QString folder = scratchDir() + "/folder.ini";
        QDir().mkpath(folder);
        IniProfileFile file(folder.toStdString());
        QCOMPARE(file.GetString("Source", "Port", "dflt", 255), std::string("dflt"));
        QCOMPARE(WriteSetting(file, "Source", "Port", "1"), std::int16_t(0));
        QVERIFY(QFileInfo(folder).isDir());
    }
};

QTEST_GUILESS_MAIN(TestIniProfileFile)
#include "tst_iniprofilefile.moc"
