// A job that fails before its end drops what it drew: the engine tells the
// surface to abandon the document, whether the surface or the engine's own
// arithmetic failed; a job that went through abandons nothing.

#include "core/traffic.h"
#include "services/printengine.h"
#include "tests/support/fakes.h"
#include "tests/support/fixedmetricssurface.h"

#include <QTest>

#include <limits>

using namespace loomway;
using namespace loomway::test;

namespace {

class AbortCountingSurface : public FixedMetricsSurface {
public:
    void AbortDoc() override { ++aborted; }
    int aborted = 0;
};

} // namespace

class TestPrintAbort : public QObject {
    Q_OBJECT
private slots:
    void failedJobAbandonsItsDocument_data() {
        QTest::addColumn<QString>("failOn");
        QTest::addColumn<bool>("endlessWidth"); // the engine's arithmetic overflows
        QTest::addColumn<int>("aborted");
        QTest::addColumn<int>("ended");
        QTest::newRow("surface fails mid-document") << "NewPage" << false << 1 << 0;
        QTest::newRow("engine arithmetic fails") << "" << true << 1 << 0;
        QTest::newRow("end of document fails") << "EndDoc" << false << 1 << 0;
        QTest::newRow("job goes through") << "" << false << 0 << 1;
    }
    void failedJobAbandonsItsDocument() {
        QFETCH(QString, failOn);
        QFETCH(bool, endlessWidth);
        QFETCH(int, aborted);
        QFETCH(int, ended);
        AbortCountingSurface surface;
        surface.failOn = failOn.toStdString();
        if (endlessWidth) {
            surface.printableWidth = std::numeric_limits<float>::infinity();
        }
        FakeSerialPort handheld;
        handheld.forceOpen(true);
        RecordingTrafficView view;
        Traffic traffic(view);
        RecordingLampPanel lamps;
        PrintEngine engine(surface, handheld, traffic, lamps);
        QVERIFY(engine.Redirect("<LMW_P>one<FFEED><ALIGN=CENTER>two<FBOLD>three</LMW_P>"));
        QCOMPARE(surface.aborted, aborted);
        QCOMPARE(surface.documentsEnded, ended);
    }
};

QTEST_APPLESS_MAIN(TestPrintAbort)
#include "tst_printabort.moc"
