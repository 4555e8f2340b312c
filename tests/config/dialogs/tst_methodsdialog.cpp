#include "config/dialogs/lw_met.h"
#include "core/redirectionswitch.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/fakes.h"

#include <QApplication>
#include <QTest>

#include <algorithm>

using namespace loomway;
using namespace loomway::test;

namespace {

struct Rig {
    MemoryProfileFile file;
    Settings settings;
    FakeSerialPort handheld;
    FakeSerialPort modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
    QWidget owner;
    LW_Met dialog{file, settings, redirection, messages, &owner};

    Rig(const char* serial = "YES", const char* print = "YES", const char* clip = "YES") {
        file.set("Source", "Port", "1");
        file.set("Destination", "Port", "2");
        file.set("Common", "Speed", "9600");
        file.set("Methods", "LMW_S", serial);
        file.set("Methods", "LMW_P", print);
        file.set("Methods", "LMW_C", clip);
        LoadMethods(file, settings);
        owner.show();
    }
    QComboBox* box(const char* name) { return child<QComboBox>(dialog, name); }
    QString text(const char* name) { return box(name)->currentText(); }
    void ok() { QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton); }
    void pick(const char* name, const char* entry) {
        QComboBox* b = box(name);
        b->setCurrentIndex(b->findText(QString::fromLatin1(entry)));
    }
    std::vector<std::string> methodWrites() const {
        std::vector<std::string> out;
        for (const auto& w : file.writes) {
            out.push_back(w.section + " " + w.key + "=" + w.value);
        }
        return out;
    }
    int portCalls() const { return int(handheld.calls.size() + modem.calls.size()); }
};

} // namespace

class TestMethodsDialog : public QObject {
    Q_OBJECT
private slots:
    void captionLabelsListsAndOrder() {
        Rig rig;
        rig.dialog.Open();
        QCOMPARE(rig.dialog.windowTitle(), QStringLiteral("Palm Loomway- Methods"));
        QVERIFY(!rig.dialog.isModal());
        QCOMPARE(child<QLabel>(rig.dialog, "lblSerialR")->text(),
                 QStringLiteral("Enable Serial (to Modem) ReDirection?"));
        QCOMPARE(child<QLabel>(rig.dialog, "lblPrintR")->text(),
                 QStringLiteral("Enable Print ReDirection?"));
        QCOMPARE(child<QLabel>(rig.dialog, "lblClipR")->text(),
                 QStringLiteral("Enable Clipboard ReDirection?"));
        for (const char* name : {"comSerialR", "comPrintr", "comClipR"}) {
            QVERIFY2(rig.box(name)->isEditable(), name);
            QCOMPARE(rig.box(name)->toolTip(),
                     QStringLiteral("Please select one of these options."));
            QCOMPARE(entries(rig.box(name)), QStringList({"YES", "NO"}));
        }
        QCOMPARE(
            tabOrder(rig.dialog, {"cmdOK", "cmdCancel", "comSerialR", "comPrintr", "comClipR"}),
            QStringList({"cmdOK", "cmdCancel", "comSerialR", "comPrintr", "comClipR"}));
        QVERIFY(buttonsAtTheBottom(rig.dialog));
        QVERIFY(!rig.owner.isEnabled());
        QVERIFY(rig.dialog.isEnabled());

        // Filled afresh at each opening.
        QVERIFY(rig.dialog.close());
        rig.dialog.Open();
        QCOMPARE(rig.box("comSerialR")->count(), 2);
    }

