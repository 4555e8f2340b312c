// The PPP server under arbitrary line bytes, in pieces of any size, with
// timer firings, IP packets and closes in between, with and without a
// password; and the frame describer over every frame seen. Checks that what
// goes out is always whole frames with a good FCS, that negotiation frames
// escape every control character, that output stays in proportion to input,
// and that IP is delivered only while online.
//
// Input: one byte of settings (bits 0-1: none, PAP, CHAP, CHAP with a user
// only), then records of an op byte (low 3 bits the op, the rest its
// argument):
//   0 raw: a length byte, then that many line bytes, fed in pieces of arg+1
//   1 frame: a 2-byte length, then frame content, framed here (arg bit 0:
//     leave control characters unescaped)
//   2 time: a byte, times 200 ms pass
//   3 the handheld acks our last Configure-Request
//   4 the handheld authenticates (arg bit 0: with the right password)
//   5 IP toward the handheld: a length byte, then the packet
//   6 Close   7 Start
#include "fuzz/fuzzcheck.h"
#include "lines/pppinspect.h"
#include "lines/pppserver.h"

#include <nettle/md5.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

using namespace loomway;

namespace {

std::uint16_t BitwiseFcs(std::string_view bytes) {
    std::uint16_t fcs = 0xFFFF;
    for (const char c : bytes) {
        fcs ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) {
            fcs = fcs & 1 ? (fcs >> 1) ^ 0x8408 : fcs >> 1;
        }
    }
    return static_cast<std::uint16_t>(~fcs);
}

std::string Framed(std::string_view content, bool escapeControls) {
    std::string bytes(content);
    const std::uint16_t fcs = BitwiseFcs(bytes);
    bytes += static_cast<char>(fcs & 0xFF);
    bytes += static_cast<char>(fcs >> 8);
    std::string line = "\x7E";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0x7E || b == 0x7D || (escapeControls && b < 0x20)) {
            line += '\x7D';
            line += static_cast<char>(b ^ 0x20);
        } else {
            line += c;
        }
    }
    return line + "\x7E";
}

struct Harness : PppSink, Clock, Timer {
    std::optional<PppServer> server;
    std::string lastRequest;   // our latest Configure-Request, LCP or IPCP
    std::string challenge;     // our latest CHAP Challenge
    std::size_t out = 0;       // bytes sent to the line
    std::size_t allowance = 0; // what the input so far can account for
    PppState state = PppState::Idle;
    std::int64_t now = 1'000'000;
    std::optional<std::int64_t> due;

