#pragma once

#include "services/printersurface.h"

#include <string>
#include <string_view>

namespace loomway {

// AlignMode values.
enum : int { kAlignNone = 0, kAlignLeft = 1, kAlignCenter = 2, kAlignRight = 3 };

// Puts runs of text on a PrinterSurface: word wrap at spaces against the
// printable width, alignment, line ends, page feeds and page numbers. Holds
// AlignMode, which lives as long as the engine and survives between jobs.
// Every surface failure passes through as PrinterError. A job fills at most
// kMaxPages pages: text that would land on a later page fails it with
// kTooManyPages, so that a short request cannot make a printer pour out paper.
class PageLayout {
public:
    static constexpr int kMaxPages = 1000;

    explicit PageLayout(PrinterSurface& surface) : m_surface(surface) {}

    // Portrait, "Courier New", 10 points, top left. Bold, italic and underline
    // stay as they are.
    void StartJob();
    // Prints run; tagName (the tag that follows the run) decides how it ends:
    // "NL" ends the line, empty means the end of the document.
    void PrintRun(std::string_view run, std::string_view tagName);
    // Moves x for text about to be printed, according to AlignMode.
    void AlignRun(const std::string& text);
    // New page with an empty first line; AlignMode back to none.
    void FormFeed();
    // The current page number as " n ", staying on the line.
    void PrintPageNumber();

    int AlignMode() const { return m_alignMode; }
    void SetAlignMode(int mode) { m_alignMode = mode; }

private:
    void Print(const std::string& text);
    void PrintLine(const std::string& text);
    static void CheckPage(int page);

    PrinterSurface& m_surface;
    int m_alignMode = kAlignNone;
};

} // namespace loomway
