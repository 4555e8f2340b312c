#include "platform/qtprintersurface.h"

#include "config/handheldcharset.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QString>
#include <QTemporaryFile>

#include <cups/cups.h>

#include <cmath>

namespace loomway {

namespace {

constexpr double kTwipsPerPoint = 20;
constexpr double kTwipsPerInch = 1440;

QChar DisplayChar(unsigned char c) {
    if (c < 0x20 || c == 0x7F) {
        return QChar(u' '); // carriage return, line feed, tab and the other controls
    }
    if (c == 0xAD) {
        return QChar(u'-'); // a soft hyphen would vanish
    }
    // Every character of the handheld's set lies in the BMP.
    return QChar(static_cast<char16_t>(HandheldCharToUnicode(c)));
}

} // namespace

QtPrinterSurface::QtPrinterSurface() {
    m_font.setKerning(false);
    m_font.setStyleStrategy(QFont::PreferNoShaping);
    m_font.setFamily(QStringLiteral("Courier New"));
    m_font.setPointSizeF(10);
}

QtPrinterSurface::~QtPrinterSurface() {
    DropDocument();
}

QString QtPrinterSurface::ToDisplayText(const std::string& text) {
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (char c : text) {
        out.append(DisplayChar(static_cast<unsigned char>(c)));
    }
    return out;
}

void QtPrinterSurface::LookUpPrinter() {
    DropDocument();
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull() || info.printerName().isEmpty()) {
        m_printer.reset();
        throw PrinterError{PrinterError::kNoPrinter};
    }
    m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    m_queue = info.printerName().toStdString();
    // The document is drawn into a PDF file of our own and submitted by us, so
    // that a refusal is seen and an abandoned document never reaches the
    // printer. The queue's paper and margins stay.
    const QPageLayout layout = m_printer->pageLayout();
    m_printer->setOutputFormat(QPrinter::PdfFormat);
    m_printer->setPageLayout(layout);
    m_printer->setDocName(QStringLiteral("Palm Loomway"));
    ApplyOrientation();
    FontChanged();
}

void QtPrinterSurface::ApplyOrientation() {
    m_printer->setPageOrientation(m_orientation == kLandscape ? QPageLayout::Landscape
                                                              : QPageLayout::Portrait);
}

bool QtPrinterSurface::PageSettled() const {
    return m_painter && m_drawnPage == m_page;
}

void QtPrinterSurface::DropDocument() {
    if (m_painter) {
        if (m_painter->isActive()) {
            m_painter->end();
        }
        m_painter.reset();
    }
    m_document.reset(); // removes the file
    m_drawnPage = 0;
}

void QtPrinterSurface::StartJob() {
    LookUpPrinter();
    m_inJob = true;
    m_page = 1;
    m_x = m_y = 0;
    FontChanged();
}

QPrinter& QtPrinterSurface::Printer() {
    if (!m_printer) {
        LookUpPrinter();
    }
    return *m_printer;
}

void QtPrinterSurface::Fail(int code) {
    DropDocument();
    m_inJob = false;
    throw PrinterError{code};
}

void QtPrinterSurface::SetOrientation(int orientation) {
    if (!m_inJob) {
        StartJob();
    }
    m_orientation = orientation == kLandscape ? kLandscape : kPortrait;
    // A page takes its orientation at its first ink: a page with ink keeps
    // its own, and the setting applies from the next page.
    if (!PageSettled()) {
        Printer();
        ApplyOrientation();
    }
}

void QtPrinterSurface::SetFontName(const std::string& face) {
    m_font.setFamily(QString::fromStdU32String(HandheldToUnicode(face)));
    FontChanged();
}

void QtPrinterSurface::SetFontSize(float points) {
    if (!(points > 0) || !std::isfinite(points)) {
        throw PrinterError{PrinterError::kOverflow};
    }
    m_font.setPointSizeF(points);
    FontChanged();
}

void QtPrinterSurface::SetFontBold(bool on) {
    m_font.setBold(on);
    FontChanged();
}

void QtPrinterSurface::SetFontItalic(bool on) {
    m_font.setItalic(on);
    FontChanged();
}

void QtPrinterSurface::SetFontUnderline(bool on) {
    m_font.setUnderline(on);
    m_underline = on;
    FontChanged();
}

void QtPrinterSurface::FontChanged() {
    m_widthKnown.fill(false);
    m_lineHeight = -1;
    if (m_painter) {
        m_painter->setFont(m_font);
    }
}

float QtPrinterSurface::ToTwips(double devicePixels) {
    return static_cast<float>(devicePixels * kTwipsPerInch / Printer().resolution());
}

double QtPrinterSurface::ToPixels(float twips) {
    return static_cast<double>(twips) * Printer().resolution() / kTwipsPerInch;
}

float QtPrinterSurface::CharWidth(unsigned char c) {
    if (!m_widthKnown[c]) {
        // Measured on the printer itself, whether or not a document is begun.
        const QFontMetricsF metrics(m_font, &Printer());
        m_widths[c] = ToTwips(metrics.horizontalAdvance(DisplayChar(c)));
        m_widthKnown[c] = true;
    }
    return m_widths[c];
}

float QtPrinterSurface::LineHeight() {
    if (m_lineHeight < 0) {
        const QFontMetricsF metrics(m_font, &Printer());
        m_lineHeight = ToTwips(metrics.lineSpacing());
    }
    return m_lineHeight;
}

