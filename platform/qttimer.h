#pragma once

#include "base/clock.h"

#include <QTimer>

#include <cstdint>
#include <functional>

namespace loomway {

// The logic's one-shot Timer on Qt's event loop.
class QtTimer : public Timer {
public:
    explicit QtTimer(std::function<void()> onFire);
    void Start(std::int64_t ms) override;
    void Stop() override { m_timer.stop(); }

private:
    QTimer m_timer;
};

} // namespace loomway
