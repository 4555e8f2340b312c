#pragma once

#include "services/printersurface.h"

#include <QFont>

#include <array>
#include <memory>
#include <string>

class QPainter;
class QPrinter;
class QTemporaryFile;
class QString;

namespace loomway {

// PrinterSurface on the desktop's default printer (CUPS), through QPrinter and
// QPainter. The default printer is looked up afresh at each job start, so a new
// default takes effect without a restart. A job that never shows ink sends no
// page: the document is begun at the first text with ink, and the pages that
// went by before it come out blank. Measures before that come from the
// printer's own metrics. Bytes are read as the handheld's 8-bit character set
// (config/handheldcharset.h); control characters print as blanks of a space's width.
// The document is drawn into a temporary PDF file (each page in the
// orientation it had at its first ink) and, at EndDoc, submitted to the
// default queue with libcups. Failures: no default printer, or a document
// that cannot be drawn, throw 482; a queue that refuses the document throws
// 483. A failure, or AbortDoc, drops the document unsubmitted, and the next
// operation starts a new job.
class QtPrinterSurface : public PrinterSurface {
public:
    QtPrinterSurface();
    ~QtPrinterSurface() override;
    QtPrinterSurface(const QtPrinterSurface&) = delete;
    QtPrinterSurface& operator=(const QtPrinterSurface&) = delete;

    void SetOrientation(int orientation) override;
    void SetFontName(const std::string& face) override;
    void SetFontSize(float points) override;
    void SetFontBold(bool on) override;
    void SetFontItalic(bool on) override;
    void SetFontUnderline(bool on) override;
    float CurrentX() override { return m_x; }
    void SetCurrentX(float x) override { m_x = x; }
    void SetCurrentY(float y) override { m_y = y; }
    float PrintableWidth() override;
    int PageWidth() override;
    int PageHeight() override;
    float TextWidth(const std::string& text) override;
    float TextHeight(const std::string& text) override;
    void Print(const std::string& text) override;
    void PrintLine(const std::string& text) override;
    void PrintNumber(long number) override;
    void NewPage() override;
    void EndDoc() override;
    void AbortDoc() override;
    int Page() override;
    std::string DeviceName() override;

    // The text that would be drawn for the bytes of a run.
    static QString ToDisplayText(const std::string& text);

    // What the print server said when it last refused a document.
    const std::string& LastRefusal() const { return m_lastRefusal; }

private:
    QPrinter& Printer();
    void LookUpPrinter();
    void StartJob();
    [[noreturn]] void Fail(int code);
    void ApplyOrientation();
    bool PageSettled() const;
    void SettlePage();
    void Submit();
    void DropDocument();
    void FontChanged();
    float CharWidth(unsigned char c);
    float LineHeight();
    float PrintableHeight();
    bool HasInk(const std::string& text) const;
    bool BreakDue();
    void NextPage();
    void Draw(const std::string& text, bool endLine);
    float ToTwips(double devicePixels);
    double ToPixels(float twips);

    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;        // active while a document is begun
    std::unique_ptr<QTemporaryFile> m_document; // the PDF being drawn
    std::string m_queue;                        // the CUPS queue of the job
    std::string m_lastRefusal;
    int m_drawnPage = 0; // the page the painter is on; 0 before the first ink
    bool m_inJob = false;
    int m_orientation = kPortrait;
    QFont m_font;
    bool m_underline = false;
    float m_x = 0;
    float m_y = 0;
    int m_page = 1;
    std::array<float, 256> m_widths{};
    std::array<bool, 256> m_widthKnown{};
    float m_lineHeight = -1;
};

} // namespace loomway
