#include "core/lamps.h"

#include <QTest>

using loomway::LampPicture;
using loomway::PictureForCode;

class TestLampCodes : public QObject {
    Q_OBJECT
private slots:
    void everyCodeNamesItsStore_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("picture");
        QTest::newRow("PON") << "PON" << int(LampPicture::IMG_ON);
        QTest::newRow("POFF") << "POFF" << int(LampPicture::IMG_OFF);
        QTest::newRow("PDON") << "PDON" << int(LampPicture::IMG_PON);
        QTest::newRow("PDOFF") << "PDOFF" << int(LampPicture::IMG_POFF);
        QTest::newRow("MON") << "MON" << int(LampPicture::IMG_MON);
        QTest::newRow("MOFF") << "MOFF" << int(LampPicture::IMG_MOFF);
        QTest::newRow("PRTON") << "PRTON" << int(LampPicture::IMG_PRON);
        QTest::newRow("PRTOFF") << "PRTOFF" << int(LampPicture::IMG_PROF);
        QTest::newRow("CLPON") << "CLPON" << int(LampPicture::img_con);
        QTest::newRow("CLPOFF") << "CLPOFF" << int(LampPicture::img_coff);
        QTest::newRow("CLPFLY") << "CLPFLY" << int(LampPicture::imgClpf);
        QTest::newRow("ON") << "ON" << int(LampPicture::imgON);
        QTest::newRow("OFF") << "OFF" << int(LampPicture::imgOFF);
        QTest::newRow("DG") << "DG" << int(LampPicture::imgDG);
        QTest::newRow("LG") << "LG" << int(LampPicture::imgLG);
        QTest::newRow("DR") << "DR" << int(LampPicture::imgDR);
        QTest::newRow("LR") << "LR" << int(LampPicture::imgLR);
    }
    void everyCodeNamesItsStore() {
        QFETCH(QString, code);
        QFETCH(int, picture);
        auto got = PictureForCode(code.toStdString());
        QVERIFY(got.has_value());
        QCOMPARE(int(*got), picture);
    }

    // The comparison is exact: letter case, blanks and length all matter.
    void nearMissesNameNothing() {
        for (const char* code :
             {"pon", "PON ", " PON", "Pon", "PO", "PONN", "", "on", "CLP", "P0N"}) {
            QVERIFY2(!PictureForCode(code).has_value(), code);
        }
    }
};

QTEST_GUILESS_MAIN(TestLampCodes)
#include "tst_lampcodes.moc"
