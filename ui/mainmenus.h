#pragma once

class QAction;
class QMenu;
class QMenuBar;

namespace loomway {

// The main window's menu tree; every element is named as in the window.
struct MainMenus {
    QMenu* m_file = nullptr;
    QMenu* m_reset = nullptr;
    QAction* m_clrSniff = nullptr;
    QAction* m_resetbytes = nullptr;
    QAction* m_resetboth = nullptr;
    QAction* m_capture = nullptr; // "Start &Capture..." / "Stop &Capture"
    QAction* m_exit = nullptr;
    QMenu* m_view = nullptr;
    QAction* m_led = nullptr;
    QAction* m_rate = nullptr;
    QAction* m_datsniff = nullptr;
    QAction* m_none = nullptr;
    QAction* m_hide = nullptr;
    QMenu* m_config = nullptr;
    QAction* m_method = nullptr;
    QAction* m_Prefs = nullptr;
    QAction* m_options = nullptr;
    QMenu* m_help = nullptr;
    QAction* m_lmwhome = nullptr;
    QAction* m_whatsnew = nullptr;
    QAction* m_helpSeparator = nullptr;
    QAction* m_about = nullptr;
};

inline constexpr const char* kStartCaptureCaption = "Start &Capture...";
inline constexpr const char* kStopCaptureCaption = "Stop &Capture";

// Fills bar with the menus (captions, access keys, shortcuts, checkable
// items); the caller connects the actions.
MainMenus BuildMainMenus(QMenuBar& bar);

} // namespace loomway
