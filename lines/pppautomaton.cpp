#include "lines/pppautomaton.h"

#include "lines/pppoptions.h"

namespace loomway {

using S = PppLayerState;
using namespace ppp;

namespace {

bool TimerRuns(S state) {
    return state == S::Closing || state == S::Stopping || state == S::RequestSent ||
           state == S::AckReceived || state == S::AckSent;
}

bool Negotiating(S state) {
    return state == S::RequestSent || state == S::AckReceived || state == S::AckSent;
}

} // namespace

PppAutomaton::PppAutomaton(std::uint16_t protocol, PppLayerOwner& owner, const Clock& clock)
    : m_protocol(protocol), m_owner(owner), m_clock(clock) {}

void PppAutomaton::Up() {
    if (m_state == S::Initial) {
        Move(S::Closed);
    } else if (m_state == S::Starting) {
        ResetOptions();
        m_failures = 0;
        InitializeRestartCount(kMaxConfigure);
        SendConfigureRequest();
        Move(S::RequestSent);
    }
}

void PppAutomaton::Down() {
    switch (m_state) {
    case S::Closed:
    case S::Closing:
        Move(S::Initial);
        break;
    case S::Opened:
        ThisLayerDown();
        Move(S::Starting);
        break;
    case S::Stopped:
    case S::Stopping:
    case S::RequestSent:
    case S::AckReceived:
    case S::AckSent:
        Move(S::Starting);
        break;
    default:
        break;
    }
}

void PppAutomaton::Open() {
    if (m_state == S::Initial) {
        Move(S::Starting);
    } else if (m_state == S::Closed) {
        ResetOptions();
        m_failures = 0;
        InitializeRestartCount(kMaxConfigure);
        SendConfigureRequest();
        Move(S::RequestSent);
    } else if (m_state == S::Closing) {
        Move(S::Stopping);
    }
}

void PppAutomaton::Close() {
    switch (m_state) {
    case S::Starting:
        Move(S::Initial);
        ThisLayerFinished();
        break;
    case S::Stopped:
        Move(S::Closed);
        break;
    case S::Stopping:
        Move(S::Closing);
        break;
    case S::Opened:
    case S::RequestSent:
    case S::AckReceived:
    case S::AckSent: {
        const bool opened = m_state == S::Opened;
        Move(S::Closing);
        if (opened) {
            ThisLayerDown();
        }
        InitializeRestartCount(kMaxTerminate);
        SendTerminateRequest();
        break;
    }
    default:
        break;
    }
}

void PppAutomaton::OnRestartTimer() {
    if (!TimerRuns(m_state)) {
        m_due.reset();
        return;
    }
    if (m_restartCount > 0) {
        if (m_state == S::Closing || m_state == S::Stopping) {
            SendTerminateRequest();
        } else {
            SendConfigureRequest(true);
            if (m_state == S::AckReceived) {
                Move(S::RequestSent);
            }
        }
        return;
    }
    const bool closing = m_state == S::Closing;
    Move(closing ? S::Closed : S::Stopped);
    ThisLayerFinished();
}

void PppAutomaton::Reset() {
    m_state = S::Initial;
    m_due.reset();
    m_peerTerminated = false;
}

void PppAutomaton::Receive(std::string_view bytes) {
    ControlPacketView packet;
    if (m_state == S::Initial || m_state == S::Starting || !ReadControlPacket(bytes, packet)) {
        return;
    }
    switch (packet.code) {
    case kConfigureRequest:
        ReceiveRequest(packet);
        return;
    case kConfigureAck:
    case kConfigureNak:
    case kConfigureReject: {
        if (Negotiating(m_state) || m_state == S::Opened) {
            if (packet.id != m_requestId || !WellFormedOptions(packet.data)) {
                return;
            }
            const bool fits = packet.code == kConfigureAck   ? packet.data == m_requestOptions
                              : packet.code == kConfigureNak ? TakeNak(packet.data)
                                                             : TakeReject(packet.data);
            if (!fits) {
                return;
            }
        }
        Handle(packet.code == kConfigureAck ? Event::Ack : Event::Nak, packet.id);
        return;
    }
    case kTerminateRequest:
        m_peerTerminated = true;
        Handle(Event::TerminateRequest, packet.id);
        return;
    case kTerminateAck:
        Handle(Event::TerminateAck, packet.id);
        return;
    case kCodeReject:
        // Losing one of the codes 1-7 leaves nothing to negotiate with.
        if (packet.data.size() >= 1 && static_cast<unsigned char>(packet.data[0]) >= 1 &&
            static_cast<unsigned char>(packet.data[0]) <= kCodeReject) {
            Handle(Event::FatalReject, packet.id);
        } else if (m_state == S::AckReceived) {
            Move(S::RequestSent);
        }
        return;
    default:
        if (!TakeOtherCode(packet)) {
            SendCodeReject(packet.whole);
        }
        return;
    }
}

void PppAutomaton::RejectedByPeer() {
    if (m_state != S::Initial && m_state != S::Starting) {
        Handle(Event::FatalReject, 0);
    }
}

void PppAutomaton::ReceiveRequest(const ControlPacketView& packet) {
    switch (m_state) {
    case S::Closed:
        SendTerminateAck(packet.id);
        return;
    case S::Closing:
    case S::Stopping:
        return;
    default:
        break;
    }
    if (!WellFormedOptions(packet.data)) {
        return;
    }
    if (m_state == S::Stopped) {
        ResetOptions(); // a new negotiation, started by the peer
        InitializeRestartCount(kMaxConfigure);
    }
    const Verdict verdict = JudgeRequest(packet.data, m_failures >= kMaxFailure);
    if (m_state == S::Opened) {
        ThisLayerDown();
    }
    const bool ack = verdict.code == kConfigureAck;
    m_failures = ack ? 0 : m_failures + 1;
    if (m_state == S::Stopped || m_state == S::Opened) {
        SendConfigureRequest();
    }
    Send(verdict.code, packet.id, ack ? std::string_view(packet.data) : verdict.options);
    switch (m_state) {
    case S::AckReceived:
        if (ack) {
            Move(S::Opened);
            ThisLayerUp();
        }
        return;
    default:
        Move(ack ? S::AckSent : S::RequestSent);
        return;
    }
}

void PppAutomaton::Handle(Event event, unsigned char id) {
    switch (m_state) {
    case S::Closed:
    case S::Stopped:
        if (event == Event::FatalReject) {
            ThisLayerFinished();
        } else if (event != Event::TerminateAck) {
            SendTerminateAck(id);
        }
        return;
    case S::Closing:
    case S::Stopping: {
        const bool closing = m_state == S::Closing;
        if (event == Event::TerminateRequest) {
            SendTerminateAck(id);
        } else if (event == Event::TerminateAck || event == Event::FatalReject) {
            Move(closing ? S::Closed : S::Stopped);
            ThisLayerFinished();
        }
        return;
    }
    case S::RequestSent:
    case S::AckReceived:
    case S::AckSent:
        switch (event) {
        case Event::Ack:
            if (m_state == S::RequestSent) {
                InitializeRestartCount(kMaxConfigure);
                Move(S::AckReceived);
            } else if (m_state == S::AckReceived) {
                SendConfigureRequest(); // a second Ack crossed ours
                Move(S::RequestSent);
            } else {
                InitializeRestartCount(kMaxConfigure);
                Move(S::Opened);
                ThisLayerUp();
            }
            return;
        case Event::Nak:
            if (m_state != S::AckReceived) {
                InitializeRestartCount(kMaxConfigure);
            }
            SendConfigureRequest();
            Move(m_state == S::AckSent ? S::AckSent : S::RequestSent);
            return;
        case Event::TerminateRequest:
            SendTerminateAck(id);
            Move(S::RequestSent);
            return;
        case Event::TerminateAck:
            if (m_state == S::AckReceived) {
                Move(S::RequestSent);
            }
            return;
        case Event::FatalReject:
            Move(S::Stopped);
            ThisLayerFinished();
            return;
        }
        return;
    case S::Opened:
        // The owner learns of the way down in the state it leads to.
        switch (event) {
        case Event::TerminateRequest:
            Move(S::Stopping);
            ThisLayerDown();
            m_restartCount = 0;
            SendTerminateAck(id);
            StartTimer();
            return;
        case Event::FatalReject:
            Move(S::Stopping);
            ThisLayerDown();
            InitializeRestartCount(kMaxTerminate);
            SendTerminateRequest();
            return;
        default:
            Move(S::RequestSent);
            ThisLayerDown();
            SendConfigureRequest();
            return;
        }
    default:
        return;
    }
}

void PppAutomaton::Move(S state) {
    m_state = state;
    if (!TimerRuns(state)) {
        m_due.reset();
    }
}

void PppAutomaton::SendConfigureRequest(bool retransmission) {
    if (!retransmission) {
        m_requestOptions = RequestOptions();
        m_requestId = NewId();
    }
    Send(kConfigureRequest, m_requestId, m_requestOptions);
    --m_restartCount;
    StartTimer();
}

void PppAutomaton::SendTerminateRequest() {
    Send(kTerminateRequest, NewId(), {});
    --m_restartCount;
    StartTimer();
}

void PppAutomaton::SendTerminateAck(unsigned char id) {
    Send(kTerminateAck, id, {});
}

void PppAutomaton::SendCodeReject(std::string_view packet) {
    // The head of the rejected packet is enough to tell which it was, and
    // keeps the reject within any MRU the peer may have asked for.
    Send(kCodeReject, NewId(), packet.substr(0, 60));
}

void PppAutomaton::StartTimer() {
    m_due = m_clock.SteadyMicros() + kRestartMicros;
}

void PppAutomaton::Send(unsigned char code, unsigned char id, std::string_view data) {
    m_owner.SendControl(m_protocol, ControlPacket(code, id, data));
}

void PppAutomaton::ThisLayerUp() {
    m_owner.LayerUp(m_protocol);
}

void PppAutomaton::ThisLayerDown() {
    m_owner.LayerDown(m_protocol);
}

void PppAutomaton::ThisLayerFinished() {
    m_owner.LayerFinished(m_protocol);
}

} // namespace loomway
