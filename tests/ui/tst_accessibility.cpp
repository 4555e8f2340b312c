// What the main window offers besides its pictures: its icon (also on its
// message boxes and About window), names and states for a screen reader,
// keyboard use of the switch and the clipboard lamp, captions that follow
// the user's font.
#include "ui/aboutwindow.h"
#include "ui/lw_main.h"
#include "ui/qtmessagebox.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace loomway;

namespace {

QString spoken(QWidget* widget, QAccessible::Text part) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face != nullptr ? face->text(part) : QStringLiteral("<none>");
}

QWidget* named(LW_Main& window, const char* name) {
    return window.findChild<QWidget*>(QString::fromLatin1(name));
}

// The icon the window system is given for the window.
bool carriesIcon(QWidget* window) {
    return window->windowHandle() != nullptr && !window->windowHandle()->icon().isNull() &&
           window->windowHandle()->icon().availableSizes().contains(QSize(256, 256));
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void iconOnTheWindowItsMessagesAndAbout() {
        LW_Main window;
        window.show();
        QVERIFY(carriesIcon(&window));
        QCOMPARE(window.windowIcon().availableSizes().size(), 8);

        bool seen = false;
        QTimer::singleShot(0, [&seen] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box != nullptr);
            seen = carriesIcon(box);
            box->close();
        });
        QtMessageBox(&window).Show("Port Error", "x", MessageIcon::Exclamation, MessageButtons::Ok);
        QVERIFY(seen);

        window.ShowAbout();
        QVERIFY(carriesIcon(window.findChild<AboutWindow*>()));
    }

    void namesAndStates() {
        for (auto [element, lamp, code, name, before, after] :
             {std::tuple{"imgPWR", Lamp::imgPWR, "PON", "PWR lamp", "dark", "lit"},
              {"imgRCV", Lamp::imgRCV, "PDON", "RCV lamp", "dark", "lit"},
              {"imgSND", Lamp::imgSND, "MON", "SER lamp", "dark", "lit"},
              {"IMGPRT", Lamp::IMGPRT, "PRTON", "PRT lamp", "dark", "lit"},
              {"imgCLP", Lamp::imgCLP, "CLPFLY", "CLP lamp", "dark", "lit"},
              {"imgOnOff", Lamp::imgOnOff, "OFF", "ON / OFF switch", "on", "off"}}) {
            LW_Main window;
            QWidget* widget = named(window, element);
            QCOMPARE(spoken(widget, QAccessible::Name), QString(name));
            QCOMPARE(spoken(widget, QAccessible::Description), QString(before));
            window.SetLamp(lamp, code);
            window.FlushFrame();
            QCOMPARE(spoken(widget, QAccessible::Description), QString(after));
        }
    }

    void countersAndPanes() {
        LW_Main window;
        window.ShowCounter(Counter::BytesSent, "492");
        window.ShowCounter(Counter::BytesReceived, "105");
        window.FlushFrame();
        const char* const spokenAs[][3] = {{"lblSNDbyt", "Bytes sent", "492"},
                                           {"lblRCVByt", "Bytes received", "105"},
                                           {"txtSend", "Sent from Palm", nullptr},
                                           {"txtReceive", "Received by Palm", nullptr}};
        for (const auto& [element, name, value] : spokenAs) {
            QCOMPARE(spoken(named(window, element), QAccessible::Name), name);
            if (value != nullptr) {
                QCOMPARE(spoken(named(window, element), QAccessible::Description), value);
            }
        }
        // The captions stay as they are.
        QCOMPARE(qobject_cast<QLabel*>(named(window, "lblSNDbyt"))->text(), "492");
        QCOMPARE(qobject_cast<QLabel*>(named(window, "lblPWR"))->text(), "PWR");
    }

    void switchAndClipboardFromTheKeyboard_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("presses");
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << 1;
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << 1;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1;
        QTest::newRow("Ctrl+Space") << int(Qt::Key_Space) << int(Qt::ControlModifier) << 0;
        QTest::newRow("a letter") << int(Qt::Key_A) << int(Qt::NoModifier) << 0;
        QTest::newRow("screen reader's press") << 0 << 0 << 1;
    }
    void switchAndClipboardFromTheKeyboard() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, presses);
        LW_Main window;
        int toggles = 0, sends = 0;
        LW_Main::Hooks hooks;
        hooks.toggleRedirection = [&toggles] { ++toggles; };
        hooks.sendToClip = [&sends] { ++sends; };
        window.SetHooks(hooks);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        // Tab goes between the switch and the clipboard lamp only: a pane with
        // the focus would take Ctrl+C and Ctrl+A from the menus.
        named(window, "imgOnOff")->setFocus(Qt::TabFocusReason);
        QStringList visited;
        for (int i = 0; i < 3; ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, QStringList({"imgOnOff", "imgCLP", "imgOnOff"}));

        for (const char* name : {"imgOnOff", "imgCLP"}) {
            // A screen reader sees a button it can press itself.
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(named(window, name));
            QCOMPARE(face->role(), QAccessible::Button);
            if (key == 0) {
                face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            } else {
                QTest::keyClick(named(window, name), Qt::Key(key),
                                Qt::KeyboardModifiers(modifiers));
            }
        }
        QCOMPARE(toggles, presses);
        QCOMPARE(sends, presses);
        QCOMPARE(window.LampShows(Lamp::imgCLP),
                 presses ? LampPicture::imgClpf : LampPicture::img_coff);
    }

    void captionsFollowTheUsersFont() {
        const QFont original = QApplication::font();
        LW_Main window;
        auto size = [&window](const char* name) {
            return qobject_cast<QLabel*>(named(window, name))->font().pointSizeF();
        };
        const qreal pwr = size("lblPWR");
        const qreal onOff = size("lblonoff");
        const qreal counter = size("lblSNDbyt");
        QVERIFY(pwr > 0 && onOff > 0 && onOff < pwr);
        QFont larger = original;
        larger.setPointSizeF(original.pointSizeF() * 1.5);
        QApplication::setFont(larger);
        QCoreApplication::processEvents();
        QCOMPARE(size("lblPWR"), pwr * 1.5);
        QCOMPARE(size("lblonoff"), onOff * 1.5);
        QCOMPARE(size("lblSNDbyt"), counter * 1.5);
        QApplication::setFont(original);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
