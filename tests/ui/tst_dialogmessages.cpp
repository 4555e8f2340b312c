// Messages raised by a settings dialog stand over that dialog, not over the
// main window it holds disabled.

#include "config/dialogs/lw_conf.h"
#include "config/dialogs/lw_met.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/fakes.h"
#include "ui/lw_main.h"
#include "ui/qtmessagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace loomway;
using namespace loomway::test;

namespace {

class NoDevices : public SerialDeviceList {
public:
    std::vector<SerialDevice> Devices() override { return {}; }
};

} // namespace

class TestDialogMessages : public QObject {
    Q_OBJECT
private slots:
    void messageStandsOverItsDialog_data() {
        QTest::addColumn<QString>("dialogName");
        QTest::addColumn<QString>("title");
        QTest::newRow("same ports") << "LW_CONF"
                                    << "Invalid Assignment";
        QTest::newRow("serial method off") << "LW_Met"
                                           << "Disconnect Now?";
        QTest::newRow("switch-on fails during OK") << "LW_Met"
                                                   << "Port Error";
    }
    void messageStandsOverItsDialog() {
        QFETCH(QString, dialogName);
        QFETCH(QString, title);
        MemoryProfileFile file;
        file.set("Source", "Port", "1");
        file.set("Destination", "Port", "2");
        file.set("Common", "Speed", "9600");
        file.set("Methods", "LMW_S", title == "Port Error" ? "NO" : "YES");
        Settings settings;
        FakeSerialPort handheld;
        FakeSerialPort modem;
        handheld.openError = PortError{8002, "no such port"};
        RecordingLampPanel lamps;
        RecordingStatusPanel status;
        LW_Main window;
        window.show();
        QtMessageBox messages(&window);
        RedirectionSwitch redirection(file, settings, handheld, modem, lamps, messages, status);
        NoDevices devices;
        LW_CONF conf(file, settings, redirection, messages, devices, &window);
        LW_Met met(file, settings, redirection, messages, &window);
        QDialog* dialog = dialogName == "LW_CONF" ? static_cast<QDialog*>(&conf) : &met;
        if (dialog == &conf) {
            file.set("Destination", "Port", "1");
            conf.Open();
        } else {
            met.Open();
            child<QComboBox>(met, "comSerialR")
                ->setEditText(title == "Port Error" ? QStringLiteral("YES") : QStringLiteral("NO"));
        }
        QString shownTitle;
        QWidget* shownOver = nullptr;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            shownTitle = box->windowTitle();
            shownOver = box->parentWidget();
            box->button(box->buttons().size() > 1 ? QMessageBox::No : QMessageBox::Ok)->click();
        });
        QTest::mouseClick(child<QPushButton>(*dialog, "cmdOK"), Qt::LeftButton);
        QCOMPARE(shownTitle, title);
        QCOMPARE(shownOver, dialog);
    }
};

QTEST_MAIN(TestDialogMessages)
#include "tst_dialogmessages.moc"
