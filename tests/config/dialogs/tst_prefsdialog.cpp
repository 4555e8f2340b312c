#include "config/dialogs/fileprogramchooser.h"
#include "config/dialogs/lw_prefs.h"
#include "platform/programstarter.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <deque>

using namespace loomway;
using namespace loomway::test;

namespace {

// Gives the results it is told to, in turn, and records how it was asked.
class ScriptedChooser : public ProgramChooser {
public:
    Result Choose(QWidget* parent, const QString& title, const QString& startFolder) override {
        ++calls;
        lastParent = parent;
        lastTitle = title;
        lastFolder = startFolder;
        if (results.empty()) {
            return {Outcome::Cancelled, {}};
        }
        Result r = results.front();
        results.pop_front();
        return r;
    }
    std::deque<Result> results;
    int calls = 0;
    QWidget* lastParent = nullptr;
    QString lastTitle;
    QString lastFolder;
};

struct Rig {
    MemoryProfileFile file;
    Settings settings;
    ScriptedChooser chooser;
    QWidget owner;
    LW_PREFS dialog{file, settings, chooser, &owner};

    Rig() { owner.show(); }
    QComboBox* box(const char* name) { return child<QComboBox>(dialog, name); }
    QString text(const char* name) { return box(name)->currentText(); }
    QLabel* start() { return child<QLabel>(dialog, "lblStart"); }
    void clickStart() { QTest::mouseClick(start(), Qt::LeftButton); }
    void choose(ProgramChooser::Outcome outcome, const QString& path = {}) {
        chooser.results.push_back({outcome, path});
        clickStart();
    }
    void ok() { QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton); }
    void cancel() { QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton); }
    std::vector<std::string> writes() const {
        std::vector<std::string> out;
        for (const auto& w : file.writes) {
            out.push_back(w.section + " " + w.key + "=" + w.value);
        }
        return out;
    }
};

void makeFile(const QString& path, bool executable) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner;
    if (executable) {
        p |= QFile::ExeOwner;
    }
    QVERIFY(file.setPermissions(p));
}

} // namespace

class TestPrefsDialog : public QObject {
    Q_OBJECT
private slots:
    void captionLabelsListsAndOrder() {
        Rig rig;
        rig.dialog.Open();
        QCOMPARE(rig.dialog.windowTitle(), QStringLiteral("Palm Loomway- Startup Preferences"));
        QVERIFY(!rig.dialog.isModal());
        QCOMPARE(child<QLabel>(rig.dialog, "lblLaunchMeth")->text(),
                 QStringLiteral(
                     "How would you like the display presented when this application is started?"));
        QCOMPARE(child<QLabel>(rig.dialog, "lblmenuvisible")->text(),
                 QStringLiteral("Would you like the menu visible upon application start?"));
        QCOMPARE(child<QLabel>(rig.dialog, "lblLoomway")->text(),
                 QStringLiteral("Would you like the Loomway ON or OFF on Startup?"));
        QCOMPARE(child<QLabel>(rig.dialog, "Label1")->text(),
                 QStringLiteral("Close the following application (if in memory) before this "
                                "program starts."));
        QCOMPARE(child<QLabel>(rig.dialog, "Label2")->text(),
                 QStringLiteral("Start the following application before this program exits "
                                "(Click in Box below to Select File Name):"));
        QCOMPARE(child<QLabel>(rig.dialog, "Label2")->toolTip(),
                 QStringLiteral("Click in Box below to select a program to start before Palm "
                                "Loomway closes."));
        QCOMPARE(rig.start()->toolTip(),
                 QStringLiteral(
                     "Click Here to Select an Application to Start before Palm Loomway closes."));
        QCOMPARE(rig.start()->textFormat(), Qt::PlainText); // "<NONE>" is no markup

        const QString tip = QStringLiteral("Please select one of these options.");
        QCOMPARE(rig.box("comLaunchMeth")->toolTip(), tip);
        QCOMPARE(rig.box("commenuvisible")->toolTip(), tip);
        QCOMPARE(rig.box("comLoomway")->toolTip(), tip);
        QCOMPARE(rig.box("comCloseApp")->toolTip(),
                 QStringLiteral("Close the following application when Palm Loomway is Started."));
        QCOMPARE(entries(rig.box("comLaunchMeth")),
                 QStringList({"LEDs", "SND/RCV Rate", "Data Sniffer"}));
        QCOMPARE(entries(rig.box("commenuvisible")), QStringList({"YES", "NO"}));
        QCOMPARE(entries(rig.box("comLoomway")), QStringList({"ON", "OFF"}));
        QCOMPARE(entries(rig.box("comCloseApp")), QStringList({"None", "HotSync Manager"}));

        QCOMPARE(tabOrder(rig.dialog, {"comLaunchMeth", "commenuvisible", "comLoomway",
                                       "comCloseApp", "cmdOK", "cmdCancel"}),
                 QStringList({"comLaunchMeth", "commenuvisible", "comLoomway", "comCloseApp",
                              "cmdOK", "cmdCancel"}));
        QVERIFY(buttonsAtTheBottom(rig.dialog));
        QVERIFY(!rig.owner.isEnabled());
        QVERIFY(rig.dialog.isEnabled());
    }

