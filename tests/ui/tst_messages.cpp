// Message boxes: as asked (title, plain text, icon, buttons, default), the
// answer the button pressed; and a settings dialog's message stands over that
// dialog, not over the main window it holds disabled.
#include "config/dialogs/lw_conf.h"
#include "config/dialogs/lw_met.h"
#include "core/redirectionswitch.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"
#include "ui/lw_main.h"
#include "ui/qtmessagebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace loomway;
using namespace loomway::test;

namespace {
struct NoDevices : SerialDeviceList {
    std::vector<SerialDevice> Devices() override { return {}; }
};

// Runs show() and, once a message box is up, describes it and presses.
template <typename Show> QString answered(Show show, QMessageBox::StandardButton press) {
    QString shown;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        shown = box->windowTitle() + "|" + box->text() + "|" +
                (box->textFormat() == Qt::PlainText ? "plain" : "rich") + "|" +
                (box->icon() == QMessageBox::Warning    ? "warning"
                 : box->icon() == QMessageBox::Critical ? "critical"
                                                        : "?");
        for (QAbstractButton* b : box->buttons()) {
            shown += " " + b->text().remove('&');
        }
        shown += " default " + box->defaultButton()->text().remove('&') + "|over " +
                 box->parentWidget()->objectName();
        press ? box->button(press)->click() : QTest::keyClick(box, Qt::Key_Escape);
    });
    show();
    return shown;
}
} // namespace

class TestMessages : public QObject {
    Q_OBJECT
private slots:
    // Escape on a yes/no question is No.
    void boxes() {
        const QString text = "Port 3 <b>\u2014</b>\nnot there.";
        const QString head = "Port Error|" + text + "|plain|";
        for (auto [icon, buttons, byDefault, press, shown, answer] :
             {std::tuple{MessageIcon::Exclamation, MessageButtons::Ok, MessageAnswer::Ok,
                         QMessageBox::Ok, "warning OK default OK", MessageAnswer::Ok},
              {MessageIcon::Critical, MessageButtons::YesNo, MessageAnswer::No, QMessageBox::Yes,
               "critical Yes No default No", MessageAnswer::Yes},
              {MessageIcon::Critical, MessageButtons::YesNo, MessageAnswer::Yes, QMessageBox::No,
               "critical Yes No default Yes", MessageAnswer::No},
              {MessageIcon::Exclamation, MessageButtons::YesNo, MessageAnswer::Yes,
               QMessageBox::NoButton, "warning Yes No default Yes", MessageAnswer::No}}) {
            QWidget owner;
            owner.setObjectName("owner");
            QtMessageBox messages(&owner);
            MessageAnswer got{};
            QCOMPARE(answered(
                         [&] {
                             got = messages.Show("Port Error", text.toStdString(), icon, buttons,
                                                 byDefault);
                         },
                         press),
                     head + shown + "|over owner");
            QCOMPARE(got, answer);
        }
    }

    void standsOverItsDialog_data() {
        addRows({"dialog", "title"}, {{"same ports", "LW_CONF", "Invalid Assignment"},
                                      {"serial method off", "LW_Met", "Disconnect Now?"},
                                      {"switch-on fails during OK", "LW_Met", "Port Error"}});
    }
    void standsOverItsDialog() {
        const QString dialog = cell("dialog"), title = cell("title");
        MemoryProfileFile file;
        file.set("Source", "Port", "1");
        file.set("Destination", "Port", dialog == "LW_CONF" ? "1" : "2");
        file.set("Common", "Speed", "9600");
        file.set("Methods", "LMW_S", title == "Port Error" ? "NO" : "YES");
        Settings settings;
        FakeSerialPort handheld, modem;
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
        QDialog* shown = dialog == "LW_CONF" ? static_cast<QDialog*>(&conf) : &met;
        if (shown == &conf) {
            conf.Open();
        } else {
            met.Open();
            met.findChild<QComboBox*>("comSerialR")
                ->setEditText(title == "Port Error" ? "YES" : "NO");
        }
        const QString seen = answered(
            [&] { QTest::mouseClick(shown->findChild<QPushButton*>("cmdOK"), Qt::LeftButton); },
            QMessageBox::NoButton);
        QCOMPARE(seen.section('|', 0, 0), title);
        QCOMPARE(seen.section('|', -1), "over " + shown->objectName());
    }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
