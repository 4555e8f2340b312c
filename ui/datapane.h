#pragma once

#include <QPlainTextEdit>
#include <QTimer>

#include <string>

namespace loomway {

// The sent or received data pane: read-only, white on black with a vertical
// scroll bar, whose text can be selected and copied but not typed into.
class DataPane : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DataPane(QWidget* parent = nullptr);

    // The pane's whole text (one char per byte). It is drawn at the next
    // Flush(), or at most kRefreshMs later: a relay hands over a new text with
    // every chunk, and laying out each of them would cost far more than the
    // chunk itself, while the user sees only the latest. When the new text
    // continues the one drawn, only the new bytes are added.
    void ShowBytes(const std::string& text, bool caretToEnd);
    // Draws the latest text now.
    void Flush();
    // The latest text, drawn or not.
    const std::string& Bytes() const { return m_pending; }

    static constexpr int kRefreshMs = 100;

signals:
    void doubleClicked();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Draw();

    std::string m_pending;
    bool m_pendingCaretToEnd = false;
    std::string m_drawn;
    QTimer m_refresh;
};

} // namespace loomway
