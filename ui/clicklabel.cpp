#include "ui/clicklabel.h"

#include <QMouseEvent>

namespace loomway {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    m_clickPending = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool over = rect().contains(event->position().toPoint());
    const bool click = m_clickPending && over && event->button() == Qt::LeftButton;
    m_clickPending = false;
    if (over) {
        emit released();
    }
    if (click) {
        emit clicked();
    }
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    m_clickPending = false;
    if (event->button() == Qt::LeftButton) {
        emit doubleClicked();
    }
}

} // namespace loomway
