#include "ui/datapane.h"

#include "ui/panetext.h"

#include <QKeyEvent>
#include <QPalette>
#include <QTextCursor>

#include <algorithm>

namespace loomway {

DataPane::DataPane(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
    // Only a click gives the pane the focus, so the menu shortcuts work as
    // long as the user has not chosen to work in a pane.
    setFocusPolicy(Qt::ClickFocus);
    QPalette colours = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, Qt::black);
        colours.setColor(group, QPalette::Text, Qt::white);
    }
    setPalette(colours);
    setBackgroundVisible(false);
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &DataPane::Draw);
}

void DataPane::ShowBytes(const std::string& text, bool caretToEnd) {
    m_pending = text;
    m_pendingCaretToEnd = caretToEnd;
    if (!m_refresh.isActive()) {
        m_refresh.start();
    }
}

void DataPane::Flush() {
    m_refresh.stop();
    Draw();
}

void DataPane::Draw() {
    const std::string& text = m_pending;
    const std::size_t shown = m_drawn.size();
    const int caretBefore = textCursor().position();
    if (text.size() >= shown && text.compare(0, shown, m_drawn) == 0) {
        if (text.size() > shown) {
            QTextCursor end(document());
            end.movePosition(QTextCursor::End);
            end.insertText(PaneDisplayText(text.data() + shown, text.size() - shown));
        }
    } else if (text.empty()) {
        clear();
    } else {
        setPlainText(PaneDisplayText(text));
    }
    m_drawn = text;
    if (m_pendingCaretToEnd) {
        moveCursor(QTextCursor::End);
    } else if (textCursor().position() != caretBefore) {
        // The caret stays where it was (as far as the new text reaches).
        QTextCursor caret = textCursor();
        caret.setPosition(std::min(caretBefore, document()->characterCount() - 1));
        setTextCursor(caret);
    }
}

bool DataPane::event(QEvent* event) {
    // Ctrl+C copies only while text is selected; otherwise the key is left
    // to the window's own shortcut. Other shortcuts always go to the window.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) && textCursor().hasSelection()) {
            event->accept();
        } else {
            event->ignore();
        }
        return true;
    }
    return QPlainTextEdit::event(event);
}

void DataPane::keyPressEvent(QKeyEvent* event) {
    // Typed characters never reach the text; moving and selecting with the
    // keyboard and copying still work (the pane is read-only).
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    if (!control && !event->text().isEmpty()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void DataPane::mouseDoubleClickEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

} // namespace loomway
