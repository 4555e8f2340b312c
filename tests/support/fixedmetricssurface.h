#pragma once

// A printer surface with fixed, known metrics that records what is drawn where.
// Every character is size * charWidthPerPoint twips wide (unless listed in
// widths, for a font with characters of different widths), a line is
// size * lineHeightPerPoint twips high. Bold, italic and underline change no
// measure. Like a real printer it breaks the page before ink that would run
// past the bottom of the printable area.

#include "services/printersurface.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace loomway::test {

class FixedMetricsSurface : public PrinterSurface {
public:
    struct Drawn {
        int document = 0; // 1 for the first document, counted across EndDoc
        int page = 1;
        float x = 0, y = 0;
        std::string text;
        bool endedLine = false;
        std::string face;
        float size = 0;
        bool bold = false, italic = false, underline = false;
        int orientation = 1;
    };

    // Metrics.
    float printableWidth = 1000;
    float printableHeight = 2000;
    int pageWidth = 1200;
    int pageHeight = 2400;
    float charWidthPerPoint = 10;  // 10 points: 100 twips per character
    float lineHeightPerPoint = 20; // 10 points: 200 twips per line
    std::map<char, float> widths;  // per character, at 10 points; scaled with the size
    std::string deviceName = "Fixed Printer";

    // Failure injection: the (failSkip + 1)-th call of the operation named
    // failOn throws PrinterError{failCode}.
    std::string failOn;
    int failSkip = 0;
    int failCode = 482;

    bool record = true;             // keep drawn and calls (off for the fuzzer)
    std::vector<Drawn> drawn;       // every Print, PrintLine and PrintNumber
    std::vector<std::string> calls; // every operation with its argument
    int documentsEnded = 0;
    std::size_t measuredChars = 0; // characters measured by TextWidth, all calls together
    std::size_t drawnChars = 0;    // characters drawn, all calls together

    // State.
    int orientation = 1;
    std::string face;
    float size = 0;
    bool bold = false, italic = false, underline = false;
    float x = 0, y = 0;
    int page = 1;

    void SetOrientation(int value) override {
        enter("SetOrientation " + std::to_string(value));
        orientation = value;
    }
    void SetFontName(const std::string& value) override {
        enter("SetFontName " + value);
        face = value;
    }
    void SetFontSize(float value) override {
        enter("SetFontSize " + number(value));
        size = value;
    }
    void SetFontBold(bool on) override {
        enter(std::string("SetFontBold ") + (on ? "1" : "0"));
        bold = on;
    }
    void SetFontItalic(bool on) override {
        enter(std::string("SetFontItalic ") + (on ? "1" : "0"));
        italic = on;
    }
    void SetFontUnderline(bool on) override {
        enter(std::string("SetFontUnderline ") + (on ? "1" : "0"));
        underline = on;
    }
    float CurrentX() override {
        check("CurrentX");
        return x;
    }
    void SetCurrentX(float value) override {
        enter("SetCurrentX " + number(value));
        x = value;
    }
    void SetCurrentY(float value) override {
        enter("SetCurrentY " + number(value));
        y = value;
    }
    float PrintableWidth() override {
        check("PrintableWidth");
        return printableWidth;
    }
    int PageWidth() override {
        enter("PageWidth");
        return pageWidth;
    }
    int PageHeight() override {
        enter("PageHeight");
        return pageHeight;
    }
    float TextWidth(const std::string& text) override {
        check("TextWidth");
        measuredChars += text.size();
        return measure(text);
    }
    float TextHeight(const std::string&) override {
        check("TextHeight");
        return lineHeight();
    }
    void Print(const std::string& text) override {
        enter("Print " + text);
        draw(text, false);
    }
    void PrintLine(const std::string& text) override {
        enter("PrintLine " + text);
        draw(text, true);
    }
    void PrintNumber(long value) override {
        enter("PrintNumber " + std::to_string(value));
        std::string text = " ";
        text += std::to_string(value);
        text += ' ';
        draw(text, false);
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
    int Page() override {
        check("Page");
        return page + (breakDue() ? 1 : 0);
    }
    std::string DeviceName() override {
        enter("DeviceName");
        return deviceName;
    }

    float lineHeight() const { return size * lineHeightPerPoint; }

    float measure(const std::string& text) const {
        float total = 0;
        for (char c : text) {
            auto it = widths.find(c);
            total += (it == widths.end() ? charWidthPerPoint * 10 : it->second) * size / 10;
        }
        return total;
    }

    // The drawn texts that are not empty.
    std::vector<const Drawn*> drawnWithInk() const {
        std::vector<const Drawn*> out;
        for (const Drawn& d : drawn) {
            if (!d.text.empty()) {
                out.push_back(&d);
            }
        }
        return out;
    }

private:
    static std::string number(float value) {
        std::string s = std::to_string(value);
        s.erase(s.find_last_not_of('0') + 1);
        if (!s.empty() && s.back() == '.') {
            s.pop_back();
        }
        return s;
    }
    void check(const std::string& name) {
        if (!failOn.empty() && name.rfind(failOn, 0) == 0 &&
            (name.size() == failOn.size() || name[failOn.size()] == ' ')) {
            if (failSkip-- <= 0) {
                failOn.clear();
                throw PrinterError{failCode};
            }
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
            drawn.push_back({documentsEnded + 1, page, x, y, text, endLine, face, size, bold,
                             italic, underline, orientation});
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
