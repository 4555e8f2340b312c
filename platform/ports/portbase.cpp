#include "platform/ports/portbase.h"

#include "platform/ports/guardedcall.h"
#include "platform/ports/porterrors.h"

#include <QMetaObject>

#include <utility>

namespace loomway {

PortBase::PortBase(const std::string& kind)
    : m_receiveWhat(kind + " receive handler"), m_lostWhat(kind + " lost handler") {}

void PortBase::SetPortNumber(int number) {
    if (number < 0) {
        throw InvalidProperty();
    }
    if (IsOpen()) {
        throw PortAlreadyOpen();
    }
    m_number = number;
}

void PortBase::SetReceiveHandler(std::function<void()> handler) {
    m_receive = std::move(handler);
}

void PortBase::SetLostHandler(std::function<void(const PortError&)> handler) {
    m_lost = std::move(handler);
}

void PortBase::SetWrittenHandler(std::function<void()> handler) {
    m_written = std::move(handler);
}

void PortBase::BeginOpening() {
    ++m_openCount;
    m_lostPending = false;
    m_missedReceive = false;
}

void PortBase::OnArrival() {
    if (m_inReceive) {
        m_missedReceive = true;
        return;
    }
    RaiseReceive();
}

void PortBase::RaiseReceive() {
    if (!m_receive) {
        return;
    }
    ReceiveStarting();
    m_inReceive = true;
    GuardedCall(m_receiveWhat.c_str(), m_receive);
    m_inReceive = false;
    if (std::exchange(m_missedReceive, false) || ArrivedUnsignalled()) {
        RequeueReceiveEvent();
    }
}

void PortBase::RaiseWritten() {
    if (m_written) {
        m_written();
    }
}

void PortBase::CallReceiveHandler() {
    if (m_receive) {
        m_receive();
    }
}

void PortBase::CallLostHandler(const PortError& error) {
    if (m_lost) {
        m_lost(error);
    }
}

template <typename Call> void PortBase::QueueOnce(bool& pending, Call call) {
    if (pending) {
        return;
    }
    pending = true;
    const std::uint64_t opening = m_openCount;
    QMetaObject::invokeMethod(
        &m_context,
        [this, &pending, opening, call] {
            pending = false;
            call(opening == m_openCount);
        },
        Qt::QueuedConnection);
}

void PortBase::RequeueReceiveEvent() {
    // Also when the opening has changed since: OnRequeuedReceive looks only at
    // what waits now, and a request made after a new opening found this one
    // still queued and relies on it.
    QueueOnce(m_requeuePending, [this](bool) { OnRequeuedReceive(); });
}

void PortBase::ReportLost(const PortError& error) {
    QueueOnce(m_lostPending, [this, error](bool sameOpening) {
        LostEventDue();
        if (sameOpening && !IsOpen() && m_lost) {
            GuardedCall(m_lostWhat.c_str(), [&] { m_lost(error); });
        }
    });
}

} // namespace loomway
