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

#include <memory>

using namespace loomway;
using namespace loomway::test;

namespace {

class NoDevices : public SerialDeviceList {
public:
    std::vector<SerialDevice> Devices() override { return {}; }
};

class CountingChooser : public ProgramChooser {
public:
    Result Choose(QWidget*, const QString&, const QString&) override {
        ++calls;
        return {Outcome::Cancelled, {}};
    }
    int calls = 0;
};

struct Rig {
    MemoryProfileFile file;
    Settings settings;
    FakeSerialPort handheld;
    FakeSerialPort modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
    NoDevices devices;
    CountingChooser chooser;
    QWidget owner;
};

std::unique_ptr<SettingsDialog> open(Rig& rig, const QString& which) {
    if (which == "LW_CONF") {
        auto d = std::make_unique<LW_CONF>(rig.file, rig.settings, rig.redirection, rig.messages,
                                           rig.devices, &rig.owner);
        d->Open();
        return d;
    }
    if (which == "LW_Met") {
        auto d = std::make_unique<LW_Met>(rig.file, rig.settings, rig.redirection, rig.messages,
                                          &rig.owner);
        d->Open();
        return d;
    }
    auto d = std::make_unique<LW_PREFS>(rig.file, rig.settings, rig.chooser, &rig.owner);
    d->Open();
    return d;
}

} // namespace

class TestDialogLabels : public QObject {
    Q_OBJECT
private slots:
    void everyBoxNamedByItsLabel_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<int>("boxes");
        QTest::newRow("communication") << "LW_CONF" << 5;
        QTest::newRow("methods") << "LW_Met" << 3;
        QTest::newRow("preferences") << "LW_PREFS" << 4;
    }
    void everyBoxNamedByItsLabel() {
        QFETCH(QString, dialog);
        QFETCH(int, boxes);
        Rig rig;
        auto shown = open(rig, dialog);
        const auto lists = shown->findChildren<QComboBox*>();
        QCOMPARE(lists.size(), boxes);
        for (QComboBox* box : lists) {
            QLabel* label = nullptr;
            for (QLabel* candidate : shown->findChildren<QLabel*>()) {
                if (candidate->buddy() == box) {
                    label = candidate;
                }
            }
            QVERIFY2(label != nullptr, qPrintable(box->objectName()));
            // What a screen reader reads as the box's label.
            const auto labelledBy =
                QAccessible::queryAccessibleInterface(box)->relations(QAccessible::Label);
            QCOMPARE(labelledBy.size(), 1);
            QCOMPARE(labelledBy.first().first->object(), label);
        }
    }

    void programBoxFromTheKeyboard() {
        Rig rig;
        auto shown = open(rig, "LW_PREFS");
        auto* start = shown->findChild<QLabel*>("lblStart");
        QCOMPARE(shown->findChild<QLabel*>("Label2")->buddy(), start);
        auto* closeApp = shown->findChild<QComboBox*>("comCloseApp");
        QWidget* next = closeApp->nextInFocusChain();
        while (next->parentWidget() == closeApp) { // the box's own line
            next = next->nextInFocusChain();
        }
        QCOMPARE(next, start);
        QTest::keyClick(start, Qt::Key_Space);
        QTest::keyClick(start, Qt::Key_Return);
        QTest::keyClick(start, Qt::Key_A);
        QCOMPARE(rig.chooser.calls, 2);
    }
};

QTEST_MAIN(TestDialogLabels)
#include "tst_dialoglabels.moc"
