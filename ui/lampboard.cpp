#include "ui/lampboard.h"

#include <QLabel>

#include <utility>

namespace loomway {

namespace {

std::size_t index(Lamp lamp) {
    return static_cast<std::size_t>(lamp);
}

// What a screen reader says of a lamp or the switch after its name.
QString pictureState(LampPicture picture) {
    if (picture == LampPicture::SwitchOn || picture == LampPicture::SwitchOff) {
        return picture == LampPicture::SwitchOn ? QStringLiteral("on") : QStringLiteral("off");
    }
    return LampPictures::IsLit(picture) ? QStringLiteral("lit") : QStringLiteral("dark");
}

} // namespace

LampBoard::LampBoard(qreal devicePixelRatio, QObject* parent)
    : QObject(parent), m_pictures(devicePixelRatio) {
    m_blink.setInterval(kBlinkMs);
    connect(&m_blink, &QTimer::timeout, this, &LampBoard::BlinkTick);
}

void LampBoard::AddLamp(Lamp lamp, QLabel* widget, LampPicture initial) {
    m_widgets[index(lamp)] = widget;
    m_shown[index(lamp)] = initial;
    ShowPicture(index(lamp));
}

void LampBoard::SetLamp(Lamp lamp, LampPicture picture) {
    if (m_blinkLamp == lamp) {
        m_blink.stop();
        m_blinkLamp.reset();
    }
    // The picture the lamp already shows leaves the screen as it is.
    if (m_shown[index(lamp)] == picture) {
        return;
    }
    m_shown[index(lamp)] = picture;
    // A relay handler is over in microseconds: painting a traffic lamp at
    // once would stop the relay for a paint (and a round trip to the display
    // server) at every chunk. The other lamps are painted at once: a print
    // job may keep the handler busy long after its lamp went on.
    if (lamp == Lamp::ModemSend || lamp == Lamp::Receive) {
        m_pending[index(lamp)] = true;
        if (!std::exchange(m_frameWanted, true)) {
            emit frameWanted();
        }
        return;
    }
    m_pending[index(lamp)] = false;
    ShowPicture(index(lamp));
    m_widgets[index(lamp)]->repaint();
}

void LampBoard::BlinkLamp(Lamp lamp, LampPicture lit, LampPicture dark) {
    SetLamp(lamp, lit);
    m_blinkLamp = lamp;
    m_blinkPictures = {lit, dark};
    m_blink.start();
    ShowPicture(index(lamp));
}

void LampBoard::BlinkTick() {
    if (!m_blinkLamp) {
        m_blink.stop();
        return;
    }
    const std::size_t i = index(*m_blinkLamp);
    m_shown[i] = m_shown[i] == m_blinkPictures[0] ? m_blinkPictures[1] : m_blinkPictures[0];
    ShowPicture(i);
}

LampPicture LampBoard::Shows(Lamp lamp) const {
    return m_shown[index(lamp)];
}

void LampBoard::DrawPending() {
    m_frameWanted = false;
    for (std::size_t i = 0; i < kLamps; ++i) {
        if (std::exchange(m_pending[i], false)) {
            ShowPicture(i);
        }
    }
}

void LampBoard::ShowPicture(std::size_t lamp) {
    m_widgets[lamp]->setPixmap(m_pictures.Picture(m_shown[lamp]));
    const bool blinking = m_blinkLamp && index(*m_blinkLamp) == lamp;
    const QString state = blinking ? QStringLiteral("blinking") : pictureState(m_shown[lamp]);
    if (m_widgets[lamp]->accessibleDescription() != state) {
        m_widgets[lamp]->setAccessibleDescription(state);
    }
}

} // namespace loomway
