#pragma once

#include "core/mainwindowcontrol.h"

namespace loomway {

// The fixed measures of the main window's arrangement, in twips.
inline constexpr double kTwipsPerPixel = 15.0;
inline constexpr double kLine1Top = 1170.0;         // L: bottom of the top strip
inline constexpr double kReceivePaneTop = 2370.0;   // T: the received pane's top
inline constexpr double kReceivePaneHeight = 855.0; // H: the received pane's height
inline constexpr double kNarrowWidth = 4425.0;
inline constexpr double kWideWidth = 6090.0;

// What SetDisplay does to the window for one mode.
struct DisplayLayout {
    // Visibility of the four top-level menus (and so of the menu bar) and of
    // the status bar.
    bool menusVisible = true;
    bool statusBarVisible = true;
    double width = 0;                // outer size, twips
    double height = 0;               // outer size, twips
    bool restoreNormalState = false; // Full and All
    bool ledChecked = false;         // "LE&Ds "
    bool rateChecked = false;        // "&SND/RCV Rate"
    bool snifferChecked = false;     // "Data Sni&ffer"
};

// hideMenuChecked: the check mark of "H&ide Menu".
// statusBarTwips: the current height of the status bar, in twips.
DisplayLayout ComputeDisplay(DisplayMode mode, bool hideMenuChecked, double statusBarTwips);

struct PixelSize {
    int width = 0;
    int height = 0;
};

// The client size in pixels for an outer size in twips, given the frame the
// window manager adds (title bar and borders; zero without a window manager).
PixelSize ClientSizeForOuter(double widthTwips, double heightTwips, int frameWidth,
                             int frameHeight);

} // namespace loomway
