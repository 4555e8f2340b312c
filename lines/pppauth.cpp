#include "lines/pppauth.h"

#include <nettle/md5.h>

namespace loomway {

using namespace ppp;

namespace {

constexpr unsigned char kPapRequest = 1;
constexpr unsigned char kPapAck = 2;
constexpr unsigned char kPapNak = 3;
constexpr unsigned char kChapChallenge = 1;
constexpr unsigned char kChapResponse = 2;
constexpr unsigned char kChapSuccess = 3;
constexpr unsigned char kChapFailure = 4;
constexpr std::string_view kOurName = "loomway";
constexpr std::string_view kWelcome = "Welcome";
constexpr std::string_view kRefused = "wrong password";

// Compares without stopping at the first difference, so that the time taken
// tells nothing about how much of a secret was right.
bool SameBytes(std::string_view a, std::string_view b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return diff == 0;
}

std::string ChapMd5(unsigned char id, std::string_view secret, std::string_view challenge) {
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, 1, &id);
    md5_update(&md5, secret.size(), reinterpret_cast<const std::uint8_t*>(secret.data()));
    md5_update(&md5, challenge.size(), reinterpret_cast<const std::uint8_t*>(challenge.data()));
    std::string digest(MD5_DIGEST_SIZE, '\0');
    md5_digest(&md5, digest.size(), reinterpret_cast<std::uint8_t*>(digest.data()));
    return digest;
}

// A length-prefixed field at `at`; false when it runs past the end.
bool Field(std::string_view data, std::size_t& at, std::string_view& field) {
    if (at >= data.size()) {
        return false;
    }
    const std::size_t size = static_cast<unsigned char>(data[at]);
    if (size > data.size() - at - 1) {
        return false;
    }
    field = data.substr(at + 1, size);
    at += 1 + size;
    return true;
}

} // namespace

PppAuthenticator::PppAuthenticator(PppLayerOwner& owner, const Clock& clock)
    : m_owner(owner), m_clock(clock) {}

void PppAuthenticator::Begin(PppAuthProtocol protocol, std::string_view user,
                             std::string_view password, std::string_view challenge,
                             unsigned char id) {
    m_protocol = protocol;
    m_user = user;
    m_password = password;
    m_challenge = challenge.substr(0, kChallengeSize);
    m_id = id;
    m_result = PppAuthResult::Pending;
    m_challengesLeft = kMaxChallenges;
    if (protocol == PppAuthProtocol::Chap) {
        SendChallenge();
    } else {
        m_due = m_clock.SteadyMicros() + kRetryMicros * kMaxChallenges;
    }
}

void PppAuthenticator::Reset() {
    m_protocol = PppAuthProtocol::None;
    m_due.reset();
    m_result = PppAuthResult::Pending;
}

void PppAuthenticator::OnTimer() {
    m_due.reset();
    if (m_result != PppAuthResult::Pending) {
        return;
    }
    if (m_protocol == PppAuthProtocol::Chap && m_challengesLeft > 0) {
        SendChallenge();
    } else {
        m_result = PppAuthResult::NoAnswer;
    }
}

void PppAuthenticator::Receive(std::uint16_t protocol, std::string_view packet) {
    if (protocol == kPap && m_protocol == PppAuthProtocol::Pap) {
        ReceivePap(packet);
    } else if (protocol == kChap && m_protocol == PppAuthProtocol::Chap) {
        ReceiveChap(packet);
    }
}

void PppAuthenticator::ReceivePap(std::string_view bytes) {
    ControlPacketView packet;
    std::string_view name, password;
    std::size_t at = 0;
    if (!ReadControlPacket(bytes, packet) || packet.code != kPapRequest ||
        !Field(packet.data, at, name) || !Field(packet.data, at, password) ||
        m_result == PppAuthResult::Failed) {
        return;
    }
    const bool passed = m_result == PppAuthResult::Passed ||
                        (SameBytes(name, m_user) && SameBytes(password, m_password));
    std::string message(1, static_cast<char>(passed ? kWelcome.size() : kRefused.size()));
    message += passed ? kWelcome : kRefused;
    m_owner.SendControl(kPap, ControlPacket(passed ? kPapAck : kPapNak, packet.id, message));
    Decide(passed);
}

void PppAuthenticator::ReceiveChap(std::string_view bytes) {
    ControlPacketView packet;
    std::string_view value;
    std::size_t at = 0;
    if (!ReadControlPacket(bytes, packet) || packet.code != kChapResponse || packet.id != m_id ||
        !Field(packet.data, at, value) || m_result == PppAuthResult::Failed) {
        return;
    }
    const std::string_view name = packet.data.substr(at);
    const bool passed =
        m_result == PppAuthResult::Passed ||
        (SameBytes(name, m_user) && SameBytes(value, ChapMd5(m_id, m_password, m_challenge)));
    m_owner.SendControl(kChap, ControlPacket(passed ? kChapSuccess : kChapFailure, packet.id,
                                             passed ? kWelcome : kRefused));
    Decide(passed);
}

void PppAuthenticator::SendChallenge() {
    std::string data(1, static_cast<char>(m_challenge.size()));
    data += m_challenge;
    data += kOurName;
    m_owner.SendControl(kChap, ControlPacket(kChapChallenge, m_id, data));
    --m_challengesLeft;
    m_due = m_clock.SteadyMicros() + kRetryMicros;
}

void PppAuthenticator::Decide(bool passed) {
    m_due.reset();
    m_result = passed ? PppAuthResult::Passed : PppAuthResult::Failed;
}

} // namespace loomway
