#include "ui/displaymode.h"

#include <algorithm>
#include <cmath>

namespace loomway {

DisplayLayout ComputeDisplay(DisplayMode mode, bool hideMenuChecked, double statusBarTwips) {
    const double s = statusBarTwips;
    const double l = kLine1Top;
    const double t = kReceivePaneTop;
    const double h = kReceivePaneHeight;

    DisplayLayout layout;
    layout.menusVisible = !hideMenuChecked;
    layout.statusBarVisible = !hideMenuChecked;

    switch (mode) {
    case DisplayMode::LedOnly:
        layout.width = kNarrowWidth;
        layout.height = hideMenuChecked ? l : s * 2.4 + l;
        layout.ledChecked = true;
        break;
    case DisplayMode::All:
        layout.restoreNormalState = true;
        layout.height = s * 3.2 + (h + t + h / 5);
        layout.width = kWideWidth;
        layout.menusVisible = true;
        layout.statusBarVisible = true;
        layout.snifferChecked = true;
        break;
    case DisplayMode::SendRec:
        layout.height = hideMenuChecked ? l : s * 2.35 + l;
        layout.width = kWideWidth;
        layout.rateChecked = true;
        break;
    case DisplayMode::Full:
        layout.restoreNormalState = true;
        layout.height = hideMenuChecked ? s * 2.2 + (h + t + h / 5) : s * 3.2 + (h + t + h / 5);
        layout.width = kWideWidth;
        layout.snifferChecked = true;
        break;
    }
    return layout;
}

PixelSize ClientSizeForOuter(double widthTwips, double heightTwips, int frameWidth,
                             int frameHeight) {
    const auto pixels = [](double twips, int frame) {
        return std::max(1, static_cast<int>(std::lround(twips / kTwipsPerPixel)) - frame);
    };
    return {pixels(widthTwips, frameWidth), pixels(heightTwips, frameHeight)};
}

} // namespace loomway
