#pragma once

#include "core/statuspanel.h"

#include <deque>
#include <string>

namespace loomway {

// Panel 2 of the status bar, shared by the parts of the program that keep a
// notice there (devices waited for, the built-in modem, holds of the relay).
// Each part writes through a status panel of its own; the panel shows every
// part's notice that is not empty, in the order the parts were added, with
// "; " between them, so that one part clearing its notice leaves the others.
class NoticeBoard {
public:
    explicit NoticeBoard(StatusPanel& panel) : m_panel(panel) {}
    NoticeBoard(const NoticeBoard&) = delete;
    NoticeBoard& operator=(const NoticeBoard&) = delete;

    // A panel whose notice is the new part's own; its status text goes to
    // the panel as it is. Lives as long as the board.
    StatusPanel& AddPart();

private:
    class Part : public StatusPanel {
    public:
        explicit Part(NoticeBoard& board) : m_board(board) {}
        void ShowStatus(const std::string& text) override { m_board.m_panel.ShowStatus(text); }
        void ShowNotice(const std::string& text) override;
        const std::string& Notice() const { return m_notice; }

    private:
        NoticeBoard& m_board;
        std::string m_notice;
    };

    void Show();

    StatusPanel& m_panel;
    std::deque<Part> m_parts;
    std::string m_shown;
};

} // namespace loomway
