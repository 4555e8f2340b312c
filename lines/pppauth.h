#pragma once

#include "base/clock.h"
#include "lines/pppautomaton.h"
#include "lines/ppplcp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace loomway {

enum class PppAuthResult : unsigned char { Pending, Passed, Failed, NoAnswer };

// The authenticator's side of PAP (RFC 1334) and CHAP with MD5 (RFC 1994):
// the peer must give exactly the configured name and password.
// CHAP: the Challenge is sent at once and again every 3 s, up to 10 times.
// PAP: the peer has as long to send its Authenticate-Request.
// Once passed, a repeated request is answered with success again; once
// failed, nothing more is answered.
class PppAuthenticator {
public:
    static constexpr std::int64_t kRetryMicros = 3'000'000;
    static constexpr int kMaxChallenges = 10;
    static constexpr std::size_t kChallengeSize = 16;

    PppAuthenticator(PppLayerOwner& owner, const Clock& clock);

    // challenge: kChallengeSize random bytes (CHAP only).
    void Begin(PppAuthProtocol protocol, std::string_view user, std::string_view password,
               std::string_view challenge, unsigned char id);
    void Reset();

    // A packet of protocol (PAP or CHAP) from the peer.
    void Receive(std::uint16_t protocol, std::string_view packet);

    std::optional<std::int64_t> Due() const { return m_due; }
    void OnTimer();

    PppAuthResult Result() const { return m_result; }

private:
    void ReceivePap(std::string_view packet);
    void ReceiveChap(std::string_view packet);
    void SendChallenge();
    void Decide(bool passed);

    PppLayerOwner& m_owner;
    const Clock& m_clock;
    PppAuthProtocol m_protocol = PppAuthProtocol::None;
    std::string m_user;
    std::string m_password;
    std::string m_challenge;
    unsigned char m_id = 0;
    int m_challengesLeft = 0;
    std::optional<std::int64_t> m_due;
    PppAuthResult m_result = PppAuthResult::Pending;
};

} // namespace loomway
