#pragma once

#include <QPixmap>
#include <QString>

namespace loomway {

// Sizes are in device-independent pixels; each picture is drawn with
// devicePixelRatio device pixels per pixel, so it is sharp on a HiDPI screen.

// The main window's background picture, 500 x 400 pixels.
QPixmap MakeWindowBackground(qreal devicePixelRatio = 1.0);

// A pane's heading picture: a tab with its title along the top edge; the
// lower part lies under the pane.
QPixmap MakePaneHeading(int width, int height, const QString& title, qreal devicePixelRatio = 1.0);

} // namespace loomway
