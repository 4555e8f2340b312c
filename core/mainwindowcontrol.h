#pragma once

#include <string>

namespace loomway {

// The main window's views: the lamps alone, the lamps with the counters, and
// everything (Full keeps the bars hidden while "H&ide Menu" is checked, All
// shows them).
enum class DisplayMode { LedOnly, SendRec, Full, All };

// What start-up and exit need of the main window; implemented by the main
// window. Positions and sizes are in twips (15 twips per pixel).
class MainWindowControl {
public:
    virtual ~MainWindowControl() = default;

    virtual void SetCaption(const std::string& caption) = 0;

    // The screen the window is on, in twips.
    virtual long ScreenWidth() const = 0;
    virtual long ScreenHeight() const = 0;

    // The left and top edge of the window frame, in twips.
    virtual long Left() const = 0;
    virtual long Top() const = 0;
    virtual void MoveLeft(long twips) = 0;
    virtual void MoveTop(long twips) = 0;

    // Neither minimized nor maximized.
    virtual bool IsNormalState() const = 0;

    // The check mark of "H&ide Menu".
    virtual void SetHideMenuChecked(bool checked) = 0;
    virtual bool HideMenuChecked() const = 0;

    virtual void SetDisplay(DisplayMode mode) = 0;

    // Shows the serial communications dialog without making it modal; when it
    // is already open it is only raised, never opened twice.
    virtual void OpenCommSettingsDialog() = 0;

    // Ends the application at once: the event loop stops and no further event
    // of any window runs. May be called before the event loop has started.
    virtual void EndApplication() = 0;
};

} // namespace loomway
