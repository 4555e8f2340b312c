#include "ui/lamppictures.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>

namespace loomway {

namespace {

// A transparent picture of the given size in device-independent pixels,
// with ratio times as many device pixels: drawn at the screen's own
// resolution, it stays sharp on a HiDPI screen.
QPixmap blank(QSize size, qreal ratio) {
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A round lamp: a lit one glows in its colour with a bright centre, a dark one
// is a dull disc with only a faint reflection.
QPixmap roundLamp(qreal ratio, int size, QColor colour, bool lit) {
    QPixmap pixmap = blank(QSize(size, size), ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(size / 2.0, size / 2.0);
    const qreal radius = size * 0.36;
    if (lit) {
        QRadialGradient glow(centre, size / 2.0);
        QColor halo = colour;
        halo.setAlpha(150);
        glow.setColorAt(0.55, halo);
        halo.setAlpha(0);
        glow.setColorAt(1.0, halo);
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(centre, size / 2.0, size / 2.0);
    }
    QRadialGradient body(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
    if (lit) {
        body.setColorAt(0.0, Qt::white);
        body.setColorAt(0.35, colour.lighter(130));
        body.setColorAt(1.0, colour);
    } else {
        body.setColorAt(0.0, colour.lighter(160));
        body.setColorAt(0.5, colour);
        body.setColorAt(1.0, colour.darker(160));
    }
    p.setBrush(body);
    p.setPen(QPen(QColor(20, 20, 20), 1.2));
    p.drawEllipse(centre, radius, radius);
    return pixmap;
}

// The printer lamp: a small printer, white and light grey when lit.
QPixmap printerLamp(qreal ratio, bool lit) {
    QPixmap pixmap = blank(QSize(32, 32), ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body = lit ? QColor(200, 200, 200) : QColor(60, 60, 60);
    const QColor paper = lit ? QColor(255, 255, 255) : QColor(85, 85, 85);
    const QColor edge = lit ? QColor(240, 240, 240) : QColor(40, 40, 40);
    p.setPen(QPen(edge, 1));
    p.setBrush(paper);
    p.drawRect(QRectF(9.5, 3.5, 13, 10)); // paper going in
    QLinearGradient shade(0, 12, 0, 25);
    shade.setColorAt(0, body.lighter(lit ? 115 : 105));
    shade.setColorAt(1, body.darker(lit ? 120 : 130));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(3.5, 12.5, 25, 12), 3, 3);
    p.setBrush(paper);
    p.drawRect(QRectF(8.5, 21.5, 15, 8)); // printed sheet
    p.setBrush(lit ? QColor(60, 255, 60) : QColor(30, 50, 30));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(24, 16), 1.6, 1.6);
    return pixmap;
}

// The clipboard lamp: an olive board with white paper and a teal clip. The
// flying form leans forward with speed lines behind it.
QPixmap clipboardLamp(qreal ratio, bool lit, bool flying) {
    QPixmap pixmap = blank(QSize(32, 32), ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor olive = lit ? QColor(128, 128, 0) : QColor(50, 50, 20);
    const QColor paper = lit ? QColor(255, 255, 255) : QColor(80, 80, 80);
    const QColor teal = lit ? QColor(0, 160, 160) : QColor(20, 60, 60);
    if (flying) {
        p.setPen(QPen(teal, 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(1, 10), QPointF(8, 10));
        p.drawLine(QPointF(0, 16), QPointF(7, 16));
        p.drawLine(QPointF(2, 22), QPointF(8, 22));
        p.translate(19, 16);
        p.rotate(20);
        p.translate(-16, -16);
    }
    p.setPen(QPen(olive.darker(150), 1));
    p.setBrush(olive);
    p.drawRoundedRect(QRectF(7.5, 4.5, 17, 24), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(paper);
    p.drawRect(QRectF(10, 8, 12, 18));
    p.setPen(QPen(teal.darker(lit ? 110 : 100), 1));
    for (int y = 12; y <= 22; y += 3) {
        p.drawLine(QPointF(12, y), QPointF(20, y));
    }
    p.setPen(QPen(teal.darker(140), 1));
    p.setBrush(teal);
    p.drawRoundedRect(QRectF(12.5, 2.5, 7, 5), 1.5, 1.5);
    return pixmap;
}

// The switch: a slide with its knob to the right (on, green) or to the left
// (off, red).
QPixmap switchPicture(qreal ratio, bool on) {
    QPixmap pixmap = blank(QSize(35, 16), ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor track = on ? QColor(20, 190, 40) : QColor(150, 20, 20);
    p.setPen(QPen(QColor(200, 200, 200), 1));
    p.setBrush(track);
    p.drawRoundedRect(QRectF(0.5, 0.5, 34, 15), 7.5, 7.5);
    QLinearGradient knob(0, 0, 0, 16);
    knob.setColorAt(0, Qt::white);
    knob.setColorAt(1, QColor(170, 170, 170));
    p.setBrush(knob);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.drawEllipse(on ? QRectF(19.5, 1.5, 13, 13) : QRectF(2.5, 1.5, 13, 13));
    return pixmap;
}

QPixmap draw(LampPicture store, qreal r) {
    switch (store) {
    case LampPicture::PowerOn:
        return roundLamp(r, 32, QColor(255, 176, 0), true);
    case LampPicture::PowerOff:
        return roundLamp(r, 32, QColor(80, 52, 0), false);
    case LampPicture::ReceiveOn:
        return roundLamp(r, 32, QColor(40, 255, 40), true);
    case LampPicture::ReceiveOff:
        return roundLamp(r, 32, QColor(10, 75, 10), false);
    case LampPicture::ModemSendOn:
        return roundLamp(r, 32, QColor(255, 240, 0), true);
    case LampPicture::ModemSendOff:
        return roundLamp(r, 32, QColor(75, 72, 0), false);
    case LampPicture::PrinterOn:
        return printerLamp(r, true);
    case LampPicture::PrinterOff:
        return printerLamp(r, false);
    case LampPicture::ClipboardOn:
        return clipboardLamp(r, true, false);
    case LampPicture::ClipboardOff:
        return clipboardLamp(r, false, false);
    case LampPicture::ClipboardFlying:
        return clipboardLamp(r, true, true);
    case LampPicture::SwitchOn:
        return switchPicture(r, true);
    case LampPicture::SwitchOff:
        return switchPicture(r, false);
    case LampPicture::DarkGreen:
        return roundLamp(r, 16, QColor(10, 80, 10), false);
    case LampPicture::LightGreen:
        return roundLamp(r, 16, QColor(60, 255, 60), true);
    case LampPicture::DarkRed:
        return roundLamp(r, 16, QColor(90, 10, 10), false);
    case LampPicture::LightRed:
        return roundLamp(r, 16, QColor(255, 50, 50), true);
    }
    return {};
}

} // namespace

LampPictures::LampPictures(qreal devicePixelRatio) : m_ratio(devicePixelRatio) {
    for (std::size_t i = 0; i < Count; ++i) {
        m_pictures[i] = draw(static_cast<LampPicture>(i), devicePixelRatio);
    }
}

const QPixmap& LampPictures::Picture(LampPicture store) const {
    return m_pictures[static_cast<std::size_t>(store)];
}

QSize LampPictures::SizeOf(LampPicture store) {
    switch (store) {
    case LampPicture::SwitchOn:
    case LampPicture::SwitchOff:
        return {35, 16};
    case LampPicture::DarkGreen:
    case LampPicture::LightGreen:
    case LampPicture::DarkRed:
    case LampPicture::LightRed:
        return {16, 16};
    default:
        return {32, 32};
    }
}

bool LampPictures::IsLit(LampPicture store) {
    switch (store) {
    case LampPicture::PowerOn:
    case LampPicture::ReceiveOn:
    case LampPicture::ModemSendOn:
    case LampPicture::PrinterOn:
    case LampPicture::ClipboardOn:
    case LampPicture::ClipboardFlying:
    case LampPicture::SwitchOn:
    case LampPicture::LightGreen:
    case LampPicture::LightRed:
        return true;
    default:
        return false;
    }
}

const char* LampPictures::Name(LampPicture store) {
    static const char* const names[Count] = {
        "IMG_ON",   "IMG_OFF",  "IMG_PON", "IMG_POFF", "IMG_MON", "IMG_MOFF",
        "IMG_PRON", "IMG_PROF", "img_con", "img_coff", "imgClpf", "imgON",
        "imgOFF",   "imgDG",    "imgLG",   "imgDR",    "imgLR",
    };
    return names[static_cast<std::size_t>(store)];
}

} // namespace loomway
