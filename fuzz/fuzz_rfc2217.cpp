// Arbitrary server bytes through the RFC 2217 client codec, whole and in
// pieces: the same data, answers and remembered port state either way.
#include "fuzz/fuzzcheck.h"
#include "lines/rfc2217codec.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace loomway;

namespace {

bool Same(const RemotePortState& a, const RemotePortState& b) {
    return a.baudRate == b.baudRate && a.dataSize == b.dataSize && a.parity == b.parity &&
           a.stopSize == b.stopSize && a.lineState == b.lineState && a.modemState == b.modemState &&
           a.messages == b.messages;
}

// text with every occurrence of part taken out.
std::string Without(std::string text, const std::string& part) {
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part)) {
        text.erase(at, part.size());
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const auto baud = data.ConsumeIntegral<std::uint32_t>();
    const std::size_t piece = data.ConsumeIntegralInRange<std::size_t>(1, 16);
    const std::string input = data.ConsumeRemainingBytesAsString();

    Rfc2217Codec whole(baud);
    Rfc2217Codec pieces(baud);
    CHECK(whole.Start() == pieces.Start());
    const TelnetDecoded w = whole.Decode(input);
    std::string data2, reply2;
    for (std::size_t i = 0; i < input.size(); i += piece) {
        const TelnetDecoded d = pieces.Decode(std::string_view(input).substr(i, piece));
        data2 += d.data;
        reply2 += d.reply;
    }
    CHECK(data2 == w.data);
    CHECK(Same(whole.Remote(), pieces.Remote()));
    // The same answers, but the settings follow the piece that held the
    // server's agreement; they go out again at most once.
    const std::string settings = Rfc2217Codec::LineSettings(baud);
    const std::string wholeRest = Without(w.reply, settings);
    const std::string piecesRest = Without(reply2, settings);
    CHECK(wholeRest == piecesRest);
    CHECK(w.reply.size() - wholeRest.size() == reply2.size() - piecesRest.size());
    CHECK(w.reply.size() - wholeRest.size() <= settings.size());
    return 0;
}
