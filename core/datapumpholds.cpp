// The pump's holds: modem data kept back after a request, and a way whose
// target port has a backlog or is awaited, told in panel 2 once it lasts.
#include "core/datapump.h"

namespace loomway {

void DataPump::Defer(Way& way) {
    way.deferred = true;
    if (m_noticeTimer != nullptr && !m_noticeTicking) {
        m_noticeTicking = true;
        m_noticeTimer->Start(1000);
    }
}

void DataPump::Resume(Way& way) {
    way.deferred = false;
    if (way.heldSeconds > 0) {
        way.heldSeconds = 0;
        ShowHolds();
    }
    if (m_noticeTicking && !m_toModem.deferred && !m_toHandheld.deferred) {
        m_noticeTicking = false;
        m_noticeTimer->Stop();
    }
}

// A deferred event whose ports have been closed since (switched off) holds
// nothing any more.
bool DataPump::StillHeld(const Way& way) const {
    try {
        return way.deferred && way.source.IsOpen() && Backlogged(way.target);
    } catch (const PortError&) {
        return false;
    }
}

void DataPump::OnNoticeTimer() {
    m_noticeTicking = false;
    for (Way* way : {&m_toModem, &m_toHandheld}) {
        way->heldSeconds = StillHeld(*way) ? way->heldSeconds + 1 : 0;
        if (way->heldSeconds > 0 && !m_noticeTicking) {
            m_noticeTicking = true;
            m_noticeTimer->Start(1000);
        }
    }
    ShowHolds();
}

void DataPump::ShowHolds() {
    if (m_noticePanel == nullptr) {
        return;
    }
    std::string text;
    for (const Way* way : {&m_toModem, &m_toHandheld}) {
        if (way->heldSeconds < kNoticeAfterSeconds) {
            continue;
        }
        std::size_t held = 0;
        try {
            held = way->source.BytesWaiting() +
                   (way->target.IsOpen() ? way->target.BytesToWrite() : 0);
        } catch (const PortError&) {
            // A failing port shows up at its next read; the notice still stands.
        }
        if (!text.empty()) {
            text += "; ";
        }
        text += "Waiting for the ";
        text += way->targetName;
        text += " port: ";
        text += held < 1024 ? std::to_string(held) + (held == 1 ? " byte" : " bytes")
                            : std::to_string(held / 1024) + " KiB";
        text += " held";
    }
    if (text != m_notice) {
        m_notice = text;
        m_noticePanel->ShowNotice(text);
    }
}

void DataPump::HoldModemData() {
    m_modemHeld = true;
    if (HandheldWritten()) {
        EndModemHold();
    } else if (m_requestHoldTimer != nullptr) {
        m_requestHoldTimer->Start(kRequestHoldMs);
    }
}

void DataPump::OnRequestHoldTimer() {
    if (m_modemHeld) {
        EndModemHold();
    }
}

void DataPump::EndModemHold() {
    if (m_modemHeld) {
        m_modemHeld = false;
        if (m_requestHoldTimer != nullptr) {
            m_requestHoldTimer->Stop();
        }
    }
    RequeueHeldModemData();
}

bool DataPump::HandheldWritten() const {
    try {
        return !m_handheld.IsOpen() || m_handheld.BytesToWrite() == 0;
    } catch (const PortError&) {
        return true;
    }
}

// The modem port signals only new arrivals, so bytes it held back while a
// request was being consumed would otherwise wait for the modem's next bytes.
void DataPump::RequeueHeldModemData() {
    try {
        if (m_modem.IsOpen() && m_modem.BytesWaiting() > 0) {
            m_modem.RequeueReceiveEvent();
        }
    } catch (const PortError&) {
        // A failing modem port shows up at its next read.
    }
}

} // namespace loomway
