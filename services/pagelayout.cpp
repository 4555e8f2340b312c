#include "services/pagelayout.h"

#include "services/markuptag.h"

#include <algorithm>
#include <cmath>

namespace loomway {

namespace {

float Checked(float value) {
    if (!std::isfinite(value)) {
        throw PrinterError{PrinterError::kOverflow};
    }
    return value;
}

} // namespace

void PageLayout::StartJob() {
    m_surface.SetOrientation(PrinterSurface::kPortrait);
    m_surface.SetFontName(std::string(kDefaultFace));
    m_surface.SetFontSize(kDefaultSize);
    m_surface.SetCurrentX(0);
    m_surface.SetCurrentY(0);
}

void PageLayout::PrintRun(std::string_view run, std::string_view tagName) {
    bool wrapped = false;
    std::string pending;
    float pendingWidth = 0; // the width of pending, added up character by character
    std::size_t lastSpace = 0;
    std::string one(1, ' ');

    for (char c : run) {
        if (c == ' ') {
            lastSpace = pending.size();
        }
        // The pending text is measured without c, and equality fits: the
        // character that first overflows is still taken.
        const float right = Checked(m_surface.CurrentX() + pendingWidth);
        if (m_surface.PrintableWidth() >= right) {
            one[0] = c;
            pending += c;
            pendingWidth = Checked(pendingWidth + m_surface.TextWidth(one));
            continue;
        }
        // lastSpace keeps counting characters of an earlier pending text after
        // a break; when it exceeds the pending text, all of it stays on the line.
        const std::size_t keep = std::min(lastSpace, pending.size());
        PrintLine(pending.substr(0, keep));
        std::size_t from = keep;
        while (from < pending.size() && pending[from] == ' ') {
            ++from;
        }
        std::string carried = pending.substr(from);
        carried += c;
        wrapped = true;
        Print(carried);
        pending.clear();
        pendingWidth = 0;
    }

    if (tagName == "NL") {
        AlignRun(pending);
        PrintLine(pending);
        m_alignMode = kAlignNone;
    } else if (wrapped) {
        Print(pending);
    } else {
        if (!tagName.empty()) {
            AlignRun(pending);
        }
        Print(pending);
    }
}

void PageLayout::AlignRun(const std::string& text) {
    switch (m_alignMode) {
    case kAlignLeft:
        m_surface.SetCurrentX(0);
        break;
    case kAlignCenter: {
        const float w = m_surface.TextWidth(text);
        const float x = m_surface.CurrentX();
        m_surface.SetCurrentX(Checked((x + m_surface.PrintableWidth() - w) / 2));
        break;
    }
    case kAlignRight: {
        const float w = m_surface.TextWidth(text);
        m_surface.SetCurrentX(Checked(m_surface.PrintableWidth() - w));
        break;
    }
    default:
        break;
    }
}

void PageLayout::FormFeed() {
    m_surface.NewPage();
    PrintLine(std::string());
    m_alignMode = kAlignNone;
}

void PageLayout::PrintPageNumber() {
    const int page = m_surface.Page();
    CheckPage(page);
    m_surface.PrintNumber(page);
}

void PageLayout::Print(const std::string& text) {
    if (!text.empty()) {
        CheckPage(m_surface.Page());
    }
    m_surface.Print(text);
}

void PageLayout::PrintLine(const std::string& text) {
    if (!text.empty()) {
        CheckPage(m_surface.Page());
    }
    m_surface.PrintLine(text);
}

// Page feeds and line ends alone cost nothing; text past the last page ends the job.
void PageLayout::CheckPage(int page) {
    if (page > kMaxPages) {
        throw PrinterError{PrinterError::kTooManyPages};
    }
}

} // namespace loomway
