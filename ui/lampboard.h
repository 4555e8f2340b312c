#pragma once

#include "core/lamps.h"
#include "ui/lamppictures.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <optional>

class QLabel;

namespace loomway {

// The lamps of the main window: which picture each shows, the blinking lamp,
// and the traffic lamps' changes that wait for the next frame.
class LampBoard : public QObject, public LampPanel {
    Q_OBJECT
public:
    explicit LampBoard(qreal devicePixelRatio, QObject* parent = nullptr);

    // widget shows lamp, starting with initial.
    void AddLamp(Lamp lamp, QLabel* widget, LampPicture initial);

    // Paints the picture at once, but for the two traffic lamps: they change
    // with every chunk and are drawn with the next frame (see frameWanted).
    void SetLamp(Lamp lamp, LampPicture picture) override;
    // Alternates every kBlinkMs until the next SetLamp on the lamp.
    void BlinkLamp(Lamp lamp, LampPicture lit, LampPicture dark) override;
    static constexpr int kBlinkMs = 500;

    // The picture the lamp shows.
    LampPicture Shows(Lamp lamp) const;
    const LampPictures& Pictures() const { return m_pictures; }

    // Draws the lamp pictures still waiting for the frame.
    void DrawPending();

signals:
    // A traffic lamp changed: its picture waits for DrawPending.
    void frameWanted();

private:
    static constexpr std::size_t kLamps = 6;
    // Shows the picture the lamp is to show, and tells it to a screen reader.
    void ShowPicture(std::size_t lamp);
    void BlinkTick();

    LampPictures m_pictures;
    std::array<QLabel*, kLamps> m_widgets{};
    std::array<LampPicture, kLamps> m_shown{};
    std::array<bool, kLamps> m_pending{};
    bool m_frameWanted = false;
    QTimer m_blink;
    std::optional<Lamp> m_blinkLamp;
    std::array<LampPicture, 2> m_blinkPictures{};
};

} // namespace loomway
