#include "config/dialogs/lw_met.h"
#include "tests/config/dialogs/dialogtestsupport.h"

using namespace loomway;
using namespace loomway::test;

namespace {
struct Rig : SwitchRig {
    LW_Met dialog{file, settings, redirection, messages, &owner};
    Rig(const char* serial, const char* print, const char* clip) {
        SaveMethods(file, serial, print, clip);
        file.writes.clear();
        LoadMethods(file, settings);
        redirection.StartRedirection();
        dialog.Open();
    }
    QComboBox* box(const char* name) { return child<QComboBox>(dialog, name); }
    QString shown() {
        return box("comSerialR")->currentText() + " " + box("comPrintr")->currentText() + " " +
               box("comClipR")->currentText();
    }
};
} // namespace

class TestMethodsDialog : public QObject {
    Q_OBJECT
private slots:
    void looks() {
        Rig rig("YES", "no", "maybe");
        QCOMPARE(rig.dialog.windowTitle(), QString("Palm Loomway- Methods"));
        for (auto [label, text] : {std::pair{"lblSerialR", "Enable Serial (to Modem) ReDirection?"},
                                   {"lblPrintR", "Enable Print ReDirection?"},
                                   {"lblClipR", "Enable Clipboard ReDirection?"}}) {
            QCOMPARE(child<QLabel>(rig.dialog, label)->text(), QString(text));
        }
        for (const char* name : {"comSerialR", "comPrintr", "comClipR"}) {
            QCOMPARE(rig.box(name)->toolTip(), QString("Please select one of these options."));
            QCOMPARE(entries(rig.box(name)), QStringList({"YES", "NO"}));
        }
        const QStringList order{"cmdOK", "cmdCancel", "comSerialR", "comPrintr", "comClipR"};
        QCOMPARE(tabOrder(rig.dialog, order), order);
        QCOMPARE(layoutFault(rig.dialog, {{"lblSerialR", "comSerialR"},
                                          {"lblPrintR", "comPrintr"},
                                          {"lblClipR", "comClipR"}}),
                 QString());
        QCOMPARE(rig.shown(), QString("YES NO NO")); // "maybe" left the switch off
    }

    // Print or clipboard changed: saved, in force, closed, ports untouched.
    void printAndClipboard() {
        Rig rig("YES", "YES", "NO");
        const auto calls = rig.handheld.calls.size();
        typeInto(rig.box("comPrintr"), "no");
        typeInto(rig.box("comClipR"), "Yes");
        clickOk(rig.dialog);
        QVERIFY(!rig.dialog.isVisible() && rig.owner.isEnabled() && rig.messages.messages.empty());
        QCOMPARE(ReadSetting(rig.file, "Methods", "LMW_P") +
                     ReadSetting(rig.file, "Methods", "LMW_C"),
                 std::string("noYes"));
        QVERIFY(!rig.settings.PrintMethodOn && rig.settings.ClipboardMethodOn);
        QCOMPARE(rig.handheld.calls.size(), calls);
    }

    // Serial turned off asks first; after either answer the dialog stays
    // open; Yes restarts with the handheld port only. Turned on, it restarts.
    void serialMethod() {
        Rig rig("YES", "YES", "YES");
        typeInto(rig.box("comSerialR"), "NO");
        rig.messages.answers = {MessageAnswer::No};
        clickOk(rig.dialog);
        const auto& q = rig.messages.messages.at(0);
        QCOMPARE(q.title + "|" + q.text,
                 std::string("Disconnect Now?|Your current Serial connection will\nbe "
                             "disconnected.  Is this OK?"));
        QVERIFY(q.icon == MessageIcon::Critical && q.buttons == MessageButtons::YesNo &&
                q.defaultButton == MessageAnswer::No);
        QVERIFY(rig.dialog.isVisible() && rig.modem.IsOpen() && !rig.settings.SerialMethodOn);
        clickOk(rig.dialog); // nothing changed any more: closes
        QVERIFY(!rig.dialog.isVisible());
        rig.dialog.Open();
        typeInto(rig.box("comSerialR"), "YES"); // turned on: restarts at once
        clickOk(rig.dialog);
        QVERIFY(!rig.dialog.isVisible() && rig.modem.IsOpen());
        rig.dialog.Open();
        typeInto(rig.box("comSerialR"), "NO");
        rig.messages.answers = {MessageAnswer::Yes};
        clickOk(rig.dialog);
        QVERIFY(rig.dialog.isVisible() && !rig.modem.IsOpen() && rig.handheld.IsOpen());
        QVERIFY(rig.redirection.RedirectionActive());
        QCOMPARE(rig.messages.messages.size(), std::size_t(2));
    }

    void waysOut() {
        for (int way = 0; way < 3; ++way) {
            Rig rig("YES", "YES", "YES");
            typeInto(rig.box("comPrintr"), "NO");
            leaveWithoutOk(rig.dialog, way);
            QVERIFY(!rig.dialog.isVisible() && rig.owner.isEnabled() && rig.file.writes.empty());
            QVERIFY(rig.settings.PrintMethodOn);
        }
    }
};

QTEST_MAIN(TestMethodsDialog)
#include "tst_methodsdialog.moc"
