#include "config/dialogs/fileprogramchooser.h"
#include "config/dialogs/lw_prefs.h"
#include "platform/programstarter.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTimer>

#include <deque>

using namespace loomway;
using namespace loomway::test;

namespace {
// Gives the results it is told to, in turn, and notes how it was asked.
struct Chooser : ProgramChooser {
    Result Choose(QWidget* parent, const QString& title, const QString& folder) override {
        asked = QStringList{parent ? parent->windowTitle() : "", title, folder}.join("|");
        Result r = results.empty() ? Result{Outcome::Cancelled, {}} : results.front();
        results.empty() ? void() : results.pop_front();
        return r;
    }
    std::deque<Result> results;
    QString asked;
};

struct Rig {
    MemoryProfileFile file;
    Settings settings;
    Chooser chooser;
    QWidget owner;
    LW_PREFS dialog{file, settings, chooser, &owner};
    Rig() { owner.show(); }
    QComboBox* box(const char* name) { return child<QComboBox>(dialog, name); }
    QLabel* start() { return child<QLabel>(dialog, "lblStart"); }
    QString shown() {
        QStringList out;
        for (const char* name : {"comLaunchMeth", "commenuvisible", "comLoomway", "comCloseApp"}) {
            out << box(name)->currentText();
        }
        return (out << start()->text()).join("|");
    }
    void choose(ProgramChooser::Outcome outcome, const QString& path = {}) {
        chooser.results.push_back({outcome, path});
        QTest::mouseClick(start(), Qt::LeftButton);
    }
    void ok() { clickOk(dialog); }
    std::string written() const {
        std::string out;
        for (const auto& w : file.writes) {
            out += w.section + " " + w.key + "=" + w.value + ";";
        }
        return out;
    }
};
} // namespace

class TestPrefsDialog : public QObject {
    Q_OBJECT
private slots:
    void looks() {
        Rig rig;
        rig.dialog.Open();
        QCOMPARE(rig.dialog.windowTitle(), QString("Palm Loomway- Startup Preferences"));
        const char* pick = "Please select one of these options.";
        for (auto [name, text, tip] :
             {std::tuple{
                  "lblLaunchMeth",
                  "How would you like the display presented when this application is started?", ""},
              {"lblmenuvisible", "Would you like the menu visible upon application start?", ""},
              {"lblLoomway", "Would you like the Loomway ON or OFF on Startup?", ""},
              {"Label1",
               "Close the following application (if in memory) before this program starts.", ""},
              {"Label2",
               "Start the following application before this program exits (Click in Box below to "
               "Select File Name):",
               "Click in Box below to select a program to start before Palm Loomway closes."},
              {"lblStart", "<NONE>",
               "Click Here to Select an Application to Start before Palm Loomway closes."},
              {"comLaunchMeth", "LEDs,SND/RCV Rate,Data Sniffer", pick},
              {"commenuvisible", "YES,NO", pick},
              {"comLoomway", "ON,OFF", pick},
              {"comCloseApp", "None,HotSync Manager",
               "Close the following application when Palm Loomway is Started."}}) {
            QWidget* w = child(rig.dialog, name);
            auto* label = qobject_cast<QLabel*>(w);
            QCOMPARE(label ? label->text() : entries(static_cast<QComboBox*>(w)).join(","),
                     QString(text));
            QCOMPARE(w->toolTip(), QString(tip));
        }
        QCOMPARE(rig.start()->textFormat(), Qt::PlainText);
        const QStringList order{"comLaunchMeth", "commenuvisible", "comLoomway",
                                "comCloseApp",   "cmdOK",          "cmdCancel"};
        QCOMPARE(tabOrder(rig.dialog, order), order);
        QVERIFY(!rig.owner.isEnabled());
    }

    // No settings: the defaults, written as shown by OK. Stored values are
    // shown as they are and written back unchanged; the stored program is
    // the exit program from the opening on.
    void shownAndWritten_data() {
        addRows({"stored", "shown"}, {{"nothing", "", "Data Sniffer|YES|OFF|None|<NONE>"},
                                      {"stored", "LEDs|maybe|on|My Terminal|/usr/bin/true --flag",
                                       "LEDs|maybe|on|My Terminal|/usr/bin/true --flag"}});
    }
    void shownAndWritten() {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        Rig rig;
        const char* keys[] = {"Startup", "MenuVisible", "Status", "CloseApp", "StartApp"};
        const QStringList values = stored.split('|');
        for (int i = 0; i < values.size() && !stored.isEmpty(); ++i) {
            rig.file.set("Preferences", keys[i], values[i].toStdString());
        }
        rig.dialog.Open();
        QCOMPARE(rig.shown(), shown);
        const QStringList parts = shown.split('|');
        QCOMPARE(rig.settings.ExitProgramPath, parts[4].toStdString());
        rig.ok();
        std::string expected;
        for (int i = 0; i < 5; ++i) {
            expected += "Preferences " + std::string(keys[i]) + "=" + parts[i].toStdString() + ";";
        }
        QCOMPARE(rig.written(), expected);
        QVERIFY(!rig.dialog.isVisible() && rig.owner.isEnabled());
    }

