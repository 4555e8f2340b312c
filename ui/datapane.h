#pragma once

#include <QPlainTextEdit>

#include <string>

namespace loomway {

// txtSend and txtReceive: a read-only pane, white on black with a vertical
// scroll bar, whose text can be selected and copied but not typed into.
class DataPane : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DataPane(QWidget* parent = nullptr);

    // Shows the pane's whole text (one char per byte). When the new text
    // continues the one shown, only the new bytes are added.
    void ShowBytes(const std::string& text, bool caretToEnd);
    const std::string& Bytes() const { return m_bytes; }

signals:
    void doubleClicked();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    std::string m_bytes;
};

} // namespace loomway