    // One whole frame per call: flags at both ends only, escapes complete,
    // the FCS good, no longer than the largest MRU allows.
    void SendToLine(std::string_view bytes) override {
        CHECK(state != PppState::Ended && state != PppState::Idle);
        CHECK(bytes.size() >= 6 && bytes.front() == '\x7E' && bytes.back() == '\x7E');
        std::string frame;
        bool rawControl = false;
        for (std::size_t i = 1; i + 1 < bytes.size(); ++i) {
            CHECK(bytes[i] != '\x7E');
            rawControl = rawControl || static_cast<unsigned char>(bytes[i]) < 0x20;
            if (bytes[i] == '\x7D') {
                CHECK(i + 2 < bytes.size());
                frame += static_cast<char>(bytes[++i] ^ 0x20);
            } else {
                frame += bytes[i];
            }
        }
        CHECK(frame.size() >= 4 && frame.size() <= 2 + 2 + 65535 + 2);
        const std::string_view content = std::string_view(frame).substr(0, frame.size() - 2);
        CHECK(BitwiseFcs(content) == (static_cast<unsigned char>(frame[frame.size() - 1]) << 8 |
                                      static_cast<unsigned char>(frame[frame.size() - 2])));
        if (content.substr(0, 4) == "\xFF\x03\xC0\x21") {
            CHECK(content.size() >= 8);
            // LCP negotiation goes out with every control character escaped.
            CHECK(!rawControl || static_cast<unsigned char>(content[4]) > 7);
        }
        CHECK(!DescribePppFrame(content).empty());
        std::string_view body = content;
        if (body.substr(0, 2) == "\xFF\x03") {
            body.remove_prefix(2);
        }
        if (body.substr(0, 3) == "\xC0\x21\x01" || body.substr(0, 3) == "\x80\x21\x01") {
            lastRequest = body;
        } else if (body.substr(0, 3) == "\xC2\x23\x01") {
            challenge = body;
        }
        out += bytes.size();
    }
    void DeliverIpPacket(std::string_view packet) override {
        CHECK(state == PppState::Online);
        CHECK(!packet.empty() && packet.size() <= 1500 + 8);
        CHECK(!DescribePppFrame(std::string("\x00\x21", 2) + std::string(packet)).empty());
    }
    void OnStateChanged(PppState next, const std::string& detail) override {
        CHECK(next != state);
        CHECK(next != PppState::Ended || !detail.empty());
        state = next;
    }
    std::int64_t SteadyMicros() const override { return now; }
    std::int64_t WallMicros() const override { return now; }
    void Start(std::int64_t ms) override {
        CHECK(ms >= 0 && ms <= 31'000);
        due = now + ms * 1000;
    }
    void Stop() override { due.reset(); }

    void Advance(std::int64_t ms) {
        const std::int64_t target = now + ms * 1000;
        for (int firings = 0; due && *due <= target; ++firings) {
            CHECK(firings < 1000);
            now = *due;
            due.reset();
            allowance += 256; // a retransmission or an Echo-Request
            server->OnTimer();
        }
        now = target;
    }
    void Feed(std::string_view bytes) {
        // Answers echo at most what came (escaped, so twice) and a few packets more.
        allowance += 2 * bytes.size() + 512;
        server->ReceiveFromLine(bytes);
    }
};

std::string ChapResponse(std::string_view challenge, std::string_view password) {
    if (challenge.size() < 7 + 16) {
        return {};
    }
    const auto id = static_cast<std::uint8_t>(challenge[3]);
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, 1, &id);
    md5_update(&md5, password.size(), reinterpret_cast<const std::uint8_t*>(password.data()));
    md5_update(&md5, 16, reinterpret_cast<const std::uint8_t*>(challenge.data() + 7));
    std::string digest(16, '\0');
    md5_digest(&md5, 16, reinterpret_cast<std::uint8_t*>(digest.data()));
    std::string response = std::string("\xC2\x23\x02", 3) + static_cast<char>(id) + '\0' +
                           static_cast<char>(4 + 1 + 16 + 4) + '\x10' + digest + "palm";
    return response;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    if (input.empty()) {
        return 0;
    }
    const int mode = input[0] & 3;
    input.remove_prefix(1);
    PppConfig config;
    config.seed = 42;
    config.user = mode == 0 ? "" : "palm";
    config.password = mode == 1 || mode == 2 ? "secret" : "";
    config.auth = mode == 1 ? PppAuthProtocol::Pap : PppAuthProtocol::Chap;
    Harness h;
    h.server.emplace(config, h, h, h);
    h.allowance += 64;
    h.server->Start();

    auto take = [&input](std::size_t n) {
        const std::string_view piece = input.substr(0, n);
        input.remove_prefix(piece.size());
        return piece;
    };
    while (!input.empty()) {
        const auto op = static_cast<unsigned char>(take(1)[0]);
        const unsigned arg = op >> 3;
        switch (op & 7) {
        case 0: {
            const std::string_view bytes =
                take(input.empty() ? 0 : static_cast<unsigned char>(take(1)[0]));
            CHECK(!DescribePppFrame(bytes).empty());
            for (std::size_t i = 0; i < bytes.size(); i += arg + 1) {
                h.Feed(bytes.substr(i, arg + 1));
            }
            break;
        }
        case 1: {
            const std::string_view length = take(2);
            const std::size_t n = length.size() < 2 ? 0 : ppp::Get16(length, 0);
            const std::string_view content = take(n);
            CHECK(!DescribePppFrame(content).empty());
            h.Feed(Framed(content, (arg & 1) == 0));
            break;
        }
        case 2:
            h.Advance(input.empty() ? 0 : static_cast<unsigned char>(take(1)[0]) * 200);
            break;
        case 3:
            if (!h.lastRequest.empty()) {
                std::string ack = h.lastRequest;
                ack[2] = '\x02';
                h.Feed(Framed("\xFF\x03" + ack, true));
            }
            break;
        case 4: {
            const std::string password = arg & 1 ? config.password : "wrong";
            h.Feed(Framed("\xFF\x03" + ChapResponse(h.challenge, password), true));
            std::string pap = std::string("\xC0\x23\x01\x01\x00", 5) +
                              static_cast<char>(4 + 1 + 4 + 1 + password.size()) + "\x04palm" +
                              static_cast<char>(password.size()) + password;
            h.Feed(Framed("\xFF\x03" + pap, true));
            break;
        }
        case 5: {
            const std::string_view packet =
                take(input.empty() ? 0 : static_cast<unsigned char>(take(1)[0]));
            h.allowance += 2 * packet.size() + 16;
            const bool sent = h.server->SendIpPacket(packet);
            CHECK(!sent || h.state == PppState::Online);
            break;
        }
        case 6:
            h.allowance += 64;
            h.server->Close();
            break;
        default:
            h.allowance += 64;
            h.server->Start();
            break;
        }
        CHECK(h.out <= h.allowance);
        const PppCounters counters = h.server->Counters();
        CHECK(counters.ipOut <= size && counters.ipIn <= size);
    }
    return 0;
}