    // A chosen program shows, quoted to stay one word of the command line;
    // cancelled leaves it; a failure gives <NONE>; only OK makes it count.
    void choosingTheExitProgram() {
        Rig rig;
        rig.file.set("Preferences", "StartApp", "/usr/bin/former");
        rig.dialog.Open();
        for (auto [path, caption] : {std::pair{"/usr/bin/xterm", "/usr/bin/xterm"},
                                     {"/home/u/My Tools/it's", "'/home/u/My Tools/it'\\''s'"},
                                     {"/opt/a\"b\\c", "'/opt/a\"b\\c'"}}) {
            rig.choose(ProgramChooser::Outcome::Chosen, path);
            QCOMPARE(rig.start()->text(), QString(caption));
            const auto words = DetachedProgramStarter::SplitCommandLine(caption);
            QCOMPARE(words.value_or(std::vector<std::string>{}), std::vector<std::string>{path});
        }
        QCOMPARE(rig.chooser.asked,
                 "Palm Loomway- Startup Preferences|Select File to Start on Exit|" +
                     QDir::homePath());
        rig.choose(ProgramChooser::Outcome::Cancelled);
        QCOMPARE(rig.start()->text(), QString("'/opt/a\"b\\c'"));
        QCOMPARE(rig.settings.ExitProgramPath, std::string("/usr/bin/former"));
        for (int way = 0; way < 3; ++way) {
            leaveWithoutOk(rig.dialog, way);
            QVERIFY(rig.file.writes.empty() && rig.owner.isEnabled());
            rig.dialog.Open();
            QCOMPARE(rig.start()->text(), QString("/usr/bin/former"));
            rig.choose(ProgramChooser::Outcome::Chosen, "/bin/x");
        }
        rig.choose(ProgramChooser::Outcome::Failed);
        QCOMPARE(rig.start()->text(), QString("<NONE>"));
        rig.choose(ProgramChooser::Outcome::Chosen, "/bin/x");
        rig.ok();
        QCOMPARE(rig.settings.ExitProgramPath, std::string("/bin/x"));
    }

    // Values in an 8-bit code page show as their characters and are written
    // back byte for byte when left alone; changed, they are written as UTF-8.
    void eightBitValues() {
        Rig rig;
        const std::string title = "Caf\xe9 \x93Sync\x94", program = "/opt/M\xfcller/start";
        rig.file.set("Preferences", "CloseApp", title);
        rig.file.set("Preferences", "StartApp", program);
        rig.dialog.Open();
        QCOMPARE(rig.box("comCloseApp")->currentText(), QString("Caf\u00e9 \u201cSync\u201d"));
        QCOMPARE(rig.start()->text(), QString("/opt/M\u00fcller/start"));
        rig.ok();
        QVERIFY(rig.written().find("CloseApp=" + title + ";Preferences StartApp=" + program +
                                   ";") != std::string::npos);
        rig.file.writes.clear();
        rig.dialog.Open();
        rig.box("comCloseApp")->setEditText("Caf\u00e9");
        rig.ok();
        QVERIFY(rig.written().find("CloseApp=Caf\xc3\xa9;") != std::string::npos);
    }

    // The file dialog starts in ~/Palm once it exists, lists folders and
    // executable files only, and gives back the file chosen.
    void fileChooser() {
        QCOMPARE(ProgramChooserStartFolder(), QDir::homePath());
        const QString palm = QDir::home().filePath("Palm");
        QVERIFY(QDir().mkpath(palm + "/folder"));
        QCOMPARE(ProgramChooserStartFolder(), palm);
        for (auto [name, executable] : {std::pair{"sync", true}, {"notes.txt", false}}) {
            QFile f(palm + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                             (executable ? QFile::ExeOwner : QFile::Permissions()));
        }
        QVERIFY(ListedInProgramChooser(QFileInfo(palm + "/sync")));
        QVERIFY(ListedInProgramChooser(QFileInfo(palm + "/folder")));
        QVERIFY(!ListedInProgramChooser(QFileInfo(palm + "/notes.txt")));
        FileProgramChooser chooser;
        QWidget parent;
        QString filter;
        QTimer::singleShot(0, [&] {
            auto* dialog = parent.findChild<QFileDialog*>();
            filter = dialog->findChild<QComboBox*>("fileTypeCombo")->currentText();
            dialog->selectFile(palm + "/sync");
            static_cast<QDialog*>(dialog)->accept();
        });
        const auto chosen = chooser.Choose(&parent, "t", palm);
        QCOMPARE(chosen.path, palm + "/sync");
        QCOMPARE(filter, QString("Executable")); // the filter's name without its pattern
        QVERIFY(chosen.outcome == ProgramChooser::Outcome::Chosen);
    }
};

QTEST_MAIN(TestPrefsDialog)
#include "tst_prefsdialog.moc"
