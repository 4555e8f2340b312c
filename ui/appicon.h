#pragma once

#include <QIcon>

namespace loomway {

// The program's icon, in every size rendered from its drawing.
QIcon ApplicationIcon();

} // namespace loomway
