// Arbitrary chunk sequences through both request framers, and through the data
// pump with in-memory ports, checked against a plain model of the framing that
// keeps every byte and searches from the start each time.
#include "core/datapump.h"
#include "core/requestframer.h"
#include "fuzz/fuzzcheck.h"
#include "fuzz/referenceframer.h"
#include "tests/support/fakes.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using namespace loomway;

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// One framer under test, its bounded model and the plain unbounded model, fed
// the same chunks.
struct Lane {
    Lane(const std::string& open, const std::string& close, std::size_t max)
        : open(open), close(close), max(max), framer(open, close, max), model(open, close, max),
          unbounded(open, close, std::numeric_limits<std::size_t>::max()) {}

    // Returns whether the chunk completed a request.
    bool Feed(const std::string& chunk, bool handBack) {
        stream += chunk;
        auto got = framer.Feed(chunk);
        auto want = model.Feed(chunk);
        auto plain = unbounded.Feed(chunk);
        CHECK(got.has_value() == want.has_value());
        if (model.abandoned == 0) {
            CHECK(got.has_value() == plain.has_value());
        }
        if (got) {
            CHECK(got->body == want->body && got->leftover == want->leftover);
            if (model.abandoned == 0) {
                CHECK(got->body == plain->body && got->leftover == plain->leftover);
            }
            // The request is the end of what came in: body, closing tag, leftover.
            CHECK(EndsWith(stream, got->body + close + got->leftover));
            CHECK(framer.Buffer().empty());
            const std::string back = handBack ? got->leftover : std::string();
            framer.SetBuffer(back);
            model.SetBuffer(back);
            unbounded.SetBuffer(back);
            if (!handBack) {
                stream.clear();
            }
        } else if (framer.Buffer().find(open) == std::string::npos) {
            CHECK(framer.Buffer().size() < open.size());
        } else {
            CHECK(framer.Buffer().compare(0, open.size(), open) == 0);
            CHECK(framer.Buffer().size() <= open.size() + max);
        }
        CHECK(EndsWith(stream, framer.Buffer()));
        return got.has_value();
    }

    std::string open, close;
    std::size_t max;
    RequestFramer framer;
    test::ReferenceFramer model;
    test::ReferenceFramer unbounded;
    std::string stream; // everything since the buffer last started empty
};

// An engine over a framer, for the pump.
class FramingEngine : public RequestEngine {
public:
    FramingEngine(std::string open, std::string close)
        : m_framer(std::move(open), std::move(close)) {}
    Redirected Redirect(const std::string& chunk) override {
        auto request = m_framer.Feed(chunk);
        if (!request) {
            return {};
        }
        m_framer.SetBuffer(request->leftover);
        return {true, request->tail};
    }

private:
    RequestFramer m_framer;
};

