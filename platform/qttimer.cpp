#include "platform/qttimer.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace loomway {

QtTimer::QtTimer(std::function<void()> onFire) {
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(onFire));
}

void QtTimer::Start(std::int64_t ms) {
    m_timer.start(
        static_cast<int>(std::clamp<std::int64_t>(ms, 0, std::numeric_limits<int>::max())));
}

} // namespace loomway
