#include "lines/ppplcp.h"

#include "lines/pppoptions.h"

namespace loomway {

using namespace ppp;

namespace {

constexpr unsigned char kMru = 1;
constexpr unsigned char kAccm = 2;
constexpr unsigned char kAuthProtocol = 3;
constexpr unsigned char kMagicNumber = 5;
constexpr unsigned char kPfc = 7;
constexpr unsigned char kAcfc = 8;
constexpr unsigned char kChapMd5 = 5;
constexpr std::size_t kSmallestMru = 64;

PppAuthProtocol Other(PppAuthProtocol protocol) {
    return protocol == PppAuthProtocol::Chap ? PppAuthProtocol::Pap : PppAuthProtocol::Chap;
}

} // namespace

PppLcp::PppLcp(PppLayerOwner& owner, const Clock& clock, PppRandom& random)
    : PppAutomaton(kLcp, owner, clock), m_random(random) {}

void PppLcp::ResetOptions() {
    m_auth = m_authFirst;
    m_otherAuthTried = false;
    m_authRefused = false;
    m_sendAccm = true;
    m_accm = 0;
    m_sendMagic = true;
    m_magic = m_random.NextMagic();
    m_sendPfc = true;
    m_sendAcfc = true;
    m_loops = 0;
    m_peer = {};
}

std::string PppLcp::RequestOptions() {
    std::string options;
    if (m_sendAccm) {
        options += Option32(kAccm, m_accm);
    }
    if (m_auth == PppAuthProtocol::Pap) {
        options += Option(kAuthProtocol, "\xC0\x23");
    } else if (m_auth == PppAuthProtocol::Chap) {
        options += Option(kAuthProtocol, "\xC2\x23\x05");
    }
    if (m_sendMagic) {
        options += Option32(kMagicNumber, m_magic);
    }
    if (m_sendPfc) {
        options += Option(kPfc, {});
    }
    if (m_sendAcfc) {
        options += Option(kAcfc, {});
    }
    return options;
}

PppAutomaton::Verdict PppLcp::JudgeRequest(std::string_view options, bool naksAsRejects) {
    PeerOptions peer;
    std::string naks, naked, rejects;
    PppOptionReader reader(options);
    PppOption o;
    while (reader.Next(o)) {
        const std::size_t size = o.value.size();
        if (o.type == kMru && size == 2 && Get16(o.value, 0) >= kSmallestMru) {
            peer.mru = Get16(o.value, 0);
        } else if (o.type == kMru && size == 2) {
            naks += Option(kMru, "\x05\xDC"); // 1500
            naked += o.whole;
        } else if (o.type == kAccm && size == 4) {
            peer.accm = Get32(o.value, 0);
        } else if (o.type == kMagicNumber && size == 4) {
            const std::uint32_t magic = Get32(o.value, 0);
            const bool ours = m_sendMagic && magic == m_magic;
            if (magic != 0 && !ours) {
                continue;
            }
            if (ours) {
                // Our own request came back, or the peer happened to pick the
                // same number: both of us choose again.
                ++m_loops;
                m_magic = m_random.NextMagic(magic);
            }
            naks += Option32(kMagicNumber, m_random.NextMagic(m_magic));
            naked += o.whole;
        } else if ((o.type == kPfc || o.type == kAcfc) && size == 0) {
            (o.type == kPfc ? peer.pfc : peer.acfc) = true;
        } else {
            rejects += o.whole;
        }
    }
    if (!rejects.empty() || (!naks.empty() && naksAsRejects)) {
        return {kConfigureReject, rejects.empty() ? naked : rejects};
    }
    if (!naks.empty()) {
        return {kConfigureNak, naks};
    }
    m_peer = peer;
    return {kConfigureAck, {}};
}

bool PppLcp::TakeNak(std::string_view options) {
    PppOptionReader reader(options);
    PppOption o;
    while (reader.Next(o)) {
        if (o.type == kAccm && o.value.size() == 4 && m_sendAccm) {
            m_accm = Get32(o.value, 0);
        } else if (o.type == kMagicNumber && o.value.size() == 4 && m_sendMagic) {
            m_magic = m_random.NextMagic(Get32(o.value, 0));
        } else if (o.type == kAuthProtocol && o.value.size() >= 2 &&
                   m_auth != PppAuthProtocol::None) {
            const std::uint16_t wanted = Get16(o.value, 0);
            const bool md5 =
                o.value.size() == 3 && static_cast<unsigned char>(o.value[2]) == kChapMd5;
            TryOtherAuth(wanted == kPap           ? PppAuthProtocol::Pap
                         : wanted == kChap && md5 ? PppAuthProtocol::Chap
                                                  : PppAuthProtocol::None);
        } else if (o.type == kPfc) {
            m_sendPfc = false;
        } else if (o.type == kAcfc) {
            m_sendAcfc = false;
        }
    }
    return !m_authRefused; // with no authentication left to ask for, the owner ends it
}

bool PppLcp::TakeReject(std::string_view options) {
    PppOptionReader reader(options);
    PppOption o;
    while (reader.Next(o)) {
        switch (o.type) {
        case kAccm:
            m_sendAccm = false;
            break;
        case kAuthProtocol:
            m_authRefused = m_auth != PppAuthProtocol::None;
            break;
        case kMagicNumber:
            m_sendMagic = false;
            break;
        case kPfc:
            m_sendPfc = false;
            break;
        case kAcfc:
            m_sendAcfc = false;
            break;
        default:
            break;
        }
    }
    return !m_authRefused;
}

void PppLcp::TryOtherAuth(PppAuthProtocol suggested) {
    if (suggested == m_auth) {
        return; // a Nak asking for what we asked for changes nothing
    }
    if (m_otherAuthTried) {
        m_authRefused = true;
        return;
    }
    m_otherAuthTried = true;
    m_auth = Other(m_auth);
}

bool PppLcp::TakeOtherCode(const ControlPacketView& packet) {
    switch (packet.code) {
    case kEchoRequest:
        if (IsOpened() && packet.data.size() >= 4) {
            std::string reply;
            Put32(reply, m_sendMagic ? m_magic : 0);
            reply += packet.data.substr(4);
            Send(kEchoReply, packet.id, reply);
        }
        return true;
    case kProtocolReject:
    case kEchoReply:
    case kDiscardRequest:
        return true; // the owner looks at Protocol-Rejects; any good frame shows the peer alive
    default:
        return false;
    }
}

void PppLcp::SendEchoRequest() {
    std::string magic;
    Put32(magic, m_sendMagic ? m_magic : 0);
    Send(kEchoRequest, NewId(), magic);
}

void PppLcp::SendProtocolReject(std::uint16_t protocol, std::string_view information) {
    std::string data;
    Put16(data, protocol);
    data += information.substr(0, m_peer.mru - 4 - data.size());
    Send(kProtocolReject, NewId(), data);
}

} // namespace loomway