std::string Chunk(FuzzedDataProvider& data, bool tagAlphabet) {
    static const char alphabet[] = "<LMW_CP/>x";
    std::string chunk = data.ConsumeBytesAsString(data.ConsumeIntegralInRange<std::size_t>(0, 80));
    if (tagAlphabet) {
        for (char& c : chunk) {
            c = alphabet[static_cast<unsigned char>(c) % (sizeof alphabet - 1)];
        }
    }
    return chunk;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::uint8_t flags = data.ConsumeIntegral<std::uint8_t>();
    const bool handBack = (flags & 1) == 0;
    const bool tagAlphabet = (flags & 2) == 0;
    static const std::size_t limits[] = {0, 5, 40, RequestFramer::kMaxRequest};
    const std::size_t max = limits[(flags >> 2) & 3];

    Lane clip("<LMW_C>", "</LMW_C>", max);
    Lane print("<LMW_P>", "</LMW_P>", max);

    Settings settings;
    settings.SerialMethodOn = true;
    settings.PrintMethodOn = true;
    settings.ClipboardMethodOn = true;
    test::FakeSerialPort handheld;
    test::FakeSerialPort modem;
    handheld.forceOpen(true);
    modem.forceOpen(true);
    FramingEngine printEngine("<LMW_P>", "</LMW_P>");
    FramingEngine clipEngine("<LMW_C>", "</LMW_C>");
    test::RecordingTrafficView view;
    Traffic traffic(view);
    test::RecordingLampPanel lamps;
    DataPump pump(settings, handheld, modem, printEngine, clipEngine, traffic, lamps);
    handheld.SetReceiveHandler([&] { pump.OnHandheldData(); });
    modem.SetReceiveHandler([&] { pump.OnModemData(); });

    // What the pump's engines should conclude: they see only non-empty chunks
    // and always take their leftover back.
    test::ReferenceFramer printModel("<LMW_P>", "</LMW_P>", RequestFramer::kMaxRequest);
    test::ReferenceFramer clipModel("<LMW_C>", "</LMW_C>", RequestFramer::kMaxRequest);
    // When the chunk completes a request: how much of its end goes on, the
    // part behind every request that stands complete in the leftover.
    const auto completes = [](test::ReferenceFramer& model, const std::string& open,
                              const std::string& close,
                              const std::string& chunk) -> std::optional<std::size_t> {
        auto request = model.Feed(chunk);
        if (!request) {
            return std::nullopt;
        }
        model.SetBuffer(request->leftover);
        std::size_t from = 0;
        for (std::size_t o, c;
             (o = request->leftover.find(open, from)) != std::string::npos &&
             (c = request->leftover.find(close, o + open.size())) != std::string::npos;) {
            from = c + close.size();
        }
        return std::min(request->leftover.size() - from, chunk.size());
    };

    std::string forwarded;
    std::string relayedBack;
    std::string heldBack;
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    while (data.remaining_bytes() > 0) {
        const bool fromModem = data.ConsumeIntegralInRange<int>(0, 7) == 0;
        const std::string chunk = Chunk(data, tagAlphabet);
        if (fromModem) {
            const bool held = pump.ModemHeld();
            modem.arrive(chunk);
            if (held) {
                heldBack += chunk;
            } else {
                relayedBack += chunk;
                received += chunk.size();
            }
            CHECK(modem.BytesWaiting() == heldBack.size());
            continue;
        }
        print.Feed(chunk, handBack);
        clip.Feed(chunk, handBack);

        bool consumed = false;
        std::size_t tail = chunk.size();
        if (!chunk.empty()) {
            const auto printDone = completes(printModel, "<LMW_P>", "</LMW_P>", chunk);
            const auto clipDone = completes(clipModel, "<LMW_C>", "</LMW_C>", chunk);
            consumed = printDone || clipDone;
            tail = std::min(printDone.value_or(tail), clipDone.value_or(tail));
        }
        const int requeues = modem.requeues;
        handheld.arrive(chunk);
        CHECK(pump.RequestConsumed() == consumed);
        forwarded += chunk.substr(chunk.size() - tail);
        sent += chunk.size();
        CHECK(traffic.Count(Counter::Sent) == sent);
        CHECK(traffic.PaneText(Pane::Sent).size() <= 1000);
        // Held-back modem data is raised again once the hold ends: here at once,
        // as the handheld port has nothing left to write.
        CHECK(!pump.ModemHeld());
        CHECK(modem.requeues == requeues + (!heldBack.empty() ? 1 : 0));
        if (modem.requeues > requeues) {
            modem.raiseReceive();
            relayedBack += heldBack;
            received += heldBack.size();
            heldBack.clear();
            CHECK(modem.BytesWaiting() == 0);
        }
    }
    CHECK(modem.written == forwarded);
    CHECK(handheld.written == relayedBack);
    CHECK(traffic.Count(Counter::Received) == received);
    CHECK(traffic.PaneText(Pane::Received).size() <= 1000);
    return 0;
}
