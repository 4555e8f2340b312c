#pragma once

#include <QPixmap>
#include <QString>

namespace loomway {

// The main window's background picture, 500 x 400 pixels.
QPixmap MakeWindowBackground();

// A pane's heading picture: a tab with its title along the top edge; the
// lower part lies under the pane.
QPixmap MakePaneHeading(int width, int height, const QString& title);

} // namespace loomway
