#include "platform/x11windows.h"

#include <QCoreApplication>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <utility>

namespace loomway {

namespace {

// Client windows sit below the root (no window manager) or inside one or two
// frame windows (reparenting window managers); deeper levels hold only the
// insides of programs.
constexpr int kSearchDepth = 4;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

std::string Latin1ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

X11Windows::X11Windows(const std::string& displayName, std::chrono::milliseconds pause)
    : m_pause(pause) {
    if (displayName.empty()) {
        return;
    }
    int screenNumber = 0;
    m_connection = xcb_connect(displayName.c_str(), &screenNumber);
    if (xcb_connection_has_error(m_connection) != 0) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; it.rem > 0 && i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    if (it.rem == 0) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    m_root = it.data->root;
    m_netWmName = Atom("_NET_WM_NAME");
    m_utf8String = Atom("UTF8_STRING");
    m_netWmPid = Atom("_NET_WM_PID");
    m_wmProtocols = Atom("WM_PROTOCOLS");
    m_wmDeleteWindow = Atom("WM_DELETE_WINDOW");
}

X11Windows::~X11Windows() {
    if (m_connection != nullptr) {
        xcb_disconnect(m_connection);
    }
}

std::string X11Windows::SessionDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display == nullptr ? std::string() : std::string(display);
}

bool X11Windows::Connected() const {
    return m_connection != nullptr && xcb_connection_has_error(m_connection) == 0;
}

std::uint32_t X11Windows::Atom(const char* name) {
    auto cookie =
        xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
    return reply ? reply->atom : static_cast<std::uint32_t>(XCB_ATOM_NONE);
}

bool X11Windows::TitleMatches(xcb_get_property_reply_t* netName, xcb_get_property_reply_t* wmName,
                              const std::string& title) const {
    auto text = [](xcb_get_property_reply_t* r) {
        return std::string(static_cast<const char*>(xcb_get_property_value(r)),
                           static_cast<std::size_t>(xcb_get_property_value_length(r)));
    };
    if (netName != nullptr && netName->type == m_utf8String && netName->format == 8 &&
        text(netName) == title) {
        return true;
    }
    if (wmName != nullptr && wmName->format == 8 && wmName->type != XCB_ATOM_NONE) {
        std::string name = text(wmName);
        // STRING is Latin-1; UTF8_STRING and plain-ASCII COMPOUND_TEXT compare as they are.
        if (wmName->type == XCB_ATOM_STRING) {
            name = Latin1ToUtf8(name);
        }
        return name == title;
    }
    return false;
}

bool X11Windows::OwnedByThisProcess(std::uint32_t window) {
    auto cookie = xcb_get_property(m_connection, 0, window, m_netWmPid, XCB_ATOM_CARDINAL, 0, 1);
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection, cookie, nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4) {
        return false;
    }
    std::uint32_t pid = 0;
    std::memcpy(&pid, xcb_get_property_value(reply.get()), sizeof pid);
    return pid == static_cast<std::uint32_t>(::getpid());
}

std::vector<std::uint32_t> X11Windows::FindWindows(const std::string& title) {
    std::vector<std::uint32_t> found;
    if (!Connected() || title.empty()) {
        return found;
    }
    std::vector<std::uint32_t> level{m_root};
    for (int depth = 0; depth < kSearchDepth && !level.empty(); ++depth) {
        std::vector<xcb_query_tree_cookie_t> cookies;
        cookies.reserve(level.size());
        for (auto window : level) {
            cookies.push_back(xcb_query_tree(m_connection, window));
        }
        std::vector<std::uint32_t> next;
        for (auto cookie : cookies) {
            // A window that went away meanwhile gives no reply; skip it.
            Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_connection, cookie, nullptr));
            if (!tree) {
                continue;
            }
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            const int count = xcb_query_tree_children_length(tree.get());
            next.insert(next.end(), children, children + count);
        }
        // All title requests of a level go out before the first answer is read.
        constexpr std::uint32_t kMaxWords = 1024; // 4 KiB of title is plenty
        std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> names;
        names.reserve(next.size());
        for (auto window : next) {
            names.emplace_back(
                xcb_get_property(m_connection, 0, window, m_netWmName, m_utf8String, 0, kMaxWords),
                xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_NAME,
                                 XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxWords));
        }
        std::vector<std::uint32_t> matching;
        for (std::size_t i = 0; i < next.size(); ++i) {
            Reply<xcb_get_property_reply_t> net(
                xcb_get_property_reply(m_connection, names[i].first, nullptr));
            Reply<xcb_get_property_reply_t> old(
                xcb_get_property_reply(m_connection, names[i].second, nullptr));
            if (TitleMatches(net.get(), old.get(), title)) {
                matching.push_back(next[i]);
            }
        }
        for (auto window : matching) {
            if (!OwnedByThisProcess(window)) {
                found.push_back(window);
            }
        }
        level = std::move(next);
    }
    return found;
}

bool X11Windows::WindowExists(const std::string& title) {
    return !FindWindows(title).empty();
}

int X11Windows::AskToClose(const std::string& title) {
    const auto windows = FindWindows(title);
    for (auto window : windows) {
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = m_wmProtocols;
        event.data.data32[0] = m_wmDeleteWindow;
        event.data.data32[1] = XCB_CURRENT_TIME;
        // No event mask: the event goes to the client that created the window.
        xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
    }
    if (!windows.empty()) {
        xcb_flush(m_connection);
    }
    return static_cast<int>(windows.size());
}

void X11Windows::PauseBetweenLooks() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    QThread::msleep(static_cast<unsigned long>(m_pause.count()));
}

} // namespace loomway