float QtPrinterSurface::PrintableWidth() {
    return static_cast<float>(Printer().pageLayout().paintRect(QPageLayout::Point).width() *
                              kTwipsPerPoint);
}

float QtPrinterSurface::PrintableHeight() {
    return static_cast<float>(Printer().pageLayout().paintRect(QPageLayout::Point).height() *
                              kTwipsPerPoint);
}

int QtPrinterSurface::PageWidth() {
    return static_cast<int>(
        std::lround(Printer().pageLayout().fullRect(QPageLayout::Point).width() * kTwipsPerPoint));
}

int QtPrinterSurface::PageHeight() {
    return static_cast<int>(
        std::lround(Printer().pageLayout().fullRect(QPageLayout::Point).height() * kTwipsPerPoint));
}

float QtPrinterSurface::TextWidth(const std::string& text) {
    float total = 0;
    for (char c : text) {
        total += CharWidth(static_cast<unsigned char>(c));
    }
    return total;
}

float QtPrinterSurface::TextHeight(const std::string&) {
    return LineHeight();
}

bool QtPrinterSurface::HasInk(const std::string& text) const {
    if (text.empty()) {
        return false;
    }
    if (m_underline) {
        return true;
    }
    for (char c : text) {
        const QChar shown = DisplayChar(static_cast<unsigned char>(c));
        if (shown != QChar(u' ') && shown != QChar(0xA0)) {
            return true;
        }
    }
    return false;
}

bool QtPrinterSurface::BreakDue() {
    return m_y > 0 && m_y + LineHeight() > PrintableHeight();
}

void QtPrinterSurface::NextPage() {
    // The sheet itself is begun at the page's first ink, so an orientation
    // set before it still applies; a page without ink comes out blank.
    ++m_page;
    m_x = m_y = 0;
    ApplyOrientation();
}

void QtPrinterSurface::SettlePage() {
    if (!m_painter) {
        m_document = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                      QStringLiteral("/loomway-print-XXXXXX.pdf"));
        if (!m_document->open()) {
            Fail(PrinterError::kNoPrinter);
        }
        m_document->close(); // the PDF engine writes it by name
        m_printer->setOutputFileName(m_document->fileName());
        m_painter = std::make_unique<QPainter>();
        if (!m_painter->begin(m_printer.get())) {
            Fail(PrinterError::kNoPrinter);
        }
        m_painter->setFont(m_font);
        m_drawnPage = 1;
    }
    // The pages that went by without ink, then this one.
    while (m_drawnPage < m_page) {
        if (!m_printer->newPage()) {
            Fail(PrinterError::kNoPrinter);
        }
        ++m_drawnPage;
    }
}

void QtPrinterSurface::Submit() {
    const QByteArray file = QFile::encodeName(m_document->fileName());
    // The paper the pages were laid out on; no orientation, so that each page
    // keeps its own.
    cups_option_t* options = nullptr;
    int count = 0;
    const QByteArray media = m_printer->pageLayout().pageSize().key().toUtf8();
    if (!media.isEmpty()) {
        count = cupsAddOption("media", media.constData(), count, &options);
    }
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, m_queue.c_str(), file.constData(),
                                   "Palm Loomway", count, options);
    cupsFreeOptions(count, options);
    if (job <= 0) {
        m_lastRefusal = cupsLastErrorString() != nullptr ? cupsLastErrorString() : "";
        Fail(PrinterError::kJobRefused);
    }
    DropDocument();
}

void QtPrinterSurface::Draw(const std::string& text, bool endLine) {
    if (!m_inJob) {
        StartJob();
    }
    const float width = TextWidth(text);
    if (HasInk(text)) {
        if (BreakDue()) {
            NextPage();
        }
        SettlePage();
        const QFontMetricsF metrics(m_font, m_painter->device());
        m_painter->drawText(QPointF(ToPixels(m_x), ToPixels(m_y) + metrics.ascent()),
                            ToDisplayText(text));
    }
    m_x += width;
    if (endLine) {
        m_x = 0;
        m_y += LineHeight();
    }
}

void QtPrinterSurface::Print(const std::string& text) {
    Draw(text, false);
}

void QtPrinterSurface::PrintLine(const std::string& text) {
    Draw(text, true);
}

void QtPrinterSurface::PrintNumber(long number) {
    std::string text = " ";
    text += std::to_string(number);
    text += ' ';
    Draw(text, false);
}

void QtPrinterSurface::NewPage() {
    if (!m_inJob) {
        StartJob();
    }
    NextPage();
}

void QtPrinterSurface::EndDoc() {
    if (m_painter) {
        if (!m_painter->end()) {
            Fail(PrinterError::kNoPrinter);
        }
        Submit();
    }
    DropDocument();
    if (m_printer) {
        ApplyOrientation(); // the next document starts with the latest setting
    }
    m_inJob = false;
    m_page = 1;
    m_x = m_y = 0;
}

void QtPrinterSurface::AbortDoc() {
    DropDocument();
    m_inJob = false;
    m_page = 1;
    m_x = m_y = 0;
}

int QtPrinterSurface::Page() {
    return m_page + (BreakDue() ? 1 : 0);
}

std::string QtPrinterSurface::DeviceName() {
    Printer();
    // The queue's name (a printer drawing into a PDF file has none of its own).
    return UnicodeToHandheld(QString::fromStdString(m_queue).toStdU32String());
}

} // namespace loomway
