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

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace loomway;
using namespace loomway::test;

namespace {

const QString kScript = QStringLiteral(LOOMWAY_SOURCE_DIR "/tests/support/private-cups");

QString cupsDir() {
    return QDir(scratchDir()).filePath(QStringLiteral("cups"));
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

int completedJobs() {
    return int(run(QStringLiteral("lpstat"),
                   {QStringLiteral("-W"), QStringLiteral("completed"), QStringLiteral("-o")})
                   .split(u'\n', Qt::SkipEmptyParts)
                   .size());
}

// Waits until the server has finished one more job than before and returns
// its PDF; empty when none came.
QString nextJob(int completedBefore) {
    const QString pdf = cupsDir() + QStringLiteral("/job.pdf");
    for (int i = 0; i < 600; ++i) {
        if (run(QStringLiteral("lpstat"), {QStringLiteral("-o")}).trimmed().isEmpty() &&
            completedJobs() > completedBefore && QFileInfo(pdf).size() > 0) {
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
    const QString info =
        run(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"),
                                        QStringLiteral("-l"), QStringLiteral("99"), pdf});
    const QString bbox =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    QList<bool> pages;
    const QStringList blocks = bbox.split(QStringLiteral("<page "), Qt::SkipEmptyParts).mid(1);
    for (int page = 1; page <= blocks.size(); ++page) {
        const auto rot =
            QRegularExpression(QStringLiteral("Page\\s+%1 rot:\\s+(\\d+)").arg(page)).match(info);
        const QString& block = blocks[page - 1];
        const auto sheet =
            QRegularExpression(QStringLiteral("width=\"([0-9.]+)\" height=\"([0-9.]+)\""))
                .match(block);
        const auto word =
            QRegularExpression(QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
                                              "xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">\\w{4,}<"))
                .match(block);
        if (!rot.hasMatch() || !sheet.hasMatch() || !word.hasMatch()) {
            qWarning("page %d unreadable: %s", page, qPrintable(block));
            return {};
        }
        const bool wideSheet = sheet.captured(1).toDouble() > sheet.captured(2).toDouble();
        const bool turned = rot.captured(1).toInt() % 180 == 90;
        const bool upright = word.captured(4).toDouble() - word.captured(2).toDouble() >
                             word.captured(3).toDouble() - word.captured(1).toDouble();
        pages << ((wideSheet != turned) != upright);
    }
    return pages;
}

QStringList leftoverDocuments() {
    return QDir(QDir::tempPath()).entryList({QStringLiteral("loomway-print-*")}, QDir::Files);
}

} // namespace

class TestPrintSubmission : public QObject {
    Q_OBJECT
private slots:
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

    void refusedJobIsAFailedJob() {
        QCOMPARE(QProcess::execute(QStringLiteral("cupsreject"), {QStringLiteral("FilePDF")}), 0);
        Rig rig;
        const int before = completedJobs();
        QVERIFY(rig.engine.Redirect("<LMW_P>Hello<SRESP></LMW_P>"));
        QCOMPARE(rig.handheld.written,
                 std::string("<LMW_RSP>STA=ERROR(483)~PRINT_HW=0,0~FONT_HW=0,0~"
                             "LEN=12~NAME=NOT_DEFINED</LMW_RSP>"));
        QVERIFY(!rig.surface.LastRefusal().empty());
        QVERIFY(leftoverDocuments().isEmpty());
        QCOMPARE(QProcess::execute(QStringLiteral("cupsaccept"), {QStringLiteral("FilePDF")}), 0);
        // The queue takes jobs again; the refused one never came.
        QVERIFY(rig.engine.Redirect("<LMW_P>Accepted again<SRESP></LMW_P>"));
        QVERIFY(rig.handheld.written.find("STA=DEFINED") != std::string::npos);
        const QString pdf = nextJob(before);
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(completedJobs(), before + 1);
        const QString text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("Accepted again")) &&
                     !text.contains(QStringLiteral("Hello")),
                 qPrintable(text));
    }

    // A job that fails before its end reaches the printer with none of its pages.
    void abandonedJobSubmitsNothing() {
        Rig rig;
        const int before = completedJobs();
        rig.surface.SetOrientation(PrinterSurface::kPortrait);
        rig.surface.PrintLine("Partial page");
        QCOMPARE(leftoverDocuments().size(), qsizetype(1)); // drawn so far
        rig.surface.AbortDoc();
        QVERIFY(leftoverDocuments().isEmpty());
        QVERIFY(rig.engine.Redirect("<LMW_P>Whole job</LMW_P>"));
        const QString pdf = nextJob(before);
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(completedJobs(), before + 1);
        const QString text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("Whole job")) &&
                     !text.contains(QStringLiteral("Partial")),
                 qPrintable(text));
    }

private:
    struct Rig {
        FakeSerialPort handheld;
        RecordingTrafficView view;
        Traffic traffic{view};
        RecordingLampPanel lamps;
        QtPrinterSurface surface;
        PrintEngine engine{surface, handheld, traffic, lamps};
        Rig() { handheld.forceOpen(true); }
    };
};

int main(int argc, char** argv) {
    if (qEnvironmentVariable("LOOMWAY_TEST_TMP").isEmpty()) {
        std::fprintf(stderr, "tst_printsubmission: run through tests/support/test-env\n");
        return 1;
    }
    // The documents being drawn go to this test's own folder.
    qputenv("TMPDIR", scratchDir().toLocal8Bit());
    const std::string dir = cupsDir().toStdString();
    FILE* out =
        popen(("exec '" + kScript.toStdString() + "' start '" + dir + "' 2>&1").c_str(), "r");
    std::string output;
    char line[1024];
    while (out != nullptr && std::fgets(line, sizeof line, out)) {
        output += line;
    }
    if (out == nullptr || pclose(out) != 0) {
        std::fprintf(stderr, "tst_printsubmission: private CUPS did not start:\n%s\n",
                     output.c_str());
        return 1;
    }
    qputenv("CUPS_SERVER", QByteArray::fromStdString(dir + "/cups.sock"));
    int result = 1;
    {
        QApplication app(argc, argv);
        TestPrintSubmission test;
        result = QTest::qExec(&test, argc, argv);
    }
    const std::string stop = "'" + kScript.toStdString() + "' stop '" + dir + "'";
    if (std::system(stop.c_str()) != 0) {
        std::fprintf(stderr, "private-cups stop failed\n");
    }
    return result;
}

#include "tst_printsubmission.moc"
