#include "ui/aboutwindow.h"
#include "ui/displaymode.h"
#include "ui/lw_main.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

using namespace loomway;

namespace {

// "caption|shortcut" for an item, "-" for a separator, "caption>" for a submenu.
QStringList describe(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            items << QStringLiteral("-");
        } else if (action->menu()) {
            items << action->text() + QStringLiteral(">");
        } else {
            items << action->text() + QStringLiteral("|") +
                         action->shortcut().toString(QKeySequence::PortableText);
        }
    }
    return items;
}

// Receives the addresses that the desktop would open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// The client size for a mode: the outer size less the window's frame (the
// offscreen platform draws a thin one).
QSize expectedSize(LW_Main& window, const char* mode, bool hide) {
    const DisplayLayout d = ComputeDisplay(mode, hide, window.StatusBarTwips());
    const QSize frame = window.frameGeometry().size() - window.size();
    const PixelSize px = ClientSizeForOuter(d.width, d.height, frame.width(), frame.height());
    return QSize(px.width, px.height);
}

} // namespace

class TestMenus : public QObject {
    Q_OBJECT
private slots:
    void captionsAndShortcuts() {
        LW_Main window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Palm Loomway by QUILLON"));
        QStringList top;
        for (const QAction* action : window.menuBar()->actions()) {
            top << action->text();
        }
        QCOMPARE(top, (QStringList{"&File", "&View", "Co&nfigure", "&Help"}));
        const MainMenus& m = window.Menus();
        QCOMPARE(describe(m.m_file),
                 (QStringList{"&Reset>", "Start &Capture...|", "&Exit|Ctrl+E"}));
        QCOMPARE(describe(m.m_reset),
                 (QStringList{"S&niffer|Ctrl+N", "B&ytes|Ctrl+Y", "&Both|Ctrl+B"}));
        QCOMPARE(describe(m.m_view),
                 (QStringList{"LE&Ds |Ctrl+D", "&SND/RCV Rate|Ctrl+S", "Data Sni&ffer|Ctrl+F", "-",
                              "H&ide Menu|Ctrl+H", "-", "Traffic &Monitor|Ctrl+T"}));
        QCOMPARE(describe(m.m_config),
                 (QStringList{"&ReDirection Methods|Ctrl+M", "Startup &Preferences|Ctrl+P",
                              "&Serial Communications|Ctrl+C"}));
        QCOMPARE(describe(m.m_help), (QStringList{"QUILLON &Home Page|", "&Palm Loomway Hot News!|",
                                                  "-", "&About|Ctrl+A"}));
        // The elements carry their names; only the view items take marks, and
        // none is checked at creation.
        QCOMPARE(m.m_led->objectName(), QStringLiteral("m_led"));
        QCOMPARE(m.m_none->objectName(), QStringLiteral("m_none"));
        QCOMPARE(m.m_Prefs->objectName(), QStringLiteral("m_Prefs"));
        for (QAction* item : {m.m_led, m.m_rate, m.m_datsniff, m.m_hide}) {
            QVERIFY(item->isCheckable());
            QVERIFY(!item->isChecked());
        }
        for (QAction* item : {m.m_clrSniff, m.m_exit, m.m_method, m.m_about, m.m_lmwhome}) {
            QVERIFY(!item->isCheckable());
        }
    }

    // A fixed size and no maximize button.
    void fixedWindow() {
        LW_Main window;
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        window.SetDisplay("ALL");
        QCOMPARE(window.minimumSize(), window.maximumSize());
        // The creation size holds a client area of 9120 x 5805 twips.
        LW_Main fresh;
        QCOMPARE(fresh.centralWidget()->width() >= 0, true);
        QCOMPARE(fresh.minimumWidth(), 608);
        QVERIFY(!fresh.statusBar()->isSizeGripEnabled());
    }

