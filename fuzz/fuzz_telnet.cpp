// Arbitrary network bytes through the telnet codec, whole and in pieces, and
// two codecs negotiating; and arbitrary data through encode/decode.
#include "fuzz/fuzzcheck.h"
#include "lines/telnetcodec.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace loomway;

namespace {

// A reply holds only whole IAC WILL/WONT/DO/DONT option commands.
void WellFormed(const std::string& reply) {
    CHECK(reply.size() % 3 == 0);
    for (std::size_t i = 0; i < reply.size(); i += 3) {
        CHECK(static_cast<unsigned char>(reply[i]) == telnet::kIac);
        CHECK(static_cast<unsigned char>(reply[i + 1]) >= telnet::kWill);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const bool start = data.ConsumeBool();
    const std::size_t piece = data.ConsumeIntegralInRange<std::size_t>(1, 16);
    const std::string input = data.ConsumeRandomLengthString(4096);
    const std::string payload = data.ConsumeRemainingBytesAsString();

    TelnetCodec whole;
    TelnetCodec pieces;
    if (start) {
        whole.Start();
        pieces.Start();
    }
    const TelnetDecoded w = whole.Decode(input);
    WellFormed(w.reply);
    CHECK(w.data.size() <= input.size());
    std::string data2, reply2;
    std::size_t subs = 0;
    for (std::size_t i = 0; i < input.size(); i += piece) {
        const TelnetDecoded d = pieces.Decode(std::string_view(input).substr(i, piece));
        data2 += d.data;
        reply2 += d.reply;
        subs += d.subnegotiations.size();
    }
    CHECK(data2 == w.data && reply2 == w.reply && subs == w.subnegotiations.size());

    // Each request is answered at most once: every command holds one verb byte.
    std::size_t verbs = 0;
    for (char c : input) {
        verbs += static_cast<unsigned char>(c) >= telnet::kWill;
    }
    CHECK(w.reply.size() / 3 <= verbs);

    // Two ends agreeing to different options settle within two rounds.
    TelnetCodec left({static_cast<unsigned char>(piece), telnet::kEcho});
    TelnetCodec right({static_cast<unsigned char>(input.size() & 0xFF)});
    std::string toRight = left.Start();
    std::string toLeft = right.Start();
    for (int round = 0; !toLeft.empty() || !toRight.empty(); ++round) {
        CHECK(round < 3);
        const std::string next = left.Decode(toLeft).reply;
        toLeft = right.Decode(toRight).reply;
        toRight = next;
    }

    // Data crosses unchanged, in NVT or binary mode.
    TelnetCodec a;
    TelnetCodec b;
    if (start) {
        const std::string toB = a.Start();
        const std::string toA = b.Start();
        b.Decode(a.Decode(toA).reply + toB);
        a.Decode(b.Decode(std::string()).reply);
        CHECK(a.LocalEnabled(telnet::kBinary) && b.RemoteEnabled(telnet::kBinary));
    }
    std::string crossed;
    for (std::size_t i = 0; i < payload.size(); i += piece) {
        crossed += b.Decode(a.Encode(std::string_view(payload).substr(i, piece))).data;
    }
    CHECK(crossed == payload);
    return 0;
}
