#include "platform/exitcleanup.h"

#include <atomic>
#include <cstdlib>
#include <utility>

namespace loomway {

namespace {
std::atomic<ExitCleanup*> g_current{nullptr};
} // namespace

ExitCleanup::ExitCleanup() {
    static const bool registered = std::atexit(&ExitCleanup::RunAtExit) == 0;
    if (registered) {
        g_current.store(this);
    }
}

ExitCleanup::~ExitCleanup() {
    ExitCleanup* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

void ExitCleanup::RunAtExit() {
    ExitCleanup* current = g_current.exchange(nullptr);
    // exit() from another thread would race the objects the cleanups touch.
    if (current == nullptr || current->m_thread != std::this_thread::get_id()) {
        return;
    }
    for (auto& cleanup : std::exchange(current->m_cleanups, {})) {
        cleanup();
    }
}

} // namespace loomway
