#pragma once

#include "core/serialport.h"

#include <QtGlobal>

#include <exception>

namespace loomway {

// Runs a handler from an event of the event loop: no exception crosses it.
template <typename F> void GuardedCall(const char* what, F&& call) {
    try {
        call();
    } catch (const PortError& e) {
        qWarning("%s failed: %d %s", what, e.Number(), e.description.c_str());
    } catch (const std::exception& e) {
        qWarning("%s failed: %s", what, e.what());
    } catch (...) {
        qWarning("%s failed", what);
    }
}

} // namespace loomway
