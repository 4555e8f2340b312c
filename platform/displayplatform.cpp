#include "platform/displayplatform.h"

namespace loomway {

namespace {

bool isSet(const EnvironmentReader& environment, const char* name) {
    const char* value = environment(name);
    return value != nullptr && *value != '\0';
}

} // namespace

std::string ChooseDisplayPlatform(const EnvironmentReader& environment) {
    if (isSet(environment, "QT_QPA_PLATFORM") || !isSet(environment, "DISPLAY")) {
        return {};
    }
    const char* session = environment("XDG_SESSION_TYPE");
    const bool wayland = isSet(environment, "WAYLAND_DISPLAY") ||
                         (session != nullptr && std::string(session) == "wayland");
    return wayland ? "xcb" : std::string();
}

} // namespace loomway
