#pragma once

#include "core/lamps.h"

#include <QPixmap>
#include <QSize>

#include <array>

namespace loomway {

// The seventeen picture stores, drawn by the program itself: lamps of 32 x 32,
// the switch of 35 x 16 and the spare dots of 16 x 16 pixels (device-independent
// pixels, drawn with devicePixelRatio device pixels each).
class LampPictures {
public:
    explicit LampPictures(qreal devicePixelRatio = 1.0);

    const QPixmap& Picture(LampPicture store) const;
    qreal DevicePixelRatio() const { return m_ratio; }

    static constexpr std::size_t Count = 17;
    static QSize SizeOf(LampPicture store);
    // True for the stores that show a lit lamp, the switch's on position or a
    // bright dot.
    static bool IsLit(LampPicture store);
    // The object name of the store's element in the main window, e.g. "IMG_ON".
    static const char* Name(LampPicture store);

private:
    qreal m_ratio;
    std::array<QPixmap, Count> m_pictures;
};

} // namespace loomway
