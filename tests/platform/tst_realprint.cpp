// The print engine on the real printer surface against a CUPS server of this
// test's own (tests/support/private-cups) whose default printer writes PDF
// files. The status reply travels over a real pseudo-terminal.
// Leaves <build>/tests/realprint/document.pdf and document-1.png behind for a
// person to look at.

#include "core/traffic.h"
#include "platform/qtprintersurface.h"
#include "platform/qtserialport.h"
#include "services/printengine.h"
#include "tests/support/fakes.h"
#include "tests/support/ptypair.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace loomway;
using namespace loomway::test;

namespace {

const QString kScript = QStringLiteral(LOOMWAY_SOURCE_DIR "/tests/support/private-cups");
const QString kOutputDir = QStringLiteral(LOOMWAY_BINARY_DIR "/tests/realprint");

// A private CUPS server for the whole run, started before the application
// exists (the CUPS client library reads CUPS_SERVER once).
class PrivateCups {
public:
    bool start() {
        m_dir = QDir(scratchDir()).filePath(QStringLiteral("cups")).toStdString();
        const std::string command =
            "exec '" + kScript.toStdString() + "' start '" + m_dir + "' 2>&1";
        FILE* out = popen(command.c_str(), "r");
        if (!out) {
            return false;
        }
        char line[1024];
        while (std::fgets(line, sizeof line, out)) {
            m_output += line;
        }
        const bool ok = pclose(out) == 0;
        const auto at = m_output.find("CUPS_SERVER=");
        if (!ok || at == std::string::npos) {
            return false;
        }
        m_server = m_output.substr(at + 12, m_output.find('\n', at) - at - 12);
        m_started = true;
        return true;
    }
    ~PrivateCups() {
        if (m_started) {
            const std::string command = "'" + kScript.toStdString() + "' stop '" + m_dir + "'";
            if (std::system(command.c_str()) != 0) {
                std::fprintf(stderr, "private-cups stop failed\n");
            }
        }
    }
    const std::string& server() const { return m_server; }
    const std::string& output() const { return m_output; }
    QString dir() const { return QString::fromStdString(m_dir); }
    QString jobFile() const { return dir() + QStringLiteral("/job.pdf"); }

private:
    std::string m_dir;
    std::string m_server;
    std::string m_output;
    bool m_started = false;
};

QString run(const QString& program, const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    if (exitCode) {
        *exitCode = p.exitCode();
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

int completedJobs() {
    return run(QStringLiteral("lpstat"),
               {QStringLiteral("-W"), QStringLiteral("completed"), QStringLiteral("-o")})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
        .size();
}

bool jobsPending() {
    return !run(QStringLiteral("lpstat"), {QStringLiteral("-o")}).trimmed().isEmpty();
}

// The whole part of a measure, as the reply writes it.
QString whole(double value) {
    return QString::number(static_cast<long>(std::floor(value)));
}

} // namespace

class TestRealPrint : public QObject {
    Q_OBJECT
public:
    explicit TestRealPrint(PrivateCups& cups) : m_cups(cups) {}

private slots:
    void initTestCase();
    void printsAMarkupDocument();
    void linesPastTheBottomGoToTheNextPage();
    void statusQueryMeasuresTheRealPrinterAndPrintsNoPage();
    void withoutPrinterTheReplyIsTheErrorVariant();

private:
    struct Rig {
        PtyPair pair;
        std::unique_ptr<FarEnd> far;
        std::unique_ptr<QtSerialPort> port;
        RecordingTrafficView view;
        Traffic traffic{view};
        RecordingLampPanel lamps;
        QtPrinterSurface surface;
        std::unique_ptr<PrintEngine> engine;
        bool open() {
            if (!pair.ok()) {
                return false;
            }
            const std::string path = pair.programEnd().toStdString();
            port = std::make_unique<QtSerialPort>([path](int) { return path; });
            port->SetPortNumber(1);
            port->SetSettings("115200,N,8,1");
            port->Open();
            far = std::make_unique<FarEnd>(pair.farEnd());
            engine = std::make_unique<PrintEngine>(surface, *port, traffic, lamps);
            return far->ok();
        }
    };
    // Waits until CUPS has no job left and the printer's file is complete.
    bool waitForJob(int completedBefore);

    PrivateCups& m_cups;
};

void TestRealPrint::initTestCase() {
    QVERIFY2(QDir().mkpath(kOutputDir), qPrintable(kOutputDir));
    QCOMPARE(qEnvironmentVariable("CUPS_SERVER"), QString::fromStdString(m_cups.server()));
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    QVERIFY2(!printer.isNull(), m_cups.output().c_str());
    QCOMPARE(printer.printerName(), QStringLiteral("FilePDF"));
}

bool TestRealPrint::waitForJob(int completedBefore) {
    for (int i = 0; i < 600; ++i) {
        if (!jobsPending() && completedJobs() > completedBefore &&
            QFileInfo(m_cups.jobFile()).size() > 0) {
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

void TestRealPrint::printsAMarkupDocument() {
    Rig rig;
    QVERIFY(rig.open());
    const int before = completedJobs();
    const std::string document = "<FONT=COURNEW>Courier line<NL>"
                                 "<FONT=ARIAL><FBOLD>Arial bold line<NL>"
                                 "<FNORMAL><FONT=TNR><FITALIC>Times italic line<NL>"
                                 "<FDEFAULT><ALIGN=CENTER>Centered<NL>"
                                 "Tab\there<NL>"
                                 "Page Number <PAGEN><NL>"
                                 "<PORIENT_L>Still portrait<FFEED>"
                                 "Landscape page<NL>Page Number <PAGEN>";
    QVERIFY(rig.engine->Redirect("<LMW_P>" + document + "</LMW_P>"));
    QVERIFY(rig.far->readFor(300).empty()); // no reply was asked for
    QVERIFY2(waitForJob(before), "the job did not come out of CUPS");

    const QString pdf = kOutputDir + QStringLiteral("/document.pdf");
    QFile::remove(pdf);
    QVERIFY(QFile::copy(m_cups.jobFile(), pdf));
    QFile::remove(kOutputDir + QStringLiteral("/document-1.png"));
    int code = 0;
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
         QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
         QStringLiteral("-singlefile"), pdf, kOutputDir + QStringLiteral("/document-1")},
        &code);
    QCOMPARE(code, 0);
    QVERIFY(QFileInfo::exists(kOutputDir + QStringLiteral("/document-1.png")));

    // Text, page by page.
    const QString text =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    const QStringList pages = text.split(QLatin1Char('\f'));
    QVERIFY2(pages.size() >= 2, qPrintable(text));
    const QString page1 = pages[0];
    const QString page2 = pages[1];
    for (const char* line :
         {"Courier line", "Arial bold line", "Times italic line", "Centered", "Still portrait"}) {
        QVERIFY2(page1.contains(QLatin1String(line)), qPrintable(line + (": " + page1)));
    }
    QVERIFY2(page1.contains(QRegularExpression(QStringLiteral("Tab\\s+here"))), qPrintable(page1));
    QVERIFY2(page1.contains(QRegularExpression(QStringLiteral("Page Number\\s+1\\b"))),
             qPrintable(page1));
    QVERIFY2(page2.contains(QStringLiteral("Landscape page")), qPrintable(page2));
    QVERIFY2(page2.contains(QRegularExpression(QStringLiteral("Page Number\\s+2\\b"))),
             qPrintable(page2));
    // Centered sits well right of the lines at the left margin.
    const QStringList lines = page1.split(QLatin1Char('\n'));
    int courierColumn = -1;
    int centeredColumn = -1;
    for (const QString& line : lines) {
        if (line.contains(QStringLiteral("Courier line"))) {
            courierColumn = static_cast<int>(line.indexOf(QStringLiteral("Courier line")));
        }
        if (line.contains(QStringLiteral("Centered"))) {
            centeredColumn = static_cast<int>(line.indexOf(QStringLiteral("Centered")));
        }
    }
    QVERIFY2(centeredColumn > courierColumn + 10, qPrintable(page1));

    // Where "Centered" landed: (W - w) / 2 from the left edge of the printable area.
    const QString bbox =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\"[^>]*>Centered</word>"));
    const QRegularExpressionMatch m = word.match(bbox);
    QVERIFY2(m.hasMatch(), qPrintable(bbox.left(2000)));
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    const double left = printer.pageLayout().paintRect(QPageLayout::Point).left();
    rig.surface.SetOrientation(PrinterSurface::kPortrait); // the job left it landscape
    rig.surface.SetFontName("Courier New");
    rig.surface.SetFontSize(10);
    const double expectedX =
        left + (rig.surface.PrintableWidth() - rig.surface.TextWidth("Centered")) / 2 / 20;
    QVERIFY2(std::abs(m.captured(1).toDouble() - expectedX) < 1.5,
             qPrintable(QStringLiteral("%1 vs %2").arg(m.captured(1)).arg(expectedX)));

    // Fonts: the three faces through fontconfig, with bold and italic.
    const QString fonts = run(QStringLiteral("pdffonts"), {pdf});
    QVERIFY2(fonts.contains(QStringLiteral("LiberationMono")), qPrintable(fonts));
    QVERIFY2(fonts.contains(QStringLiteral("LiberationSans-Bold")), qPrintable(fonts));
    QVERIFY2(fonts.contains(QStringLiteral("LiberationSerif-Italic")), qPrintable(fonts));

    // Two pages, the first portrait, the second landscape. CUPS may put a
    // landscape page on a portrait sheet turned by 90 degrees (its text then
    // runs up the sheet), or mark the page as rotated.
    const QString info =
        run(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"),
                                        QStringLiteral("-l"), QStringLiteral("2"), pdf});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))), qPrintable(info));
    const QStringList bboxPages = bbox.split(QStringLiteral("<page "), Qt::SkipEmptyParts).mid(1);
    QCOMPARE(bboxPages.size(), 2);
    for (int page = 1; page <= 2; ++page) {
        const QRegularExpression rotLine(QStringLiteral("Page\\s+%1 rot:\\s+(\\d+)").arg(page));
        const auto rot = rotLine.match(info);
        QVERIFY2(rot.hasMatch(), qPrintable(info));
        const QString& block = bboxPages[page - 1];
        const auto sheet =
            QRegularExpression(QStringLiteral("width=\"([0-9.]+)\" height=\"([0-9.]+)\""))
                .match(block);
        const auto firstWord =
            QRegularExpression(QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
                                              "xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">\\w{4,}<"))
                .match(block);
        QVERIFY2(sheet.hasMatch() && firstWord.hasMatch(), qPrintable(block));
        const bool wideSheet = sheet.captured(1).toDouble() > sheet.captured(2).toDouble();
        const bool turned = rot.captured(1).toInt() % 180 == 90;
        const bool upright = firstWord.captured(4).toDouble() - firstWord.captured(2).toDouble() >
                             firstWord.captured(3).toDouble() - firstWord.captured(1).toDouble();
        const bool landscape = (wideSheet != turned) != upright;
        QVERIFY2(landscape == (page == 2),
                 qPrintable(QStringLiteral("page %1: %2").arg(page).arg(block)));
    }
    QCOMPARE(rig.lamps.calls.size(), std::size_t(1));
}

