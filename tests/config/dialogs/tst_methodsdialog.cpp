#include "config/dialogs/lw_met.h"
#include "core/redirectionswitch.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/fakes.h"

using namespace loomway;
using namespace loomway::test;

namespace {
struct Rig {
    MemoryProfileFile file;
    Settings settings;
    FakeSerialPort handheld, modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
    QWidget owner;
    LW_Met dialog{file, settings, redirection, messages, &owner};
    Rig(const char* serial, const char* print, const char* clip) {
        file.set("Source", "Port", "1");
        file.set("Destination", "Port", "2");
        file.set("Common", "Speed", "9600");
        SaveMethods(file, serial, print, clip);
        file.writes.clear();
        LoadMethods(file, settings);
        owner.show();
        redirection.StartRedirection();
        dialog.Open();
    }
    QComboBox* box(const char* name) { return child<QComboBox>(dialog, name); }
    QString shown() {
        return box("comSerialR")->currentText() + " " + box("comPrintr")->currentText() + " " +
               box("comClipR")->currentText();
    }
    void ok() { QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton); }
};
} // namespace

class TestMethodsDialog : public QObject {
    Q_OBJECT
private slots:
    void looks() {
        Rig rig("YES", "no", "maybe");
        QCOMPARE(rig.dialog.windowTitle(), QString("Palm Loomway- Methods"));
        QCOMPARE(child<QLabel>(rig.dialog, "lblSerialR")->text(),
                 QString("Enable Serial (to Modem) ReDirection?"));
        QCOMPARE(child<QLabel>(rig.dialog, "lblPrintR")->text(),
                 QString("Enable Print ReDirection?"));
        QCOMPARE(child<QLabel>(rig.dialog, "lblClipR")->text(),
                 QString("Enable Clipboard ReDirection?"));
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
        rig.ok();
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
        rig.ok();
        const auto& q = rig.messages.messages.at(0);
        QCOMPARE(q.title + "|" + q.text,
                 std::string("Disconnect Now?|Your current Serial connection will\nbe "
                             "disconnected.  Is this OK?"));
        QVERIFY(q.icon == MessageIcon::Critical && q.buttons == MessageButtons::YesNo &&
                q.defaultButton == MessageAnswer::No);
        QVERIFY(rig.dialog.isVisible() && rig.modem.IsOpen() && !rig.settings.SerialMethodOn);
        rig.ok(); // nothing changed any more: closes
        QVERIFY(!rig.dialog.isVisible());
        rig.dialog.Open();
        typeInto(rig.box("comSerialR"), "YES"); // turned on: restarts at once
        rig.ok();
        QVERIFY(!rig.dialog.isVisible() && rig.modem.IsOpen());
        rig.dialog.Open();
        typeInto(rig.box("comSerialR"), "NO");
        rig.messages.answers = {MessageAnswer::Yes};
        rig.ok();
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
