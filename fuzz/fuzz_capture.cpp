// Arbitrary chunks in every direction through the marks, the chunk store and
// both capture writers. The pppdump records are read back and must give the
// chunks' bytes in order, each under its direction; the store must stay
// within its budget and keep its rows in sequence.
#include "capture/captureencoder.h"
#include "capture/chunkmarker.h"
#include "capture/chunkstore.h"
#include "fuzz/fuzzcheck.h"
#include "tests/support/fakeclock.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace loomway;

namespace {

// Reads pppdump records back: the bytes sent and the bytes received, in
// order, and the time in tenths; false when a record is malformed.
bool ReadPppdump(const std::string& file, std::string& sent, std::string& received,
                 std::int64_t& tenths) {
    std::size_t at = 0;
    const auto byte = [&file, &at] { return static_cast<std::uint8_t>(file[at++]); };
    while (at < file.size()) {
        const std::uint8_t code = byte();
        if (code == 0x07 || code == 0x05) {
            if (file.size() - at < 4) {
                return false;
            }
            std::uint32_t value = 0;
            for (int i = 0; i < 4; ++i) {
                value = value << 8 | byte();
            }
            tenths = code == 0x05 ? tenths + value : 0;
        } else if (code == 0x06) {
            if (at >= file.size()) {
                return false;
            }
            tenths += byte();
        } else if (code == 0x01 || code == 0x02) {
            if (file.size() - at < 2) {
                return false;
            }
            const std::size_t length = std::size_t(byte()) << 8 | byte();
            if (length == 0 || file.size() - at < length) {
                return false;
            }
            (code == 0x01 ? sent : received).append(file, at, length);
            at += length;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    test::FakeClock clock;
    ChunkStore store(clock, input.ConsumeIntegralInRange<std::size_t>(1, 4096));
    ChunkMarker marker;
    auto pppdump = MakeCaptureEncoder(CaptureFormat::Pppdump);
    auto hexLog = MakeCaptureEncoder(CaptureFormat::HexLog);
    std::string pppFile = pppdump->Begin(clock.WallMicros(), clock.steady);
    std::string hexFile = hexLog->Begin(clock.WallMicros(), clock.steady);
    std::string sent;
    std::string received;
    std::uint64_t chunks = 0;
    std::int64_t lastChunkSteady = 0;
    while (input.remaining_bytes() > 0) {
        const auto direction = static_cast<ChunkDirection>(input.ConsumeIntegralInRange(0, 2));
        const bool consumed = input.ConsumeBool();
        clock.steady += input.ConsumeIntegralInRange<std::int64_t>(0, 100'000'000);
        const std::string chunk = input.ConsumeRandomLengthString(100000);
        if (chunk.empty()) {
            continue; // a port never reports an empty chunk
        }
        const std::string marks = marker.Mark(direction, chunk);
        CHECK(marks.size() < 2000);
        store.OnChunk(direction, consumed, chunk);
        ++chunks;
        lastChunkSteady = clock.steady;
        CHECK(store.BytesUsed() <= store.Budget() || store.Rows() == 1);
        CHECK(store.Row(store.Rows() - 1).bytes == chunk);
        CHECK(store.Row(store.Rows() - 1).marks == marks);
        CHECK(store.Dropped() + store.Rows() == chunks);
        const CapturedChunk captured{direction, consumed, chunk, clock.steady, marks};
        pppdump->Encode(captured, pppFile);
        hexLog->Encode(captured, hexFile);
        (direction == ChunkDirection::HandheldToModem ? sent : received) += chunk;
    }
    std::string readSent;
    std::string readReceived;
    std::int64_t tenths = 0;
    CHECK(ReadPppdump(pppFile, readSent, readReceived, tenths));
    CHECK(readSent == sent);
    CHECK(readReceived == received);
    CHECK(tenths == lastChunkSteady / 100000);
    CHECK(hexFile.size() >= 3 * (sent.size() + received.size()));
    return 0;
}
