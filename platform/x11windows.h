#pragma once

#include "core/desktop.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct xcb_connection_t;
struct xcb_get_property_reply_t;

namespace loomway {

// Top-level windows of other programs on an X11 display, found by their exact
// title (_NET_WM_NAME or WM_NAME) and asked to close with WM_DELETE_WINDOW.
// Works with and without a window manager (client windows are looked for a
// few levels below the root, inside the frames a window manager adds).
// Windows of this process are never matched. Without an X11 display (empty
// name, no server, offscreen or a pure Wayland session) nothing is found.
class X11Windows : public WindowCloser {
public:
    static constexpr std::chrono::milliseconds kDefaultPause{50};

    // displayName: an X11 display such as ":0"; empty for none.
    explicit X11Windows(const std::string& displayName,
                        std::chrono::milliseconds pause = kDefaultPause);
    ~X11Windows() override;
    X11Windows(const X11Windows&) = delete;
    X11Windows& operator=(const X11Windows&) = delete;

    // $DISPLAY, or empty when it is not set.
    static std::string SessionDisplay();

    bool Connected() const;

    bool WindowExists(const std::string& title) override;
    int AskToClose(const std::string& title) override;
    void PauseBetweenLooks() override;

private:
    std::vector<std::uint32_t> FindWindows(const std::string& title);
    bool TitleMatches(xcb_get_property_reply_t* netName, xcb_get_property_reply_t* wmName,
                      const std::string& title) const;
    bool OwnedByThisProcess(std::uint32_t window);
    std::uint32_t Atom(const char* name);

    xcb_connection_t* m_connection = nullptr;
    std::uint32_t m_root = 0;
    std::uint32_t m_netWmName = 0;
    std::uint32_t m_utf8String = 0;
    std::uint32_t m_netWmPid = 0;
    std::uint32_t m_wmProtocols = 0;
    std::uint32_t m_wmDeleteWindow = 0;
    std::chrono::milliseconds m_pause;
};

} // namespace loomway
