#include "ui/datapane.h"
#include "ui/lw_main.h"

#include <QAction>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

using namespace loomway;

namespace {

// What the platform delivers for one click and for one double-click.
void click(QWidget* w, Qt::MouseButton button = Qt::LeftButton, QPoint at = {}) {
    QTest::mousePress(w, button, {}, at);
    QTest::mouseRelease(w, button, {}, at);
}

void doubleClick(QWidget* w, QPoint at = {}) {
    QTest::mousePress(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
    QTest::mousePress(w, Qt::LeftButton, {}, at);
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
}

// The receiving widget of an element: a pane takes the mouse on its viewport.
QWidget* target(LW_Main& window, const QString& name) {
    QWidget* w = window.findChild<QWidget*>(name);
    if (auto* pane = qobject_cast<QPlainTextEdit*>(w)) {
        return pane->viewport();
    }
    return w;
}

struct Recorder {
    int toggles = 0;
    int sends = 0;
    std::vector<LampPicture> lampAtSend;
};

LW_Main::Hooks recordingHooks(Recorder& r, LW_Main& window) {
    LW_Main::Hooks hooks;
    hooks.toggleRedirection = [&r] { ++r.toggles; };
    hooks.sendToClip = [&r, &window] {
        ++r.sends;
        r.lampAtSend.push_back(window.LampShows(Lamp::imgCLP));
    };
    return hooks;
}

bool showsAll(LW_Main& window) {
    return window.Menus().m_datsniff->isChecked() && !window.Menus().m_led->isChecked();
}

} // namespace

class TestClickTable : public QObject {
    Q_OBJECT
private slots:
    // A double-click on almost any element applies "ALL".
    void doubleClickShowsAll_data() {
        QTest::addColumn<QString>("element");
        for (const char* name :
             {"LW_Main_Client", "picOnOff", "lblonoff", "picLEDPanel", "imgPWR", "lblPWR", "imgRCV",
              "lblRCV", "imgSND", "lblSND", "IMGPRT", "Label1", "Picture3", "lblSNDbyt",
              "lblRCVByt", "txtSend", "txtReceive", "StatusBar1_Panel1", "StatusBar1_Panel2"}) {
            QTest::newRow(name) << QString::fromLatin1(name);
        }
    }
    void doubleClickShowsAll() {
        QFETCH(QString, element);
        LW_Main window;
        Recorder r;
        window.SetHooks(recordingHooks(r, window));
        window.SetDisplay("LED_ONLY");
        QVERIFY(!showsAll(window));
        QWidget* w = target(window, element);
        QVERIFY(w);
        click(w);
        QVERIFY2(!showsAll(window), "a single click does nothing");
        doubleClick(w);
        QVERIFY(showsAll(window));
        QCOMPARE(r.toggles, 0);
        QCOMPARE(r.sends, 0);
    }

    // Elements not in the table ignore clicks and double-clicks; they do not
    // pass them on to their panel.
    void otherElementsIgnoreClicks() {
        LW_Main window;
        Recorder r;
        window.SetHooks(recordingHooks(r, window));
        window.SetDisplay("SENDREC");
        for (const char* name : {"lblS", "lblR"}) {
            QWidget* w = window.findChild<QWidget*>(name);
            QVERIFY(w);
            click(w);
            doubleClick(w);
            QVERIFY(window.Menus().m_rate->isChecked());
        }
        QCOMPARE(r.toggles + r.sends, 0);
    }

    // The pane headings answer a single click with "ALL".
    void headingClickShowsAll() {
        for (const char* name : {"Picture1", "Picture2"}) {
            LW_Main window;
            window.SetDisplay("LED_ONLY");
            click(window.findChild<QWidget*>(name));
            QVERIFY2(showsAll(window), name);
            window.SetDisplay("SENDREC");
            doubleClick(window.findChild<QWidget*>(name));
            QVERIFY2(showsAll(window), name);
            // A right-button click is no click.
            window.SetDisplay("SENDREC");
            click(window.findChild<QWidget*>(name), Qt::RightButton);
            QVERIFY(window.Menus().m_rate->isChecked());
        }
    }

