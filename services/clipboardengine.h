#pragma once

#include "config/settings.h"
#include "core/chunktap.h"
#include "core/lamps.h"
#include "core/requestengine.h"
#include "core/requestframer.h"
#include "core/serialport.h"
#include "core/traffic.h"
#include "services/clipboard.h"

#include <string>

namespace loomway {

// The clipboard engine of the handheld stream: a request framed by "<LMW_C>"
// and "</LMW_C>" puts its body, with line feeds widened to CR LF, on the
// desktop clipboard and lights the clipboard lamp.
class ClipboardEngine : public RequestEngine {
public:
    ClipboardEngine(Clipboard& clipboard, LampPanel& lamps);

    Redirected Redirect(const std::string& chunk) override { return ClipboardRedirect(chunk); }

    // Says whether chunk completed a clipboard request.
    Redirected ClipboardRedirect(const std::string& chunk);

    // Everything received since the last complete request.
    const std::string& ClipboardBuffer() const { return m_framer.Buffer(); }

private:
    Clipboard& m_clipboard;
    LampPanel& m_lamps;
    RequestFramer m_framer;
};

// Every line feed becomes a carriage return followed by a line feed; every
// other character, carriage returns included, stays as it is.
std::string WidenLineFeeds(const std::string& text);

// Sends the desktop clipboard's text to the handheld, framed in the clipboard
// tags, while the clipboard method is on and the handheld port is open. The
// transfer is counted as received and shown in the received pane. A clipboard
// without text, an empty text, or a failed write does nothing more and says
// nothing. A transfer that was written is reported to tap, when given.
void SendToClipboard(const Settings& settings, SerialPort& handheld, Clipboard& clipboard,
                     Traffic& traffic, ChunkTap* tap = nullptr);

} // namespace loomway
