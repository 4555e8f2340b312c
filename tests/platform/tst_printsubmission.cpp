// Print jobs as the print server sees them: the finished document is
// submitted by the program, so a queue that refuses it fails the job; a job
// that fails before its end submits nothing; every page keeps the orientation
// it was drawn in. Runs against a CUPS server of its own
// (tests/support/private-cups) whose default queue writes PDF files.

#include "core/traffic.h"
#include "platform/qtprintersurface.h"
#include "services/printengine.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <cstdlib>
#include <string>

#include <unistd.h>

using namespace loomway;
using namespace loomway::test;

namespace {

QString cupsDir() {
    return scratchDir() + "/cups";
}

int cups(const char* verb) {
    return std::system(("exec '" LOOMWAY_SOURCE_DIR "/tests/support/private-cups' " +
                        std::string(verb) + " '" + cupsDir().toStdString() + "'")
                           .c_str());
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

int completedJobs() {
    return int(run("lpstat", {"-W", "completed", "-o"}).split('\n', Qt::SkipEmptyParts).size());
}

// Waits until the server has finished one more job than before and returns
// its PDF; empty when none came.
QString nextJob(int completedBefore) {
    const QString pdf = cupsDir() + "/job.pdf";
    for (int i = 0; i < 600; ++i) {
        if (run("lpstat", {"-o"}).trimmed().isEmpty() && completedJobs() > completedBefore &&
            QFileInfo(pdf).size() > 0) {
            return pdf;
        }
        QThread::msleep(100);
    }
    return {};
}

// For each page of a PDF, whether it reads as landscape: the printer may put
// a landscape page on a portrait sheet turned by 90 degrees (its text then
// runs up the sheet) or mark the page as rotated.
QList<bool> landscapePages(const QString& pdf) {
    const QString info = run("pdfinfo", {"-f", "1", "-l", "99", pdf});
    const QStringList pages = run("pdftotext", {"-bbox", pdf, "-"}).split("<page ").mid(1);
    QList<bool> landscape;
    for (int page = 1; page <= pages.size(); ++page) {
        const auto rot =
            QRegularExpression(QString("Page\\s+%1 rot:\\s+(\\d+)").arg(page)).match(info);
        const auto sheet =
            QRegularExpression("width=\"([0-9.]+)\" height=\"([0-9.]+)\"").match(pages[page - 1]);
        const auto word = QRegularExpression("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
                                             "xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">\\w{4,}<")
                              .match(pages[page - 1]);
        if (!rot.hasMatch() || !sheet.hasMatch() || !word.hasMatch()) {
            qWarning("page %d unreadable: %s", page, qPrintable(pages[page - 1]));
            return {};
        }
        const auto at = [](const QRegularExpressionMatch& m, int i) {
            return m.captured(i).toDouble();
        };
        const bool wideSheet = at(sheet, 1) > at(sheet, 2);
        const bool turned = rot.captured(1).toInt() % 180 == 90;
        const bool upright = at(word, 4) - at(word, 2) > at(word, 3) - at(word, 1);
        landscape << ((wideSheet != turned) != upright);
    }
    return landscape;
}

QStringList leftoverDocuments() {
    return QDir(QDir::tempPath()).entryList({"loomway-print-*"}, QDir::Files);
}

struct Rig {
    FakeSerialPort handheld;
    RecordingTrafficView view;
    Traffic traffic{view};
    RecordingLampPanel lamps;
    QtPrinterSurface surface;
    PrintEngine engine{surface, handheld, traffic, lamps};
    Rig() { handheld.forceOpen(true); }
};

} // namespace

class TestPrintSubmission : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("TMPDIR", scratchDir().toLocal8Bit()); // the documents being drawn go here
        qputenv("PRIVATE_CUPS_OWNER", QByteArray::number(::getpid()));
        QCOMPARE(cups("start"), 0);
        qputenv("CUPS_SERVER", (cupsDir() + "/cups.sock").toLocal8Bit());
    }
    void cleanupTestCase() { QCOMPARE(cups("stop"), 0); }

    void eachPageKeepsItsOrientation() {
        Rig rig;
        const int before = completedJobs();
        QVERIFY(
            rig.engine.Redirect("<LMW_P>Portrait first<FFEED><PORIENT_L>Landscape second<FFEED>"
                                "<PORIENT_P>Portrait third<NL><PORIENT_L>still portrait</LMW_P>"));
        const QString pdf = nextJob(before);
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(landscapePages(pdf), (QList<bool>{false, true, false}));
        QVERIFY(leftoverDocuments().isEmpty());
    }

    // A job the queue refuses fails (with the status the handheld asked
    // for) and a job that fails before its end reaches the printer with none
    // of its pages; neither leaves a document behind.
    void failedJobsSubmitNothing() {
        QCOMPARE(QProcess::execute("cupsreject", {"FilePDF"}), 0);
        Rig rig;
        const int before = completedJobs();
        QVERIFY(rig.engine.Redirect("<LMW_P>Hello<SRESP></LMW_P>"));
        QCOMPARE(rig.handheld.written,
                 std::string("<LMW_RSP>STA=ERROR(483)~PRINT_HW=0,0~FONT_HW=0,0~"
                             "LEN=12~NAME=NOT_DEFINED</LMW_RSP>"));
        QVERIFY(!rig.surface.LastRefusal().empty());
        QVERIFY(leftoverDocuments().isEmpty());
        QCOMPARE(QProcess::execute("cupsaccept", {"FilePDF"}), 0);

        rig.surface.SetOrientation(PrinterSurface::kPortrait);
        rig.surface.PrintLine("Partial page");
        QCOMPARE(leftoverDocuments().size(), qsizetype(1)); // drawn so far
        rig.surface.AbortDoc();
        QVERIFY(leftoverDocuments().isEmpty());

        QVERIFY(rig.engine.Redirect("<LMW_P>Accepted again<SRESP></LMW_P>"));
        QVERIFY(rig.handheld.written.find("STA=DEFINED") != std::string::npos);
        const QString pdf = nextJob(before);
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(completedJobs(), before + 1);
        const QString text = run("pdftotext", {pdf, "-"});
        QVERIFY2(text.contains("Accepted again") && !text.contains("Hello") &&
                     !text.contains("Partial"),
                 qPrintable(text));
    }
};

QTEST_MAIN(TestPrintSubmission)
#include "tst_printsubmission.moc"
