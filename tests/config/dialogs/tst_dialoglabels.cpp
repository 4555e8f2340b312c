// Every box of the three settings dialogs has its label as buddy, so a screen
// reader names the box by its label; the program box of the preferences
// dialog is worked from the keyboard as well.
#include "config/dialogs/lw_conf.h"
#include "config/dialogs/lw_met.h"
#include "config/dialogs/lw_prefs.h"
#include "tests/support/fakes.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QTest>

using namespace loomway;
using namespace loomway::test;

namespace {

struct Rig : SerialDeviceList, ProgramChooser {
    std::vector<SerialDevice> Devices() override { return {}; }
    Result Choose(QWidget*, const QString&, const QString&) override {
        ++chosen;
        return {Outcome::Cancelled, {}};
    }
    int chosen = 0;
    MemoryProfileFile file;
    Settings settings;
    FakeSerialPort handheld, modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
    QWidget owner;
    LW_CONF comm{file, settings, redirection, messages, *this, &owner};
    LW_Met methods{file, settings, redirection, messages, &owner};
    LW_PREFS prefs{file, settings, *this, &owner};
};

} // namespace

class TestDialogLabels : public QObject {
    Q_OBJECT
private slots:
    void everyBoxNamedByItsLabel() {
        Rig rig;
        const std::pair<SettingsDialog*, int> dialogs[] = {
            {&rig.comm, 5}, {&rig.methods, 3}, {&rig.prefs, 4}};
        for (const auto& [dialog, count] : dialogs) {
            const auto boxes = dialog->findChildren<QComboBox*>();
            QCOMPARE(boxes.size(), count);
            for (QComboBox* box : boxes) {
                // What a screen reader reads as the box's label.
                const auto labelledBy =
                    QAccessible::queryAccessibleInterface(box)->relations(QAccessible::Label);
                QCOMPARE(labelledBy.size(), 1);
                auto* label = qobject_cast<QLabel*>(labelledBy.first().first->object());
                QVERIFY2(label != nullptr && label->buddy() == box, qPrintable(box->objectName()));
            }
        }
    }

    void programBoxFromTheKeyboard() {
        Rig rig;
        rig.prefs.Open();
        auto* start = rig.prefs.findChild<QLabel*>("lblStart");
        QCOMPARE(rig.prefs.findChild<QLabel*>("Label2")->buddy(), start);
        auto* closeApp = rig.prefs.findChild<QComboBox*>("comCloseApp");
        QWidget* next = closeApp->nextInFocusChain();
        while (next->parentWidget() == closeApp) { // the box's own line
            next = next->nextInFocusChain();
        }
        QCOMPARE(next, start);
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_A}) {
            QTest::keyClick(start, key);
        }
        QCOMPARE(rig.chosen, 2);
    }
};

QTEST_MAIN(TestDialogLabels)
#include "tst_dialoglabels.moc"
