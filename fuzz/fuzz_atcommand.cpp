// Arbitrary handheld bytes, far-end events and passing time through the
// built-in modem, with a link that checks it is used in order; and arbitrary
// port mappings and phonebook values through the endpoint parser.
#include "lines/endpoint.h"
#include "lines/hayesmodem.h"
#include "tests/support/fakes.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

using namespace loomway;

namespace {

[[noreturn]] void Fail(const char* what, int line) {
    std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
    std::abort();
}
#define CHECK(condition) ((condition) ? (void)0 : Fail(#condition, __LINE__))

enum class Call { Idle, Dialing, Connected };

struct Rig : ModemLink, ModemClock, ModemSink {
    test::MemoryProfileFile book;
    HayesModem modem{*this, *this, *this, &book};
    Call call = Call::Idle;
    std::int64_t now = 0;
    std::optional<std::int64_t> due;
    std::string out;

    void Dial(const DialTarget& target) override {
        CHECK(call == Call::Idle);
        CHECK(target.endpoint.kind != EndpointKind::SerialDevice &&
              target.endpoint.kind != EndpointKind::Modem);
        call = Call::Dialing;
    }
    void Write(const std::string& bytes) override {
        CHECK(call == Call::Connected);
        CHECK(!bytes.empty());
    }
    void HangUp() override {
        CHECK(call != Call::Idle);
        call = Call::Idle;
    }
    std::int64_t NowMs() const override { return now; }
    void StartTimer(std::int64_t ms) override {
        CHECK(ms >= 0);
        due = now + ms;
    }
    void StopTimer() override { due.reset(); }
    void ToHandheld(const std::string& bytes) override { out += bytes; }

    void Agrees() const {
        const ModemState s = modem.State();
        CHECK((s == ModemState::Command) == (call == Call::Idle));
        CHECK((s == ModemState::Dialing) == (call == Call::Dialing));
        CHECK((s == ModemState::Online || s == ModemState::Escaped) == (call == Call::Connected));
    }
};

void Endpoints(const std::string& text) {
    for (EndpointUse use : {EndpointUse::Port, EndpointUse::Phonebook}) {
        const EndpointParse r = ParseEndpoint(text, use);
        CHECK(r.endpoint.has_value() == r.error.empty());
        if (r.endpoint) {
            const EndpointParse again = ParseEndpoint(EndpointText(*r.endpoint), use);
            CHECK(again.endpoint == r.endpoint);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    Endpoints(data.ConsumeRandomLengthString(64));

    Rig rig;
    rig.book.set("Phonebook", "1", "tcp:h:1");
    rig.book.set("Phonebook", "2", data.ConsumeRandomLengthString(32));
    while (data.remaining_bytes() > 0) {
        switch (data.ConsumeIntegralInRange(0, 7)) {
        case 0:
        case 1:
            rig.modem.FromHandheld(data.ConsumeRandomLengthString(40));
            break;
        case 2: {
            const std::int64_t target = rig.now + data.ConsumeIntegralInRange(0, 6000);
            while (rig.due && *rig.due <= target) {
                rig.now = *rig.due;
                rig.due.reset();
                rig.modem.OnTimer();
            }
            rig.now = target;
            break;
        }
        case 3:
            if (rig.call == Call::Dialing) {
                const int outcome = data.ConsumeIntegralInRange(0, 3);
                rig.call = outcome == 0 ? Call::Connected : Call::Idle;
                rig.modem.OnDialResult(static_cast<DialOutcome>(outcome));
            }
            break;
        case 4:
            if (rig.call == Call::Connected) {
                const std::string far = data.ConsumeRandomLengthString(40);
                const bool online = rig.modem.State() == ModemState::Online;
                rig.out.clear();
                rig.modem.OnLinkData(far);
                CHECK(rig.out == (online ? far : std::string()));
            }
            break;
        case 5:
            if (rig.call == Call::Connected) {
                rig.call = Call::Idle;
                rig.modem.OnLinkDropped();
            }
            break;
        case 6:
            rig.modem.FromHandheld(data.PickValueInArray(
                {"ATD1\r", "ATD2\r", "+++", "ATO\r", "ATH\r", "ATS12=1\r", "ATV0\r", "A/"}));
            break;
        default:
            rig.modem.Reset();
            break;
        }
        rig.Agrees();
    }
    return 0;
}
