#pragma once

// A printer surface with fixed, known metrics that records what is drawn where.
// Every character is size * 10 twips wide (unless listed in widths), a line
// size * 20 twips high, the page 1200 by 2400 twips; styles change no
// measure. Like a real printer it breaks the page before ink that would run
// past the bottom of the printable area. The (failSkip + 1)-th call of the
// operation named failOn throws PrinterError{failCode}.

#include "services/printersurface.h"

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace loomway::test {

class FixedMetricsSurface : public PrinterSurface {
public:
    struct Drawn {
        int page = 1, orientation = 1;
        float x = 0, y = 0, size = 0;
        std::string text, face;
        bool endedLine = false, bold = false, italic = false, underline = false;
    };

    float printableWidth = 1000, printableHeight = 2000;
    std::map<char, float> widths; // per character, at 10 points; scaled with the size
    std::string failOn;
    int failSkip = 0, failCode = 482;

    bool record = true;             // keep drawn and calls (off for the fuzzer)
    std::vector<Drawn> drawn;       // every Print, PrintLine and PrintNumber
    std::vector<std::string> calls; // every operation with its argument
    int documentsEnded = 0, aborted = 0;
    std::size_t measuredChars = 0, drawnChars = 0; // all calls together

    int orientation = 1, page = 1;
    float size = 0, x = 0, y = 0;
    std::string face;
    bool bold = false, italic = false, underline = false;

    void SetOrientation(int value) override { set("SetOrientation", orientation, value); }
    void SetFontName(const std::string& value) override { set("SetFontName", face, value); }
    void SetFontSize(float value) override { set("SetFontSize", size, value); }
    void SetFontBold(bool on) override { set("SetFontBold", bold, on); }
    void SetFontItalic(bool on) override { set("SetFontItalic", italic, on); }
    void SetFontUnderline(bool on) override { set("SetFontUnderline", underline, on); }
    void SetCurrentX(float value) override { set("SetCurrentX", x, value); }
    void SetCurrentY(float value) override { set("SetCurrentY", y, value); }
    float CurrentX() override { return check("CurrentX"), x; }
    float PrintableWidth() override { return check("PrintableWidth"), printableWidth; }
    int PageWidth() override { return enter("PageWidth"), 1200; }
    int PageHeight() override { return enter("PageHeight"), 2400; }
    float TextWidth(const std::string& text) override {
        check("TextWidth");
        measuredChars += text.size();
        return measure(text);
    }
    float TextHeight(const std::string&) override { return check("TextHeight"), lineHeight(); }
    void Print(const std::string& text) override { enter("Print " + text), draw(text, false); }
    void PrintLine(const std::string& text) override {
        enter("PrintLine " + text), draw(text, true);
    }
    void PrintNumber(long value) override {
        enter("PrintNumber " + std::to_string(value));
        draw(" " + std::to_string(value) + " ", false);
    }
    void NewPage() override {
        enter("NewPage");
        ++page;
        x = y = 0;
    }
    void EndDoc() override {
        enter("EndDoc");
        ++documentsEnded;
        page = 1;
        x = y = 0;
    }
    void AbortDoc() override { ++aborted; }
    int Page() override { return check("Page"), page + (breakDue() ? 1 : 0); }
    std::string DeviceName() override { return enter("DeviceName"), "Fixed Printer"; }

private:
    float lineHeight() const { return size * 20; }
    float measure(const std::string& text) const {
        float total = 0;
        for (char c : text) {
            auto it = widths.find(c);
            total += (it == widths.end() ? 100.0F : it->second) * size / 10;
        }
        return total;
    }
    template <class T> void set(const char* name, T& field, const T& value) {
        std::ostringstream call;
        call << name << ' ' << value;
        enter(call.str());
        field = value;
    }
    void check(const std::string& name) {
        if (!failOn.empty() && name.rfind(failOn, 0) == 0 &&
            (name.size() == failOn.size() || name[failOn.size()] == ' ') && failSkip-- <= 0) {
            failOn.clear();
            throw PrinterError{failCode};
        }
    }
    void enter(const std::string& call) {
        check(call);
        if (record) {
            calls.push_back(call);
        }
    }
    bool breakDue() const { return y > 0 && y + lineHeight() > printableHeight; }
    void draw(const std::string& text, bool endLine) {
        if (!text.empty() && breakDue()) {
            ++page;
            y = 0;
        }
        if (record) {
            drawn.push_back(
                {page, orientation, x, y, size, text, face, endLine, bold, italic, underline});
        }
        drawnChars += text.size();
        x += measure(text);
        if (endLine) {
            x = 0;
            y += lineHeight();
        }
    }
};

} // namespace loomway::test
