#include "ui/backgroundarea.h"

#include "ui/windowpictures.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

namespace loomway {

BackgroundArea::BackgroundArea(QWidget* parent)
    : QWidget(parent), m_picture(MakeWindowBackground(qGuiApp->devicePixelRatio())) {
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(10, 16, 30));
    setPalette(colours);
}

void BackgroundArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void BackgroundArea::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        emit doubleClicked();
    }
}

} // namespace loomway
