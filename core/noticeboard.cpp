#include "core/noticeboard.h"

namespace loomway {

StatusPanel& NoticeBoard::AddPart() {
    return m_parts.emplace_back(*this);
}

void NoticeBoard::Part::ShowNotice(const std::string& text) {
    m_notice = text;
    m_board.Show();
}

void NoticeBoard::Show() {
    std::string text;
    for (const Part& part : m_parts) {
        if (!part.Notice().empty()) {
            if (!text.empty()) {
                text += "; ";
            }
            text += part.Notice();
        }
    }
    if (text != m_shown) {
        m_shown = text;
        m_panel.ShowNotice(text);
    }
}

} // namespace loomway
