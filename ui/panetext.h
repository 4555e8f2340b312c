#pragma once

#include <QString>

#include <string>

namespace loomway {

// The text a data pane shows for bytes: one character per byte, Latin-1,
// except that the control bytes below 32 other than line feed, and 127, are
// shown as their Unicode control pictures (NUL as U+2400 ...), so that no
// byte cuts off or garbles what follows it.
QString PaneDisplayText(const std::string& bytes);
QString PaneDisplayText(const char* data, std::size_t size);

} // namespace loomway
