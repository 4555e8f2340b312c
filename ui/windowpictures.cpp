#include "ui/windowpictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>

namespace loomway {

QPixmap MakeWindowBackground(qreal devicePixelRatio) {
    QPixmap pixmap(QSize(500, 400) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPainter p(&pixmap);
    QLinearGradient sky(0, 0, 500, 400);
    sky.setColorAt(0.0, QColor(28, 44, 72));
    sky.setColorAt(1.0, QColor(10, 16, 30));
    p.fillRect(QRect(0, 0, 500, 400), sky);
    // A faint weave of threads, the loom the program is named after.
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    for (int x = -400; x < 500; x += 12) {
        p.drawLine(x, 0, x + 400, 400);
    }
    p.setPen(QPen(QColor(120, 200, 255, 14), 1));
    for (int x = 0; x < 900; x += 12) {
        p.drawLine(x, 0, x - 400, 400);
    }
    return pixmap;
}

QPixmap MakePaneHeading(int width, int height, const QString& title, qreal devicePixelRatio) {
    QPixmap pixmap(QSize(width, height) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient tab(0, 0, 0, height);
    tab.setColorAt(0.0, QColor(70, 110, 170));
    tab.setColorAt(1.0, QColor(20, 40, 80));
    p.setPen(QPen(QColor(150, 190, 240), 1));
    p.setBrush(tab);
    p.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height + 8), 6, 6);
    QFont font = p.font();
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(8, 2, width - 12, 16), Qt::AlignLeft | Qt::AlignVCenter, title);
    return pixmap;
}

} // namespace loomway
