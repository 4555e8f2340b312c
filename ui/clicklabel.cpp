#include "ui/clicklabel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace loomway {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

void ClickLabel::paintEvent(QPaintEvent* event) {
    const QPixmap picture = pixmap();
    if (picture.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect area = contentsRect();
    const QRect at = QStyle::alignedRect(layoutDirection(), alignment(),
                                         picture.deviceIndependentSize().toSize(), area);
    painter.drawPixmap(at, picture);
}

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
