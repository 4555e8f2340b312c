// Arbitrary handheld streams through the print engine on a fixed-metrics
// surface. The first byte picks the surface's metrics and an operation that
// fails, the rest is the stream: once as one whole request body, once as raw
// chunks cut at every line feed. Checks that nothing crashes, that replies have
// their shape and that there is at most one reply per completed request.

#include "core/traffic.h"
#include "services/printengine.h"
#include "tests/support/fakes.h"
#include "tests/support/fixedmetricssurface.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using namespace loomway;

const char* const kFailures[] = {
    "",        "",        "",           "",          "SetOrientation", "Print",       "PrintLine",
    "NewPage", "EndDoc",  "PageHeight", "TextWidth", "DeviceName",     "SetFontBold", "PrintNumber",
    "Page",    "CurrentX"};

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckReplies(const test::FakeSerialPort& port, std::size_t before, bool completed) {
    const std::size_t sent = port.writes.size() - before;
    Require(sent <= (completed ? 1u : 0u));
    for (std::size_t i = before; i < port.writes.size(); ++i) {
        const std::string& reply = port.writes[i];
        Require(reply.rfind("<LMW_RSP>STA=", 0) == 0);
        Require(reply.size() >= 10 && reply.compare(reply.size() - 10, 10, "</LMW_RSP>") == 0);
    }
}

struct Run {
    test::FixedMetricsSurface surface;
    test::FakeSerialPort handheld;
    test::RecordingTrafficView view;
    Traffic traffic{view};
    test::RecordingLampPanel lamps;
    PrintEngine engine{surface, handheld, traffic, lamps};

    explicit Run(std::uint8_t config) {
        surface.record = false;
        handheld.forceOpen((config & 0x80) == 0);
        surface.printableWidth = (config & 0x40) ? 1 : 1000 + 37 * (config & 0x0f);
        if (config & 0x20) {
            surface.widths['i'] = 30;
            surface.widths['W'] = 250;
            surface.widths['\t'] = 0;
        }
        surface.failOn = kFailures[config & 0x0f];
        surface.failSkip = (config >> 4) & 0x03;
        surface.failCode = 482;
    }

    void feed(const std::string& chunk) {
        const std::size_t before = handheld.writes.size();
        const bool completed = engine.Redirect(chunk).completed;
        CheckReplies(handheld, before, completed);
        completions += completed ? 1 : 0;
        // The printer lamp is lit once per completed request, and by nothing else.
        Require(lamps.calls.size() == completions);
        Require(completions == 0 || lamps.calls.back().picture == LampPicture::PrinterOn);
    }

    std::size_t completions = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t config = data[0];
    const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);

    {
        Run run(config);
        run.feed("<LMW_P>" + stream + "</LMW_P>");
        // Completed, so the lamp was lit exactly once.
        Require(run.lamps.calls.size() == 1);
    }
    {
        Run run(config);
        std::size_t from = 0;
        while (from < stream.size()) {
            std::size_t end = stream.find('\n', from);
            end = end == std::string::npos ? stream.size() : end + 1;
            run.feed(stream.substr(from, end - from));
            from = end;
        }
        run.feed(std::string());
    }
    return 0;
}
