#include "ui/displaymode.h"

#include <QTest>

using loomway::ClientSizeForOuter;
using loomway::ComputeDisplay;
using loomway::DisplayLayout;

class TestDisplayMode : public QObject {
    Q_OBJECT
private slots:
    // The worked sizes with a 255-twip status bar, both states of "H&ide Menu".
    void workedSizes_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("hideMenu");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<bool>("menus");
        QTest::addColumn<bool>("statusBar");
        QTest::addColumn<QString>("checked"); // which view item carries the mark
        QTest::addColumn<bool>("restore");

        QTest::newRow("LED_ONLY shown")
            << "LED_ONLY" << false << 4425.0 << 1782.0 << true << true << "led" << false;
        QTest::newRow("LED_ONLY hidden")
            << "LED_ONLY" << true << 4425.0 << 1170.0 << false << false << "led" << false;
        QTest::newRow("SENDREC shown")
            << "SENDREC" << false << 6090.0 << 1769.25 << true << true << "rate" << false;
        QTest::newRow("SENDREC hidden")
            << "SENDREC" << true << 6090.0 << 1170.0 << false << false << "rate" << false;
        QTest::newRow("FULL shown")
            << "FULL" << false << 6090.0 << 4212.0 << true << true << "sniffer" << true;
        QTest::newRow("FULL hidden")
            << "FULL" << true << 6090.0 << 3957.0 << false << false << "sniffer" << true;
        QTest::newRow("ALL shown")
            << "ALL" << false << 6090.0 << 4212.0 << true << true << "sniffer" << true;
        QTest::newRow("ALL hidden")
            << "ALL" << true << 6090.0 << 4212.0 << true << true << "sniffer" << true;
    }
    void workedSizes() {
        QFETCH(QString, mode);
        QFETCH(bool, hideMenu);
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(bool, menus);
        QFETCH(bool, statusBar);
        QFETCH(QString, checked);
        QFETCH(bool, restore);

        const DisplayLayout d = ComputeDisplay(mode.toStdString(), hideMenu, 255.0);
        QVERIFY(d.known);
        QCOMPARE(d.width, width);
        QCOMPARE(d.height, height);
        QCOMPARE(d.menusVisible, menus);
        QCOMPARE(d.statusBarVisible, statusBar);
        QCOMPARE(d.ledChecked, checked == "led");
        QCOMPARE(d.rateChecked, checked == "rate");
        QCOMPARE(d.snifferChecked, checked == "sniffer");
        QCOMPARE(d.restoreNormalState, restore);
    }

    // A taller status bar adds the mode's factor times the difference to every
    // height that depends on it; the heights built on the top strip alone stay.
    void tallerStatusBar_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("hideMenu");
        QTest::addColumn<double>("factor");
        QTest::newRow("LED_ONLY shown") << "LED_ONLY" << false << 2.4;
        QTest::newRow("LED_ONLY hidden") << "LED_ONLY" << true << 0.0;
        QTest::newRow("SENDREC shown") << "SENDREC" << false << 2.35;
        QTest::newRow("SENDREC hidden") << "SENDREC" << true << 0.0;
        QTest::newRow("FULL shown") << "FULL" << false << 3.2;
        QTest::newRow("FULL hidden") << "FULL" << true << 2.2;
        QTest::newRow("ALL shown") << "ALL" << false << 3.2;
        QTest::newRow("ALL hidden") << "ALL" << true << 3.2;
    }
    void tallerStatusBar() {
        QFETCH(QString, mode);
        QFETCH(bool, hideMenu);
        QFETCH(double, factor);
        const DisplayLayout normal = ComputeDisplay(mode.toStdString(), hideMenu, 255.0);
        for (double taller : {300.0, 345.0, 510.0}) {
            const DisplayLayout big = ComputeDisplay(mode.toStdString(), hideMenu, taller);
            QCOMPARE(big.height - normal.height, factor * (taller - 255.0));
            QCOMPARE(big.width, normal.width);
        }
    }

    // A text that is none of the four modes only shows or hides the menus and
    // the status bar.
    void unknownModes() {
        for (const char* mode : {"full", "All", "LED_ONLY ", " FULL", "", "LEDs", "SENDRECX"}) {
            for (bool hide : {false, true}) {
                const DisplayLayout d = ComputeDisplay(mode, hide, 255.0);
                QVERIFY2(!d.known, mode);
                QCOMPARE(d.menusVisible, !hide);
                QCOMPARE(d.statusBarVisible, !hide);
                QVERIFY(!d.ledChecked && !d.rateChecked && !d.snifferChecked);
                QVERIFY(!d.restoreNormalState);
            }
        }
    }

    void clientSizes_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<int>("frameWidth");
        QTest::addColumn<int>("frameHeight");
        QTest::addColumn<int>("clientWidth");
        QTest::addColumn<int>("clientHeight");
        // Without a window manager the client area is the whole size.
        QTest::newRow("ALL bare") << 6090.0 << 4212.0 << 0 << 0 << 406 << 281;
        QTest::newRow("SENDREC bare") << 6090.0 << 1769.25 << 0 << 0 << 406 << 118;
        QTest::newRow("LED_ONLY bare") << 4425.0 << 1782.0 << 0 << 0 << 295 << 119;
        QTest::newRow("hidden bare") << 4425.0 << 1170.0 << 0 << 0 << 295 << 78;
        // A frame of 2 + 2 pixels and a 23-pixel title bar come off.
        QTest::newRow("ALL framed") << 6090.0 << 4212.0 << 4 << 27 << 402 << 254;
        QTest::newRow("LED_ONLY framed") << 4425.0 << 1170.0 << 4 << 27 << 291 << 51;
        // A frame larger than the size still leaves a window.
        QTest::newRow("huge frame") << 300.0 << 300.0 << 100 << 100 << 1 << 1;
    }
    void clientSizes() {
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(int, frameWidth);
        QFETCH(int, frameHeight);
        QFETCH(int, clientWidth);
        QFETCH(int, clientHeight);
        const auto size = ClientSizeForOuter(width, height, frameWidth, frameHeight);
        QCOMPARE(size.width, clientWidth);
        QCOMPARE(size.height, clientHeight);
    }
};

QTEST_GUILESS_MAIN(TestDisplayMode)
#include "tst_displaymode.moc"
