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

void PortBase::RequeueReceiveEvent() {
    if (m_requeuePending) {
        return;
    }
    m_requeuePending = true;
    const std::uint64_t opening = m_openCount;
    QMetaObject::invokeMethod(
        &m_context,
        [this, opening] {
            m_requeuePending = false;
            if (opening == m_openCount) {
                OnRequeuedReceive();
            }
        },
        Qt::QueuedConnection);
}

void PortBase::ReportLost(const PortError& error) {
    if (m_lostPending) {
        return;
    }
    m_lostPending = true;
    const std::uint64_t opening = m_openCount;
    QMetaObject::invokeMethod(
        &m_context,
        [this, opening, error] {
            m_lostPending = false;
            LostEventDue();
            if (opening != m_openCount || IsOpen() || !m_lost) {
                return;
            }
            GuardedCall(m_lostWhat.c_str(), [&] { m_lost(error); });
        },
        Qt::QueuedConnection);
}

} // namespace loomway