void TestRealPrint::linesPastTheBottomGoToTheNextPage() {
    Rig rig;
    QVERIFY(rig.open());
    while (jobsPending()) {
        QThread::msleep(100);
    }
    const int before = completedJobs();
    std::string document;
    const int lines = 150;
    for (int i = 1; i <= lines; ++i) {
        document += "Line " + std::to_string(i) + "<NL>";
    }
    QVERIFY(rig.engine->Redirect("<LMW_P>" + document + "</LMW_P>"));
    QVERIFY2(waitForJob(before), "the job did not come out of CUPS");

    // Lines per page from the printable height and the line height of Courier New 10.
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    const double height = printer.pageLayout().paintRect(QPageLayout::Point).height() * 20;
    const double line = rig.surface.TextHeight("O");
    const int perPage = static_cast<int>(std::floor(height / line));
    QVERIFY(perPage > 20 && perPage < lines);
    const int pages = (lines + perPage - 1) / perPage;

    const QString info = run(QStringLiteral("pdfinfo"), {m_cups.jobFile()});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages))),
             qPrintable(info));
    const QStringList text = run(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-layout"), m_cups.jobFile(), QStringLiteral("-")})
                                 .split(QLatin1Char('\f'));
    QVERIFY(text.size() >= pages);
    const QString firstOfPage2 = QStringLiteral("Line %1").arg(perPage + 1);
    QVERIFY2(text[1].trimmed().startsWith(firstOfPage2), qPrintable(text[1].left(200)));
    QVERIFY2(text[0].contains(QStringLiteral("Line %1\n").arg(perPage)), qPrintable(text[0]));
    QVERIFY(text[pages - 1].contains(QStringLiteral("Line %1").arg(lines)));
}

