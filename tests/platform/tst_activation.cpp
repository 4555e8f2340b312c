// The main window's activation command runs when the window becomes active
// from one of the program's own windows (and once at start), not when the
// user comes back to the program from another program. Real X (Xvfb): the
// other program is xlogo, focused with xdotool.

#include "ui/lw_main.h"

#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QTest>
#include <QWindow>

using namespace loomway;

namespace {

QString xdotool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(15000);
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}

} // namespace

class TestActivation : public QObject {
    Q_OBJECT
private slots:
    void onlyTheProgramsOwnWindowsCount() {
        LW_Main window;
        int activations = 0;
        LW_Main::Hooks hooks;
        hooks.activated = [&activations] { ++activations; };
        window.SetHooks(hooks);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(activations, 1);

        // A dialog of the program takes the focus and gives it back.
        QDialog dialog(&window);
        dialog.show();
        dialog.activateWindow();
        // (A transient window counts as active while its parent has the focus.)
        QTRY_COMPARE(QGuiApplication::focusWindow(), dialog.windowHandle());
        dialog.hide();
        window.activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), window.windowHandle());
        QCOMPARE(activations, 2);

        // Another program takes the focus; the user comes back.
        QProcess other;
        other.start(QStringLiteral("xlogo"),
                    {QStringLiteral("-name"), QStringLiteral("loomway-other")});
        QVERIFY(other.waitForStarted());
        const QString id = xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                    QStringLiteral("--onlyvisible"), QStringLiteral("--classname"),
                                    QStringLiteral("loomway-other")});
        QVERIFY(!id.isEmpty());
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id.section(u'\n', 0, 0)});
        QTRY_VERIFY(QApplication::activeWindow() == nullptr);
        xdotool({QStringLiteral("windowfocus"), QString::number(window.winId())});
        QTRY_COMPARE(QGuiApplication::focusWindow(), window.windowHandle());
        QTest::qWait(100);
        QCOMPARE(activations, 2);
        other.kill();
        other.waitForFinished();
    }
};

QTEST_MAIN(TestActivation)
#include "tst_activation.moc"