    // No settings file: the defaults are shown, and OK writes exactly them.
    void noSettingsFile() {
        Rig rig;
        rig.dialog.Open();
        QCOMPARE(rig.text("comLaunchMeth"), QStringLiteral("Data Sniffer"));
        QCOMPARE(rig.text("commenuvisible"), QStringLiteral("YES"));
        QCOMPARE(rig.text("comLoomway"), QStringLiteral("OFF"));
        QCOMPARE(rig.text("comCloseApp"), QStringLiteral("None"));
        QCOMPARE(rig.start()->text(), QStringLiteral("<NONE>"));
        QVERIFY(rig.file.writes.empty());
        rig.ok();
        QCOMPARE(rig.writes(), std::vector<std::string>(
                                   {"Preferences Startup=Data Sniffer",
                                    "Preferences MenuVisible=YES", "Preferences Status=OFF",
                                    "Preferences CloseApp=None", "Preferences StartApp=<NONE>"}));
        QCOMPARE(rig.settings.ExitProgramPath, std::string("<NONE>"));
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.owner.isEnabled());
    }

    // Stored values are shown unchanged, in the lists or not; a stored
    // program becomes the exit program at opening, even if then cancelled.
    void storedValuesShownUnchanged() {
        Rig rig;
        rig.file.set("Preferences", "Startup", "LEDs");
        rig.file.set("Preferences", "MenuVisible", "maybe");
        rig.file.set("Preferences", "Status", "on");
        rig.file.set("Preferences", "CloseApp", "My Terminal");
        rig.file.set("Preferences", "StartApp", "/usr/bin/true --flag");
        rig.dialog.Open();
        QCOMPARE(rig.text("comLaunchMeth"), QStringLiteral("LEDs"));
        QCOMPARE(rig.text("commenuvisible"), QStringLiteral("maybe"));
        QCOMPARE(rig.text("comLoomway"), QStringLiteral("on"));
        QCOMPARE(rig.text("comCloseApp"), QStringLiteral("My Terminal"));
        QCOMPARE(rig.start()->text(), QStringLiteral("/usr/bin/true --flag"));
        QCOMPARE(rig.settings.ExitProgramPath, std::string("/usr/bin/true --flag"));
        rig.cancel();
        QCOMPARE(rig.settings.ExitProgramPath, std::string("/usr/bin/true --flag"));
        QVERIFY(rig.file.writes.empty());

        rig.dialog.Open();
        rig.ok();
        QCOMPARE(rig.writes(), std::vector<std::string>(
                                   {"Preferences Startup=LEDs", "Preferences MenuVisible=maybe",
                                    "Preferences Status=on", "Preferences CloseApp=My Terminal",
                                    "Preferences StartApp=/usr/bin/true --flag"}));
    }

    // Typing is refused in the first three boxes; comCloseApp takes any title.
    void typing() {
        Rig rig;
        rig.dialog.Open();
        for (const char* name : {"comLaunchMeth", "commenuvisible", "comLoomway"}) {
            QComboBox* box = rig.box(name);
            const QString before = box->currentText();
            QTest::keyClicks(box, QStringLiteral("xy"));
            QTest::keyClick(box, Qt::Key_Backspace);
            QTest::keyClicks(box->lineEdit(), QStringLiteral("zz"));
            QCOMPARE(box->currentText(), before);
        }
        QTest::keyClick(rig.box("comLoomway"), Qt::Key_Up);
        QCOMPARE(rig.text("comLoomway"), QStringLiteral("ON"));
        typeInto(rig.box("comCloseApp"), QStringLiteral("Hot"));
        QCOMPARE(rig.text("comCloseApp"), QStringLiteral("Hot")); // not completed
        rig.ok();
        QCOMPARE(rig.file.writes.at(2).value, std::string("ON"));
        QCOMPARE(rig.file.writes.at(3).value, std::string("Hot"));
    }

    // The chooser is asked with its title and start folder; a chosen program
    // shows in lblStart, a cancelled choice leaves it, a failure gives <NONE>.
    // Nothing takes effect before OK.
    void choosingTheExitProgram() {
        Rig rig;
        rig.file.set("Preferences", "StartApp", "/usr/bin/former");
        rig.dialog.Open();
        rig.choose(ProgramChooser::Outcome::Chosen, QStringLiteral("/opt/palm/desktop"));
        QCOMPARE(rig.chooser.calls, 1);
        QCOMPARE(rig.chooser.lastTitle, QStringLiteral("Select File to Start on Exit"));
        QCOMPARE(rig.chooser.lastFolder, QDir::homePath());
        QCOMPARE(rig.chooser.lastParent, &rig.dialog);
        QCOMPARE(rig.start()->text(), QStringLiteral("/opt/palm/desktop"));
        QCOMPARE(rig.settings.ExitProgramPath, std::string("/usr/bin/former"));

        rig.choose(ProgramChooser::Outcome::Cancelled);
        QCOMPARE(rig.start()->text(), QStringLiteral("/opt/palm/desktop"));
        rig.choose(ProgramChooser::Outcome::Failed);
        QCOMPARE(rig.start()->text(), QStringLiteral("<NONE>"));
        QVERIFY(rig.file.writes.empty());

        // A right-button click or a press without release chooses nothing.
        QTest::mouseClick(rig.start(), Qt::RightButton);
        QTest::mousePress(rig.start(), Qt::LeftButton);
        QCOMPARE(rig.chooser.calls, 3);

        rig.choose(ProgramChooser::Outcome::Chosen, QStringLiteral("/opt/palm/desktop"));
        rig.ok();
        QCOMPARE(rig.file.writes.back().value, std::string("/opt/palm/desktop"));
        QCOMPARE(rig.settings.ExitProgramPath, std::string("/opt/palm/desktop"));
    }

    // Choosing a program and then cancelling keeps the former one.
    void cancelKeepsTheFormerProgram_data() { addWaysOut(); }
    void cancelKeepsTheFormerProgram() {
        QFETCH(int, way);
        Rig rig;
        rig.file.set("Preferences", "StartApp", "/usr/bin/former");
        rig.dialog.Open();
        rig.choose(ProgramChooser::Outcome::Chosen, QStringLiteral("/usr/bin/newer"));
        QVERIFY(leaveWithoutOk(rig.dialog, way));
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.owner.isEnabled());
        QVERIFY(rig.file.writes.empty());
        QCOMPARE(rig.settings.ExitProgramPath, std::string("/usr/bin/former"));
        QCOMPARE(ReadSetting(rig.file, "Preferences", "StartApp"), std::string("/usr/bin/former"));
        // The next opening shows the stored program again.
        rig.dialog.Open();
        QCOMPARE(rig.start()->text(), QStringLiteral("/usr/bin/former"));
    }

    // A path with blanks or quotes stays one word of the exit command line.
    void chosenPathIsOneCommandWord_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("caption");
        QTest::newRow("plain") << "/usr/bin/xterm"
                               << "/usr/bin/xterm";
        QTest::newRow("blank") << "/home/u/My Tools/sync"
                               << "'/home/u/My Tools/sync'";
        QTest::newRow("double quote") << "/opt/a\"b"
                                      << "'/opt/a\"b'";
        QTest::newRow("single quote") << "/opt/it's here"
                                      << "'/opt/it'\\''s here'";
        QTest::newRow("backslash") << "/opt/a\\b"
                                   << "'/opt/a\\b'";
        QTest::newRow("non-ASCII") << "/opt/caf\u00e9/run"
                                   << "/opt/caf\u00e9/run";
    }
    void chosenPathIsOneCommandWord() {
        QFETCH(QString, path);
        QFETCH(QString, caption);
        Rig rig;
        rig.dialog.Open();
        rig.choose(ProgramChooser::Outcome::Chosen, path);
        QCOMPARE(rig.start()->text(), caption);
        // The exit program's starter reads it back as exactly that one word.
        const auto words =
            DetachedProgramStarter::SplitCommandLine(rig.start()->text().toStdString());
        QVERIFY(words.has_value());
        QCOMPARE(*words, std::vector<std::string>{path.toStdString()});
        rig.ok();
        QCOMPARE(rig.settings.ExitProgramPath, caption.toStdString());
    }

    // The chooser starts in ~/Palm once that folder exists.
    void startFolder() {
        const QString palm = QDir::home().filePath(QStringLiteral("Palm"));
        QDir(palm).removeRecursively();
        QCOMPARE(ProgramChooserStartFolder(), QDir::homePath());
        QVERIFY(QDir().mkpath(palm));
        QCOMPARE(ProgramChooserStartFolder(), palm);
        Rig rig;
        rig.dialog.Open();
        rig.choose(ProgramChooser::Outcome::Cancelled);
        QCOMPARE(rig.chooser.lastFolder, palm);
        QVERIFY(QDir(palm).removeRecursively());
    }

    // The file dialog lists folders and executable files only.
    void chooserListsExecutables() {
        const QString dir = scratchDir() + QStringLiteral("/programs");
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/folder")));
        makeFile(dir + QStringLiteral("/program"), true);
        makeFile(dir + QStringLiteral("/notes.txt"), false);
        makeFile(dir + QStringLiteral("/tool.exe"), false);
        QVERIFY(ListedInProgramChooser(QFileInfo(dir + QStringLiteral("/program"))));
        QVERIFY(ListedInProgramChooser(QFileInfo(dir + QStringLiteral("/folder"))));
        QVERIFY(!ListedInProgramChooser(QFileInfo(dir + QStringLiteral("/notes.txt"))));
        QVERIFY(!ListedInProgramChooser(QFileInfo(dir + QStringLiteral("/tool.exe"))));
        QVERIFY(!ListedInProgramChooser(QFileInfo(dir + QStringLiteral("/missing"))));

        auto dialog =
            MakeProgramFileDialog(nullptr, QStringLiteral("Select File to Start on Exit"), dir);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Select File to Start on Exit"));
        QCOMPARE(dialog->directory().absolutePath(), dir);
        QCOMPARE(dialog->nameFilters().size(), 1);
        QVERIFY(dialog->nameFilters().first().startsWith(QStringLiteral("Executable")));
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);

        auto* files = dialog->findChild<QFileSystemModel*>();
        QVERIFY(files != nullptr);
        QAbstractProxyModel* shown = dialog->proxyModel();
        QVERIFY(shown != nullptr);
        const QModelIndex root = files->index(dir);
        QTRY_COMPARE(files->rowCount(root), 4);
        QStringList listed;
        const QModelIndex shownRoot = shown->mapFromSource(root);
        for (int row = 0; row < shown->rowCount(shownRoot); ++row) {
            listed << shown->index(row, 0, shownRoot).data().toString();
        }
        listed.sort();
        QCOMPARE(listed, QStringList({"folder", "program"}));
    }

    // The real chooser: accepted with a file gives it, rejected gives Cancelled.
    void fileChooserOutcomes() {
        const QString dir = scratchDir() + QStringLiteral("/chooser");
        QVERIFY(QDir().mkpath(dir));
        makeFile(dir + QStringLiteral("/sync"), true);
        FileProgramChooser chooser;
        QWidget parent;

        QTimer::singleShot(0, [&] {
            auto* dialog = parent.findChild<QFileDialog*>();
            QVERIFY(dialog != nullptr);
            dialog->selectFile(dir + QStringLiteral("/sync"));
            static_cast<QDialog*>(dialog)->accept();
        });
        ProgramChooser::Result chosen = chooser.Choose(&parent, QStringLiteral("t"), dir);
        QCOMPARE(chosen.outcome, ProgramChooser::Outcome::Chosen);
        QCOMPARE(chosen.path, dir + QStringLiteral("/sync"));

        QTimer::singleShot(0, [&] {
            auto* dialog = parent.findChild<QFileDialog*>();
            QVERIFY(dialog != nullptr);
            dialog->reject();
        });
        ProgramChooser::Result cancelled = chooser.Choose(&parent, QStringLiteral("t"), dir);
        QCOMPARE(cancelled.outcome, ProgramChooser::Outcome::Cancelled);
        QVERIFY(parent.findChild<QFileDialog*>() == nullptr);
    }
};

QTEST_MAIN(TestPrefsDialog)
#include "tst_prefsdialog.moc"
