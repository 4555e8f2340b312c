#pragma once

class QAction;
class QMenu;
class QMenuBar;

namespace loomway {

// The main window's menu tree. Each menu and item carries the object name
// given in BuildMainMenus.
struct MainMenus {
    QMenu* m_file = nullptr;
    QMenu* m_reset = nullptr;
    QAction* m_clearSniffer = nullptr;
    QAction* m_resetBytes = nullptr;
    QAction* m_resetBoth = nullptr;
    QAction* m_capture = nullptr; // "Start &Capture..." / "Stop &Capture"
    QAction* m_exit = nullptr;
    QMenu* m_view = nullptr;
    QAction* m_leds = nullptr;
    QAction* m_rate = nullptr;
    QAction* m_dataSniffer = nullptr;
    QAction* m_viewSeparator = nullptr;
    QAction* m_hideMenu = nullptr;
    QAction* m_monitorSeparator = nullptr;
    QAction* m_monitor = nullptr; // the traffic monitor window
    QMenu* m_configure = nullptr;
    QAction* m_methods = nullptr;
    QAction* m_preferences = nullptr;
    QAction* m_commSettings = nullptr;
    QAction* m_ppp = nullptr; // the PPP gateway's settings
    QMenu* m_help = nullptr;
    QAction* m_homePage = nullptr;
    QAction* m_hotNews = nullptr;
    QAction* m_helpSeparator = nullptr;
    QAction* m_about = nullptr;
};

inline constexpr const char* kStartCaptureCaption = "Start &Capture...";
inline constexpr const char* kStopCaptureCaption = "Stop &Capture";

// Fills bar with the menus (captions, access keys, shortcuts, checkable
// items); the caller connects the actions.
MainMenus BuildMainMenus(QMenuBar& bar);

} // namespace loomway
