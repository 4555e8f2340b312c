#pragma once

#include <string>

namespace loomway {

// A failed print job. Surfaces throw it from any operation; the print engine
// throws it too when its own arithmetic fails (kOverflow, kDivisionByZero).
// The code is what the error variant of the status reply reports.
struct PrinterError {
    int code = 0;

    static constexpr int kOverflow = 6;
    static constexpr int kDivisionByZero = 11;
    static constexpr int kNoPrinter = 482;  // no default printer, or it cannot print
    static constexpr int kJobRefused = 483; // the printer refused the finished document
    static constexpr int kTooManyPages = 7; // the job ran past the last page it may fill
};

// The computer's default printer as the drawing surface of the print engine.
// Positions and text measures are twips (1/1440 inch), the page size is whole
// twips, font sizes are points. The position is x from the left edge of the
// printable area, y from its top. Font and orientation stay as they are from
// one job to the next until set again. Every operation may throw PrinterError.
//
// Text is one char per byte. The width of a text is the sum of the widths of
// its characters (no kerning, no ligatures), and the width of an empty text is
// 0: the layout adds up character widths as it goes instead of measuring its
// pending text again for every character.
class PrinterSurface {
public:
    static constexpr int kPortrait = 1;
    static constexpr int kLandscape = 2;

    virtual ~PrinterSurface() = default;

    // 1 portrait, 2 landscape; applies to the pages that follow. When no
    // document is in progress this also begins a new job: the surface looks up
    // the default printer afresh (and fails when there is none).
    virtual void SetOrientation(int orientation) = 0;
    virtual void SetFontName(const std::string& face) = 0;
    virtual void SetFontSize(float points) = 0;
    virtual void SetFontBold(bool on) = 0;
    virtual void SetFontItalic(bool on) = 0;
    virtual void SetFontUnderline(bool on) = 0;

    virtual float CurrentX() = 0;
    virtual void SetCurrentX(float x) = 0;
    virtual void SetCurrentY(float y) = 0;

    // Width of the printable area.
    virtual float PrintableWidth() = 0;
    // The paper's full size.
    virtual int PageWidth() = 0;
    virtual int PageHeight() = 0;

    // Measured in the current font.
    virtual float TextWidth(const std::string& text) = 0;
    virtual float TextHeight(const std::string& text) = 0;

    // Draws text with its top left corner at (x, y) and moves x right by its width.
    virtual void Print(const std::string& text) = 0;
    // As Print, then x = 0 and y moves down by one line of the current font.
    // A line that would run past the bottom of the printable area goes to the
    // top of a new page (page number + 1).
    virtual void PrintLine(const std::string& text) = 0;
    // Prints one space, the number in decimal and one space, staying on the line.
    virtual void PrintNumber(long number) = 0;
    // Ends the page: the next output goes to the top of a new page; x = y = 0.
    virtual void NewPage() = 0;
    // Completes the document and hands it to the printer; the next output
    // begins a new document whose first page is page 1.
    virtual void EndDoc() = 0;
    // Drops the document in progress, when a job fails before its end: none
    // of it reaches the printer, and the next output begins a new job. Font
    // and orientation stay. A surface that holds no document has nothing to do.
    virtual void AbortDoc() {}
    // The number of the page the next output lands on, 1 for the first page.
    virtual int Page() = 0;
    // The printer's name; empty when it has none.
    virtual std::string DeviceName() = 0;
};

} // namespace loomway