    // The arrangement in twips at 15 twips per pixel.
    void arrangement_data() {
        QTest::addColumn<QString>("element");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("picOnOff") << "picOnOff" << QRect(0, 0, 47, 57);
        QTest::newRow("imgOnOff") << "imgOnOff" << QRect(2, 6, 35, 16);
        QTest::newRow("picLEDPanel") << "picLEDPanel" << QRect(48, 0, 241, 57);
        QTest::newRow("imgPWR") << "imgPWR" << QRect(8, 0, 32, 32);
        QTest::newRow("lblPWR") << "lblPWR" << QRect(8, 32, 33, 17);
        QTest::newRow("imgRCV") << "imgRCV" << QRect(48, 0, 32, 32);
        QTest::newRow("imgSND") << "imgSND" << QRect(96, 0, 32, 32);
        QTest::newRow("IMGPRT") << "IMGPRT" << QRect(144, 0, 32, 32);
        QTest::newRow("imgCLP") << "imgCLP" << QRect(192, 0, 32, 32);
        QTest::newRow("lblClP") << "lblClP" << QRect(192, 32, 33, 17);
        QTest::newRow("Picture3") << "Picture3" << QRect(290, 0, 109, 57);
        QTest::newRow("lblS") << "lblS" << QRect(4, 7, 17, 17);
        QTest::newRow("lblSNDbyt") << "lblSNDbyt" << QRect(15, 6, 85, 17);
        QTest::newRow("lblR") << "lblR" << QRect(3, 32, 17, 17);
        QTest::newRow("lblRCVByt") << "lblRCVByt" << QRect(16, 30, 84, 17);
        QTest::newRow("Picture2") << "Picture2" << QRect(0, 60, 124, 33);
        QTest::newRow("txtSend") << "txtSend" << QRect(0, 80, 401, 57);
        QTest::newRow("Picture1") << "Picture1" << QRect(-4, 134, 179, 36);
        QTest::newRow("txtReceive") << "txtReceive" << QRect(0, 158, 401, 57);
    }
    void arrangement() {
        QFETCH(QString, element);
        QFETCH(QRect, geometry);
        LW_Main window;
        QWidget* w = window.findChild<QWidget*>(element);
        QVERIFY(w);
        QCOMPARE(w->geometry(), geometry);
    }

    void captionsAndTooltips() {
        LW_Main window;
        const auto text = [&](const char* name) { return window.findChild<QLabel*>(name)->text(); };
        const auto tip = [&](const char* name) {
            return window.findChild<QWidget*>(name)->toolTip();
        };
        QCOMPARE(text("lblPWR"), QStringLiteral("PWR"));
        QCOMPARE(text("lblRCV"), QStringLiteral("RCV"));
        QCOMPARE(text("lblSND"), QStringLiteral("SER"));
        QCOMPARE(text("Label1"), QStringLiteral("PRT"));
        QCOMPARE(text("lblClP"), QStringLiteral("CLP"));
        QCOMPARE(text("lblonoff"), QStringLiteral("ON / OFF"));
        QCOMPARE(text("lblS"), QStringLiteral("S"));
        QCOMPARE(text("lblR"), QStringLiteral("R"));
        QCOMPARE(tip("imgPWR"), QStringLiteral("ReDirection Status"));
        QCOMPARE(tip("imgRCV"), QStringLiteral("Data Receive LED"));
        QCOMPARE(tip("imgSND"), QStringLiteral("Serial (Modem) Send"));
        QCOMPARE(tip("IMGPRT"), QStringLiteral("Printer Send"));
        QCOMPARE(
            tip("imgCLP"),
            QStringLiteral("Clipboard Send - Click Here to Send Clipboard Data to Palm Device"));
        QCOMPARE(tip("imgOnOff"), QStringLiteral("ReDirection ON/OFF"));
        QCOMPARE(tip("lblSND"), QStringLiteral("Serial (Modem) Send"));
        QCOMPARE(tip("Label1"), QStringLiteral("Printer Send"));
        QCOMPARE(tip("lblClP"), QStringLiteral("Clipboard Send"));
        QCOMPARE(tip("lblonoff"), QStringLiteral("ReDirection ON/OFF"));
        QCOMPARE(tip("Picture2"),
                 QStringLiteral("Data Stream Sent from Palm Device to ReDirected Location"));
        QCOMPARE(tip("Picture1"), QStringLiteral("Data Stream Received by Palm Device from "
                                                 "Remote ReDirected Location"));
        QWidget* line = window.findChild<QWidget*>("Line1");
        QVERIFY(line && !line->isVisibleTo(&window));
        QCOMPARE(line->y(), 78);
    }