    void switchClickToggles() {
        LW_Main window;
        Recorder r;
        window.SetHooks(recordingHooks(r, window));
        window.SetDisplay("LED_ONLY");
        QWidget* onOff = window.findChild<QWidget*>("imgOnOff");
        click(onOff);
        QCOMPARE(r.toggles, 1);
        // A double-click is one click and a double-click that does nothing.
        doubleClick(onOff);
        QCOMPARE(r.toggles, 2);
        QVERIFY(window.Menus().m_led->isChecked());
        click(onOff, Qt::RightButton);
        QCOMPARE(r.toggles, 2);
        // Pressed on the switch but released elsewhere: no click.
        QTest::mousePress(onOff, Qt::LeftButton);
        QTest::mouseRelease(onOff, Qt::LeftButton, {}, QPoint(-5, -5));
        QCOMPARE(r.toggles, 2);
    }

    // The clipboard lamp: every release over it shows "CLPFLY", a click
    // sends the clipboard once, a double-click sends it once (by its click).
    void clipboardLamp() {
        LW_Main window;
        Recorder r;
        window.SetHooks(recordingHooks(r, window));
        window.SetDisplay("LED_ONLY");
        QWidget* lamp = window.findChild<QWidget*>("imgCLP");
        click(lamp);
        QCOMPARE(r.sends, 1);
        QCOMPARE(r.lampAtSend.back(), LampPicture::imgClpf); // released before the click
        window.SetLamp(Lamp::imgCLP, "CLPOFF");
        doubleClick(lamp);
        QCOMPARE(r.sends, 2);
        QCOMPARE(window.LampShows(Lamp::imgCLP), LampPicture::imgClpf);
        QVERIFY(window.Menus().m_led->isChecked()); // no "ALL"
        // Any button's release lights it; only the left button sends.
        window.SetLamp(Lamp::imgCLP, "CLPOFF");
        click(lamp, Qt::RightButton);
        QCOMPARE(window.LampShows(Lamp::imgCLP), LampPicture::imgClpf);
        QCOMPARE(r.sends, 2);
        // Released away from the lamp: neither.
        window.SetLamp(Lamp::imgCLP, "CLPOFF");
        QTest::mousePress(lamp, Qt::LeftButton);
        QTest::mouseRelease(lamp, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(window.LampShows(Lamp::imgCLP), LampPicture::img_coff);
        QCOMPARE(r.sends, 2);
        QCOMPARE(r.toggles, 0);
    }

    // Its caption sends on a click and on a double-click: twice for a double-click.
    void clipboardCaption() {
        LW_Main window;
        Recorder r;
        window.SetHooks(recordingHooks(r, window));
        window.SetDisplay("SENDREC");
        QWidget* label = window.findChild<QWidget*>("lblClP");
        click(label);
        QCOMPARE(r.sends, 1);
        doubleClick(label);
        QCOMPARE(r.sends, 3);
        QCOMPARE(window.LampShows(Lamp::imgCLP), LampPicture::img_coff);
        QVERIFY(window.Menus().m_rate->isChecked());
    }

    // Send_to_Clip is the window's own method too.
    void sendToClipMethod() {
        LW_Main window;
        Recorder r;
        window.SetHooks(recordingHooks(r, window));
        window.Send_to_Clip();
        QCOMPARE(r.sends, 1);
        LW_Main bare; // without its command nothing happens
        bare.Send_to_Clip();
        click(bare.findChild<QWidget*>("imgOnOff"));
    }

    // With the menu bar hidden, a double-click on a lamp brings back the
    // menu bar, the status bar and the full window; "H&ide Menu" stays checked.
    void doubleClickBringsMenusBack() {
        LW_Main window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.SetHideMenuChecked(true);
        window.SetDisplay("FULL");
        QVERIFY(!window.menuBar()->isVisible());
        QVERIFY(!window.statusBar()->isVisible());
        doubleClick(window.findChild<QWidget*>("imgRCV"));
        QVERIFY(window.menuBar()->isVisible());
        QVERIFY(window.statusBar()->isVisible());
        QVERIFY(window.Menus().m_hide->isChecked());
        QVERIFY(window.Menus().m_datsniff->isChecked());
        for (QMenu* menu : {window.Menus().m_file, window.Menus().m_view, window.Menus().m_config,
                            window.Menus().m_help}) {
            QVERIFY(menu->menuAction()->isVisible());
        }
    }
};

QTEST_MAIN(TestClickTable)
#include "tst_clicktable.moc"
