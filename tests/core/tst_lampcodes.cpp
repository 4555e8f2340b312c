#include "core/lamps.h"

#include <QTest>

using loomway::LampPicture;
using loomway::PictureForCode;

class TestLampCodes : public QObject {
    Q_OBJECT
private slots:
    // Each lamp code names one picture; the comparison is exact.
    void codes() {
        const std::pair<const char*, LampPicture> known[] = {
            {"PON", LampPicture::IMG_ON},     {"POFF", LampPicture::IMG_OFF},
            {"PDON", LampPicture::IMG_PON},   {"PDOFF", LampPicture::IMG_POFF},
            {"MON", LampPicture::IMG_MON},    {"MOFF", LampPicture::IMG_MOFF},
            {"PRTON", LampPicture::IMG_PRON}, {"PRTOFF", LampPicture::IMG_PROF},
            {"CLPON", LampPicture::img_con},  {"CLPOFF", LampPicture::img_coff},
            {"CLPFLY", LampPicture::imgClpf}, {"ON", LampPicture::imgON},
            {"OFF", LampPicture::imgOFF},     {"DG", LampPicture::imgDG},
            {"LG", LampPicture::imgLG},       {"DR", LampPicture::imgDR},
            {"LR", LampPicture::imgLR}};
        for (const auto& [code, picture] : known) {
            QVERIFY2(PictureForCode(code) == picture, code);
        }
        for (const char* code : {"pon", "PON ", " PON", "PO", "PONN", "", "on", "CLP"}) {
            QVERIFY2(!PictureForCode(code).has_value(), code);
        }
    }
};

QTEST_GUILESS_MAIN(TestLampCodes)
#include "tst_lampcodes.moc"
