#include "ui/qtmessagebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace loomway;

namespace {

// Runs inspect on the message box once it is open, then presses answer.
void whenShown(std::function<void(QMessageBox&)> inspect, QMessageBox::StandardButton answer) {
    QTimer::singleShot(0, [inspect = std::move(inspect), answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        inspect(*box);
        if (QAbstractButton* button = box->button(answer)) {
            button->click();
        } else {
            box->reject();
        }
    });
}

} // namespace

class TestQtMessageBox : public QObject {
    Q_OBJECT
private slots:
    void okMessageWithExclamation() {
        QtMessageBox messages;
        bool inspected = false;
        whenShown(
            [&](QMessageBox& box) {
                inspected = true;
                QCOMPARE(box.windowTitle(), QStringLiteral("Port Error"));
                QCOMPARE(box.text(), QString::fromUtf8("Port 3 is not available.\nCheck it — "
                                                       "please."));
                QCOMPARE(box.icon(), QMessageBox::Warning);
                QCOMPARE(box.standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
                QCOMPARE(box.defaultButton(), box.button(QMessageBox::Ok));
                QCOMPARE(box.textFormat(), Qt::PlainText);
            },
            QMessageBox::Ok);
        const MessageAnswer answer =
            messages.Show("Port Error", "Port 3 is not available.\nCheck it — please.",
                          MessageIcon::Exclamation, MessageButtons::Ok);
        QVERIFY(inspected);
        QCOMPARE(answer, MessageAnswer::Ok);
    }

    void yesNoWithDefaultAndAnswer_data() {
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("expectedDefault");
        QTest::addColumn<int>("expectedAnswer");
        QTest::newRow("default No, press Yes") << int(MessageAnswer::No) << int(QMessageBox::Yes)
                                               << int(QMessageBox::No) << int(MessageAnswer::Yes);
        QTest::newRow("default Yes, press No") << int(MessageAnswer::Yes) << int(QMessageBox::No)
                                               << int(QMessageBox::Yes) << int(MessageAnswer::No);
        QTest::newRow("default Ok means the first button")
            << int(MessageAnswer::Ok) << int(QMessageBox::No) << int(QMessageBox::Yes)
            << int(MessageAnswer::No);
    }
    void yesNoWithDefaultAndAnswer() {
        QFETCH(int, defaultButton);
        QFETCH(int, press);
        QFETCH(int, expectedDefault);
        QFETCH(int, expectedAnswer);
        QtMessageBox messages;
        whenShown(
            [&](QMessageBox& box) {
                QCOMPARE(box.icon(), QMessageBox::Critical);
                QCOMPARE(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
                QCOMPARE(box.defaultButton(),
                         box.button(QMessageBox::StandardButton(expectedDefault)));
                QCOMPARE(box.text(), QStringLiteral("Cut the relay?"));
            },
            QMessageBox::StandardButton(press));
        const MessageAnswer answer =
            messages.Show("Methods", "Cut the relay?", MessageIcon::Critical, MessageButtons::YesNo,
                          MessageAnswer(defaultButton));
        QCOMPARE(int(answer), expectedAnswer);
    }

    // Closing a yes/no box without choosing counts as No.
    void escapeIsNo() {
        QtMessageBox messages;
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(messages.Show("t", "x", MessageIcon::Exclamation, MessageButtons::YesNo,
                               MessageAnswer::Yes),
                 MessageAnswer::No);
    }
};

QTEST_MAIN(TestQtMessageBox)
#include "tst_qtmessagebox.moc"
