#pragma once

#include <QLabel>

namespace loomway {

// A picture, caption or panel of the main window that reports its mouse
// events: released (any button, over the element), clicked (left button
// pressed and released over it) and doubleClicked. A double-click delivers
// one click (its first press and release) and then doubleClicked; the
// release that ends a double-click is no second click.
// The element takes every mouse event itself, so an element that answers
// nothing does not pass clicks on to its panel.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(QWidget* parent = nullptr);

    // Makes the element a button for the keyboard as well: Tab reaches it,
    // and Space or Enter works it like a click (released, then clicked).
    void MakeKeyboardButton();
    // What a click does: released, then clicked.
    void Press();

signals:
    void released();
    void clicked();
    void doubleClicked();

protected:
    // A picture is drawn as it is also while the window is disabled (a
    // settings dialog is open): the lamps go on showing the traffic.
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool m_clickPending = false;
};

} // namespace loomway
