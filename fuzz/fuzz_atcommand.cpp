// Arbitrary handheld bytes, far-end events and passing time through the
// built-in modem, with a link that checks it is used in order; and arbitrary
// port mappings and phonebook values through the endpoint parser.
#include "fuzz/fuzzcheck.h"
#include "lines/diallookup.h"
#include "lines/endpoint.h"
#include "lines/hayesmodem.h"
#include "tests/support/fakeclock.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

using namespace loomway;

namespace {

enum class Call { Idle, Dialing, Connected };

// Delays are never negative.
struct CheckedClock : test::FakeClock {
    void Start(std::int64_t ms) override {
        CHECK(ms >= 0);
        FakeClock::Start(ms);
    }
};

struct Rig : ModemLink, ModemSink {
    std::map<std::string, std::string> book; // phonebook entries by dial string
    CheckedClock clock;
    HayesModem modem{*this, clock, clock, *this, [this](const std::string& number) {
                         const auto entry = book.find(number);
                         return LookUpDialString(number, entry == book.end() ? "" : entry->second);
                     }};
    Call call = Call::Idle;
    std::string out;

    Rig() {
        clock.onTimer = [this] { modem.OnTimer(); };
    }

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
    rig.book["1"] = "tcp:h:1";
    rig.book["2"] = data.ConsumeRandomLengthString(32);
    while (data.remaining_bytes() > 0) {
        switch (data.ConsumeIntegralInRange(0, 7)) {
        case 0:
        case 1:
            rig.modem.FromHandheld(data.ConsumeRandomLengthString(40));
            break;
        case 2:
            rig.clock.Advance(data.ConsumeIntegralInRange(0, 6000));
            break;
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