void TestRealPrint::statusQueryMeasuresTheRealPrinterAndPrintsNoPage() {
    Rig rig;
    QVERIFY(rig.open());
    while (jobsPending()) {
        QThread::msleep(100);
    }
    const int before = completedJobs();
    const QDateTime stamp = QFileInfo(m_cups.jobFile()).lastModified();

    QVERIFY(rig.engine->Redirect("<LMW_P><FONT=ARIAL><FSIZE=12><SRESP></LMW_P>"));
    const std::string reply = rig.far->read(200, 3000);

    // The expected fields, measured here on the printer itself: the paper's
    // full size and "O" in the font the document left, Arial 12 points.
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    const QRectF paper = printer.pageLayout().fullRect(QPageLayout::Point);
    const double pageHeight = std::lround(paper.height() * 20);
    const double pageWidth = std::lround(paper.width() * 20);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(12);
    font.setKerning(false);
    const QFontMetricsF metrics(font, &printer);
    const double perPixel = 1440.0 / printer.resolution();
    const float fh = static_cast<float>(metrics.lineSpacing() * perPixel);
    const float fw = static_cast<float>(metrics.horizontalAdvance(QLatin1Char('O')) * perPixel);
    // Liberation Sans has Arial's metrics: "O" is 0.778 em wide, 9.3 points at 12 points.
    QVERIFY2(std::abs(fw - 186.7f) < 1.5f, qPrintable(QString::number(fw)));
    const QString expected =
        QStringLiteral(
            "<LMW_RSP>STA=DEFINED~PRINT_HW=%1,%2~FONT_HW=%3,%4~LEN=29~NAME=FilePDF</LMW_RSP>")
            .arg(whole(pageHeight / fh), whole(pageWidth / fw), whole(fh), whole(fw));
    QCOMPARE(QString::fromLatin1(reply.data(), static_cast<qsizetype>(reply.size())), expected);
    QCOMPARE(rig.traffic.PaneText(Pane::txtReceive), reply);
    QCOMPARE(rig.traffic.Count(Counter::BytesReceived), std::uint64_t(0));

    // No sheet: CUPS got no job at all.
    QThread::msleep(1500);
    QCOMPARE(completedJobs(), before);
    QVERIFY(!jobsPending());
    QCOMPARE(QFileInfo(m_cups.jobFile()).lastModified(), stamp);
}