    // The boxes show the switches as the file holds them at opening.
    void openingReadsTheFile_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("before");
        QTest::addColumn<QString>("shown");
        QTest::newRow("YES") << "YES" << false << "YES";
        QTest::newRow("NO") << "NO" << true << "NO";
        QTest::newRow("lower-case no") << "no" << true << "NO";
        QTest::newRow("empty means on") << "" << false << "YES";
        QTest::newRow("maybe keeps on") << "maybe" << true << "YES";
        QTest::newRow("maybe keeps off") << "maybe" << false << "NO";
    }
    void openingReadsTheFile() {
        QFETCH(QString, stored);
        QFETCH(bool, before);
        Rig rig;
        rig.file.set("Methods", "LMW_P", stored.toStdString());
        rig.settings.PrintMethodOn = before;
        rig.dialog.Open();
        QTEST(rig.text("comPrintr"), "shown");
        QCOMPARE(rig.text("comSerialR"), QStringLiteral("YES"));
        QCOMPARE(rig.text("comClipR"), QStringLiteral("YES"));
        QVERIFY(rig.file.writes.empty());
    }

    // Print or clipboard alone: saved, in force, closed, ports untouched.
    void printOrClipboardOnly_data() {
        QTest::addColumn<QString>("box");
        QTest::newRow("print") << "comPrintr";
        QTest::newRow("clipboard") << "comClipR";
    }
    void printOrClipboardOnly() {
        QFETCH(QString, box);
        Rig rig;
        rig.redirection.StartRedirection();
        QVERIFY(rig.redirection.RedirectionActive());
        const int callsBefore = rig.portCalls();
        rig.dialog.Open();
        rig.pick(box.toLatin1().constData(), "NO");
        rig.ok();
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.owner.isEnabled());
        QVERIFY(rig.messages.messages.empty());
        const bool print = box == QStringLiteral("comPrintr");
        QCOMPARE(rig.methodWrites(),
                 std::vector<std::string>(
                     {"Methods LMW_S=YES", std::string("Methods LMW_P=") + (print ? "NO" : "YES"),
                      std::string("Methods LMW_C=") + (print ? "YES" : "NO")}));
        QCOMPARE(rig.settings.PrintMethodOn, !print);
        QCOMPARE(rig.settings.ClipboardMethodOn, print);
        QVERIFY(rig.settings.SerialMethodOn);
        QCOMPARE(rig.portCalls(), callsBefore);
        QVERIFY(rig.handheld.IsOpen());
        QVERIFY(rig.modem.IsOpen());
    }

    // Serial turned on restarts redirection without a question and closes.
    void serialTurnedOnRestarts() {
        Rig rig("NO");
        QVERIFY(!rig.settings.SerialMethodOn);
        rig.dialog.Open();
        QCOMPARE(rig.text("comSerialR"), QStringLiteral("NO"));
        rig.pick("comSerialR", "YES");
        rig.ok();
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.owner.isEnabled());
        QVERIFY(rig.messages.messages.empty());
        QVERIFY(rig.settings.SerialMethodOn);
        QCOMPARE(ReadSetting(rig.file, "Methods", "LMW_S"), std::string("YES"));
        QVERIFY(rig.redirection.RedirectionActive());
        QVERIFY(rig.handheld.IsOpen());
        QVERIFY(rig.modem.IsOpen());
        QCOMPARE(rig.status.status, std::string("STATUS:  ON"));
    }

    // Serial turned off asks; after No and after Yes the dialog stays open and
    // the switch is already off. Yes restarts with the handheld port only.
    void serialTurnedOffAsks() {
        Rig rig;
        rig.redirection.StartRedirection();
        QVERIFY(rig.modem.IsOpen());
        rig.dialog.Open();
        rig.pick("comSerialR", "NO");

        rig.messages.answers = {MessageAnswer::No};
        rig.ok();
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        const auto& question = rig.messages.messages[0];
        QCOMPARE(question.title, std::string("Disconnect Now?"));
        QCOMPARE(question.text,
                 std::string("Your current Serial connection will\nbe disconnected.  Is this OK?"));
        QCOMPARE(question.icon, MessageIcon::Critical);
        QCOMPARE(question.buttons, MessageButtons::YesNo);
        QCOMPARE(question.defaultButton, MessageAnswer::No);
        QVERIFY(rig.dialog.isVisible());
        QVERIFY(!rig.owner.isEnabled());
        QVERIFY(!rig.settings.SerialMethodOn);
        QCOMPARE(ReadSetting(rig.file, "Methods", "LMW_S"), std::string("NO"));
        QVERIFY(rig.modem.IsOpen()); // No leaves the ports alone
        QVERIFY(rig.redirection.RedirectionActive());

        // A second OK finds the switch unchanged and closes.
        rig.ok();
        QCOMPARE(rig.messages.messages.size(), std::size_t(1));
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.owner.isEnabled());

        // Back on, then off again answered Yes.
        rig.dialog.Open();
        rig.pick("comSerialR", "YES");
        rig.ok();
        QVERIFY(rig.modem.IsOpen());
        rig.dialog.Open();
        rig.pick("comSerialR", "NO");
        rig.messages.answers = {MessageAnswer::Yes};
        rig.ok();
        QCOMPARE(rig.messages.messages.size(), std::size_t(2));
        QVERIFY(rig.dialog.isVisible());
        QVERIFY(!rig.settings.SerialMethodOn);
        QVERIFY(!rig.modem.IsOpen());
        QVERIFY(rig.handheld.IsOpen());
        QVERIFY(rig.redirection.RedirectionActive());
        rig.ok();
        QVERIFY(!rig.dialog.isVisible());
    }

    // Typed answers are saved as typed and read without regard to case.
    void typedAnswers() {
        Rig rig("NO", "NO", "YES");
        rig.dialog.Open();
        typeInto(rig.box("comSerialR"), QStringLiteral("yes"));
        typeInto(rig.box("comPrintr"), QStringLiteral("maybe"));
        typeInto(rig.box("comClipR"), QStringLiteral("n"));
        QCOMPARE(rig.text("comSerialR"), QStringLiteral("yes"));
        QCOMPARE(rig.text("comClipR"), QStringLiteral("n")); // no completion to "NO"
        rig.ok();
        QCOMPARE(rig.methodWrites(),
                 std::vector<std::string>(
                     {"Methods LMW_S=yes", "Methods LMW_P=maybe", "Methods LMW_C=n"}));
        QVERIFY(rig.settings.SerialMethodOn);
        QVERIFY(!rig.settings.PrintMethodOn);    // maybe leaves it as it was
        QVERIFY(rig.settings.ClipboardMethodOn); // n is no answer: left on
        QVERIFY(!rig.dialog.isVisible());        // serial on: restarted and closed
        QVERIFY(rig.redirection.RedirectionActive());

        rig.dialog.Open();
        QCOMPARE(rig.text("comSerialR"), QStringLiteral("YES"));
        QCOMPARE(rig.text("comPrintr"), QStringLiteral("NO"));
        QCOMPARE(rig.text("comClipR"), QStringLiteral("YES"));
    }

    void cancelWritesNothing_data() { addWaysOut(); }
    void cancelWritesNothing() {
        QFETCH(int, way);
        Rig rig;
        rig.dialog.Open();
        rig.pick("comSerialR", "NO");
        rig.pick("comClipR", "NO");
        QVERIFY(leaveWithoutOk(rig.dialog, way));
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.owner.isEnabled());
        QVERIFY(rig.file.writes.empty());
        QVERIFY(rig.settings.SerialMethodOn);
        QVERIFY(rig.settings.ClipboardMethodOn);
        QCOMPARE(rig.portCalls(), 0);
    }

    // A file edited by hand is read at the next opening, and the switches follow.
    void handEditedFileReadAtOpening() {
        Rig rig;
        rig.file.set("Methods", "LMW_C", "No");
        QVERIFY(rig.settings.ClipboardMethodOn);
        rig.dialog.Open();
        QVERIFY(!rig.settings.ClipboardMethodOn);
        QCOMPARE(rig.text("comClipR"), QStringLiteral("NO"));
    }
};

QTEST_MAIN(TestMethodsDialog)
#include "tst_methodsdialog.moc"