    // The window takes the sizes the modes compute, from its own status bar.
    void windowSizes_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("hide");
        for (const char* mode : {"LED_ONLY", "SENDREC", "FULL", "ALL"}) {
            QTest::addRow("%s shown", mode) << mode << false;
            QTest::addRow("%s hidden", mode) << mode << true;
        }
    }
    void windowSizes() {
        QFETCH(QString, mode);
        QFETCH(bool, hide);
        LW_Main window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.SetHideMenuChecked(hide);
        const std::string text = mode.toStdString();
        window.SetDisplay(text);
        QCOMPARE(window.size(), expectedSize(window, text.c_str(), hide));
        const bool barsShown = !hide || mode == "ALL";
        QCOMPARE(window.menuBar()->isVisible(), barsShown);
        QCOMPARE(window.statusBar()->isVisible(), barsShown);
        QCOMPARE(window.Menus().m_led->isChecked(), mode == "LED_ONLY");
        QCOMPARE(window.Menus().m_rate->isChecked(), mode == "SENDREC");
        QCOMPARE(window.Menus().m_datsniff->isChecked(), mode == "FULL" || mode == "ALL");
        QCOMPARE(window.Menus().m_hide->isChecked(), hide);
    }

    // A taller status bar (a larger font) makes the menu-shown heights larger.
    void tallerStatusBarInTheWindow() {
        LW_Main window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.SetDisplay("FULL");
        const int before = window.height();
        const double s = window.StatusBarTwips();
        QFont big = window.statusBar()->font();
        big.setPixelSize(40);
        window.statusBar()->setFont(big);
        QCoreApplication::processEvents();
        const double taller = window.StatusBarTwips();
        QVERIFY(taller > s);
        window.SetDisplay("FULL");
        QCOMPARE(window.size(), expectedSize(window, "FULL", false));
        QVERIFY(qAbs(window.height() - before - qRound(3.2 * (taller - s) / 15)) <= 1);
    }

    // An unknown mode text only shows or hides the bars.
    void unknownModeOnlyBars() {
        LW_Main window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.SetDisplay("SENDREC");
        const QSize size = window.size();
        window.SetHideMenuChecked(true);
        window.SetDisplay("full");
        QVERIFY(!window.menuBar()->isVisible());
        QVERIFY(!window.statusBar()->isVisible());
        QCOMPARE(window.size(), size);
        QVERIFY(window.Menus().m_rate->isChecked());
        QVERIFY(!window.Menus().m_datsniff->isChecked());
        window.SetHideMenuChecked(false);
        window.SetDisplay("");
        QVERIFY(window.menuBar()->isVisible());
        QCOMPARE(window.size(), size);
    }

    // "FULL" and "ALL" bring a minimized window back to its normal state.
    void fullRestoresNormalState() {
        LW_Main window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setWindowState(Qt::WindowMinimized);
        window.SetDisplay("LED_ONLY");
        QVERIFY(!window.IsNormalState());
        window.SetDisplay("FULL");
        QVERIFY(window.IsNormalState());
        window.setWindowState(Qt::WindowMinimized);
        window.SetDisplay("ALL");
        QVERIFY(window.IsNormalState());
    }

    // "H&ide Menu" toggles only its own mark; the next view hides the bars.
    void hideMenuTogglesOnlyItsMark() {
        LW_Main window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.SetDisplay("ALL");
        const QSize size = window.size();
        window.Menus().m_hide->trigger();
        QVERIFY(window.Menus().m_hide->isChecked());
        QVERIFY(window.menuBar()->isVisible());
        QVERIFY(window.statusBar()->isVisible());
        QCOMPARE(window.size(), size);
        QVERIFY(window.Menus().m_datsniff->isChecked());
        window.Menus().m_hide->trigger();
        QVERIFY(!window.Menus().m_hide->isChecked());
        QVERIFY(window.menuBar()->isVisible());
        window.Menus().m_hide->trigger();

        window.Menus().m_led->trigger();
        QVERIFY(!window.menuBar()->isVisible());
        QVERIFY(!window.statusBar()->isVisible());
        QCOMPARE(window.size(), expectedSize(window, "LED_ONLY", true));
        QVERIFY(window.Menus().m_led->isChecked());
        QVERIFY(!window.Menus().m_datsniff->isChecked());
        // Choosing the checked view again keeps its mark.
        window.Menus().m_led->trigger();
        QVERIFY(window.Menus().m_led->isChecked());
        window.Menus().m_rate->trigger();
        QVERIFY(window.Menus().m_rate->isChecked());
        QVERIFY(!window.Menus().m_led->isChecked());
        window.Menus().m_datsniff->trigger();
        QVERIFY(window.Menus().m_datsniff->isChecked());
        QVERIFY(!window.Menus().m_rate->isChecked());
    }

    // The Ctrl shortcuts, also while the menu bar is hidden.
    void shortcutKeys() {
        LW_Main window;
        int methods = 0;
        LW_Main::Hooks hooks;
        hooks.methodsDialog = [&methods] { ++methods; };
        window.SetHooks(hooks);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
        QVERIFY(window.Menus().m_led->isChecked());
        QTest::keyClick(&window, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(window.Menus().m_hide->isChecked());
        QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(window.Menus().m_rate->isChecked());
        QVERIFY(!window.menuBar()->isVisible());
        QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(methods, 1);
        QTest::keyClick(&window, Qt::Key_H, Qt::ControlModifier);
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window.Menus().m_datsniff->isChecked());
        QVERIFY(window.menuBar()->isVisible());
    }

    // Each item calls its command; an item without one is disabled.
    void itemsCallTheirCommands() {
        LW_Main window;
        const MainMenus& m = window.Menus();
        for (QAction* item : {m.m_clrSniff, m.m_resetbytes, m.m_resetboth, m.m_exit, m.m_method,
                              m.m_Prefs, m.m_options}) {
            QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
        }
        QStringList calls;
        LW_Main::Hooks hooks;
        hooks.clearPanes = [&] { calls << "ClearPanes"; };
        hooks.resetCounters = [&] { calls << "ResetCounters"; };
        hooks.resetBoth = [&] { calls << "ResetBoth"; };
        hooks.quit = [&] { calls << "quit"; };
        hooks.methodsDialog = [&] { calls << "LW_Met"; };
        hooks.preferencesDialog = [&] { calls << "LW_PREFS"; };
        hooks.commDialog = [&] { calls << "LW_CONF"; };
        window.SetHooks(hooks);
        for (QAction* item : {m.m_clrSniff, m.m_resetbytes, m.m_resetboth, m.m_exit, m.m_method,
                              m.m_Prefs, m.m_options}) {
            QVERIFY(item->isEnabled());
            item->trigger();
        }
        window.OpenCommSettingsDialog();
        QCOMPARE(calls, (QStringList{"ClearPanes", "ResetCounters", "ResetBoth", "quit", "LW_Met",
                                     "LW_PREFS", "LW_CONF", "LW_CONF"}));
        window.close(); // the close box runs the exit command too
        QCOMPARE(calls.back(), QStringLiteral("quit"));
        QCOMPARE(calls.size(), 9);
    }

    // The two web items open the user guide and the change log shipped with
    // the program.
    void webItemsOpenShippedDocuments() {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        LW_Main window;
        window.Menus().m_lmwhome->trigger();
        window.Menus().m_whatsnew->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(recorder.urls.size(), 2);
        QVERIFY(recorder.urls[0].isLocalFile());
        QCOMPARE(QFileInfo(recorder.urls[0].toLocalFile()).fileName(), QStringLiteral("README.html"));
        QCOMPARE(QFileInfo(recorder.urls[1].toLocalFile()).fileName(),
                 QStringLiteral("CHANGELOG.html"));
        QVERIFY(QFileInfo::exists(recorder.urls[0].toLocalFile()));
        QVERIFY(QFileInfo::exists(recorder.urls[1].toLocalFile()));
    }

    void aboutWindow() {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        LW_Main window;
        window.show();
        window.Menus().m_about->trigger();
        auto* about = window.findChild<AboutWindow*>();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        QCOMPARE(about->findChild<QLabel*>("lblProduct")->text(), QStringLiteral("Palm Loomway"));
        QCOMPARE(about->findChild<QLabel*>("lblVersion")->text(),
                 QStringLiteral("Version " LOOMWAY_VERSION));
        QVERIFY(!about->findChild<QLabel*>("lblPurpose")->text().isEmpty());
        auto* home = about->findChild<QLabel*>("lblHome");
        auto* news = about->findChild<QLabel*>("lblNews");
        QVERIFY(home->text().contains(QStringLiteral("README.html")));
        QVERIFY(news->text().contains(QStringLiteral("CHANGELOG.html")));
        emit news->linkActivated(QString());
        QCOMPARE(recorder.urls.size(), 1);
        QVERIFY(recorder.urls[0].toLocalFile().endsWith(QStringLiteral("CHANGELOG.html")));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        // The same window again, not a second one.
        window.Menus().m_about->trigger();
        QCOMPARE(window.findChildren<AboutWindow*>().size(), qsizetype(1));
        about->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(!about->isVisible());
    }
};

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