void TestRealPrint::withoutPrinterTheReplyIsTheErrorVariant() {
    // The server loses its only printer; the surface looks the default
    // printer up afresh at the job start and finds none.
    int code = 0;
    run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), QStringLiteral("FilePDF")}, &code);
    QCOMPARE(code, 0);
    QVERIFY(QPrinterInfo::availablePrinterNames().isEmpty());
    Rig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.engine->Redirect("<LMW_P><SRESP></LMW_P>"));
    const std::string reply = rig.far->read(200, 3000);
    QCOMPARE(reply, std::string("<LMW_RSP>STA=ERROR(482)~PRINT_HW=0,0~FONT_HW=0,0~LEN=7~"
                                "NAME=NOT_DEFINED</LMW_RSP>"));
    QCOMPARE(rig.traffic.PaneText(Pane::txtReceive), reply);
    QCOMPARE(rig.lamps.calls.size(), std::size_t(1));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariable("LOOMWAY_TEST_TMP").isEmpty()) {
        std::fprintf(stderr, "tst_realprint: run through tests/support/test-env\n");
        return 1;
    }
    PrivateCups cups;
    if (!cups.start()) {
        std::fprintf(stderr, "tst_realprint: private CUPS did not start:\n%s\n",
                     cups.output().c_str());
        return 1;
    }
    qputenv("CUPS_SERVER", QByteArray::fromStdString(cups.server()));
    QApplication app(argc, argv);
    TestRealPrint test(cups);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_realprint.moc"
