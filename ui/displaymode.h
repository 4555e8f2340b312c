#pragma once

#include <string>

namespace loomway {

// The fixed measures of the main window's arrangement, in twips.
inline constexpr double kTwipsPerPixel = 15.0;
inline constexpr double kLine1Top = 1170.0;         // L: bottom of the top strip
inline constexpr double kReceivePaneTop = 2370.0;   // T: txtReceive's top
inline constexpr double kReceivePaneHeight = 855.0; // H: txtReceive's height
inline constexpr double kNarrowWidth = 4425.0;
inline constexpr double kWideWidth = 6090.0;

// What SetDisplay does to the window for one mode text.
struct DisplayLayout {
    // Visibility of the four top-level menus (and so of the menu bar) and of
    // the status bar; applied for every mode text.
    bool menusVisible = true;
    bool statusBarVisible = true;
    // False for a text that is none of the four modes: nothing below applies.
    bool known = false;
    double width = 0;                // outer size, twips
    double height = 0;               // outer size, twips
    bool restoreNormalState = false; // "FULL" and "ALL"
    bool ledChecked = false;         // "LE&Ds "
    bool rateChecked = false;        // "&SND/RCV Rate"
    bool snifferChecked = false;     // "Data Sni&ffer"
};

// mode: "LED_ONLY", "SENDREC", "FULL" or "ALL", compared exactly.
// hideMenuChecked: the check mark of "H&ide Menu".
// statusBarTwips: the current height of the status bar, in twips.
DisplayLayout ComputeDisplay(const std::string& mode, bool hideMenuChecked, double statusBarTwips);

struct PixelSize {
    int width = 0;
    int height = 0;
};

// The client size in pixels for an outer size in twips, given the frame the
// window manager adds (title bar and borders; zero without a window manager).
PixelSize ClientSizeForOuter(double widthTwips, double heightTwips, int frameWidth,
                             int frameHeight);

} // namespace loomway
