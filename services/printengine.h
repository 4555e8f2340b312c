#pragma once

#include "core/chunktap.h"
#include "core/lamps.h"
#include "core/requestengine.h"
#include "core/requestframer.h"
#include "core/serialport.h"
#include "core/traffic.h"
#include "services/markuptag.h"
#include "services/pagelayout.h"
#include "services/printersurface.h"
#include "services/statusreply.h"

#include <optional>
#include <string>
#include <string_view>

namespace loomway {

// The print engine: collects "<LMW_P>" ... "</LMW_P>" requests from the
// handheld stream in PrintBuffer, prints each document of the print markup on
// the surface and, when the document asks for it with "SRESP", answers on the
// handheld port with the printer status reply.
class PrintEngine : public RequestEngine {
public:
    PrintEngine(PrinterSurface& surface, SerialPort& handheld, Traffic& traffic, LampPanel& lamps);

    Redirected Redirect(const std::string& chunk) override { return PrintRedirect(chunk); }

    // Says whether chunk completed a print request.
    Redirected PrintRedirect(const std::string& chunk);

    // Status replies written to the handheld are reported to tap (none by default).
    void SetChunkTap(ChunkTap* tap) { m_tap = tap; }

    const std::string& PrintBuffer() const { return m_framer.Buffer(); }
    int AlignMode() const { return m_layout.AlignMode(); }

private:
    struct Job {
        std::string_view body;
        bool statusRequested = false;
        bool replySent = false;
        StatusFields fields;
    };

    void RunJob(Job& job);
    void ProcessDocument(Job& job);
    void ApplyTag(const MarkupTagInfo& tag, Job& job);
    void FailJob(Job& job, const std::string& chunk, int code);

    PrinterSurface& m_surface;
    SerialPort& m_handheld;
    Traffic& m_traffic;
    LampPanel& m_lamps;
    ChunkTap* m_tap = nullptr;
    RequestFramer m_framer;
    PageLayout m_layout;
};

} // namespace loomway
