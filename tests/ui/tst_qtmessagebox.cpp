#include "ui/qtmessagebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace loomway;

class TestQtMessageBox : public QObject {
    Q_OBJECT
private slots:
    // Title, plain text, icon, buttons and the default as asked; the answer
    // is the button pressed; Escape on a yes/no question is No.
    void boxes() {
        struct Case {
            MessageIcon icon;
            MessageButtons buttons;
            MessageAnswer defaultButton;
            int press; // a QMessageBox::StandardButton, 0 for Escape
            QString shown;
            MessageAnswer answer;
        } cases[] = {{MessageIcon::Exclamation, MessageButtons::Ok, MessageAnswer::Ok,
                      QMessageBox::Ok, "warning OK default OK", MessageAnswer::Ok},
                     {MessageIcon::Critical, MessageButtons::YesNo, MessageAnswer::No,
                      QMessageBox::Yes, "critical Yes No default No", MessageAnswer::Yes},
                     {MessageIcon::Critical, MessageButtons::YesNo, MessageAnswer::Yes,
                      QMessageBox::No, "critical Yes No default Yes", MessageAnswer::No},
                     {MessageIcon::Exclamation, MessageButtons::YesNo, MessageAnswer::Yes, 0,
                      "warning Yes No default Yes", MessageAnswer::No}};
        for (const Case& c : cases) {
            QString shown;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                shown = QString(box->icon() == QMessageBox::Warning    ? "warning"
                                : box->icon() == QMessageBox::Critical ? "critical"
                                                                       : "?");
                for (QAbstractButton* b : box->buttons()) {
                    shown += " " + b->text().remove('&');
                }
                shown += " default " + box->defaultButton()->text().remove('&');
                QVERIFY(box->windowTitle() == "Port Error" &&
                        box->text() == "Port 3 <b>—</b>\nnot there." &&
                        box->textFormat() == Qt::PlainText);
                c.press ? box->button(QMessageBox::StandardButton(c.press))->click()
                        : QTest::keyClick(box, Qt::Key_Escape);
            });
            QCOMPARE(messages.Show("Port Error", "Port 3 <b>\u2014</b>\nnot there.", c.icon,
                                   c.buttons, c.defaultButton),
                     c.answer);
            QCOMPARE(shown, c.shown);
        }
    }

private:
    QtMessageBox messages;
};

QTEST_MAIN(TestQtMessageBox)
#include "tst_qtmessagebox.moc"
