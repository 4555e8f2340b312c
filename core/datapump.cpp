#include "core/datapump.h"

#include <algorithm>

namespace loomway {

namespace {

// Writes a chunk on the other port. A port that is not open or fails to take
// the bytes drops them: relaying goes on with the next chunk.
bool Forward(SerialPort& port, const std::string& chunk) {
    try {
        if (!port.IsOpen()) {
            return false;
        }
        port.Write(chunk);
        return true;
    } catch (const PortError&) {
        return false;
    }
}

// Everything waiting on an open port; nothing when the port is closed, has
// nothing waiting or fails to read.
std::string TakeChunk(SerialPort& port) {
    try {
        if (!port.IsOpen() || port.BytesWaiting() == 0) {
            return {};
        }
        return port.ReadAll();
    } catch (const PortError&) {
        return {};
    }
}

} // namespace

DataPump::DataPump(Settings& settings, SerialPort& handheld, SerialPort& modem,
                   RequestEngine& printEngine, RequestEngine& clipboardEngine, Traffic& traffic,
                   LampPanel& lamps)
    : m_settings(settings), m_handheld(handheld), m_modem(modem), m_print(printEngine),
      m_clipboard(clipboardEngine), m_traffic(traffic), m_lamps(lamps) {
    m_modem.SetWrittenHandler([this] { OnWritten(m_toModem); });
    m_handheld.SetWrittenHandler([this] {
        OnWritten(m_toHandheld);
        if (m_modemHeld && HandheldWritten()) {
            EndModemHold();
        }
    });
}

DataPump::~DataPump() {
    m_modem.SetWrittenHandler(nullptr);
    m_handheld.SetWrittenHandler(nullptr);
}

void DataPump::OnHandheldData() {
    if (Backlogged(m_modem)) {
        // Not handled yet: raised again once the modem has taken its backlog.
        Defer(m_toModem);
        return;
    }
    Resume(m_toModem);
    m_requestConsumed = false;
    const std::string chunk = TakeChunk(m_handheld);
    if (!chunk.empty()) {
        // When a request completed, only what follows it goes on.
        std::size_t tail = chunk.size();
        const auto redirect = [&](RequestEngine& engine) {
            if (const Redirected taken = engine.Redirect(chunk); taken.completed) {
                m_requestConsumed = true;
                tail = std::min(tail, taken.tail);
            }
        };
        if (m_settings.PrintMethodOn) {
            redirect(m_print);
        }
        if (m_settings.ClipboardMethodOn) {
            redirect(m_clipboard);
        }
        const std::size_t consumed = chunk.size() - tail;
        const std::string rest = consumed > 0 ? chunk.substr(consumed) : std::string();
        const std::string& passed = consumed > 0 ? rest : chunk;
        if (m_settings.SerialMethodOn && !passed.empty() && Forward(m_modem, passed)) {
            m_lamps.SetLamp(Lamp::ModemSend, LampPicture::ModemSendOn);
            m_lamps.SetLamp(Lamp::Receive, LampPicture::ReceiveOff);
        }
        m_traffic.CountBytes(Counter::Sent, chunk.size());
        m_traffic.AppendToPane(Pane::Sent, chunk);
        if (consumed > 0) {
            ReportChunk(m_tap, ChunkDirection::HandheldToModem, true, chunk.substr(0, consumed));
        }
        if (!passed.empty()) {
            ReportChunk(m_tap, ChunkDirection::HandheldToModem, false, passed);
        }
    }
    if (m_requestConsumed) {
        HoldModemData();
    } else {
        EndModemHold();
    }
}

void DataPump::OnModemData() {
    if (m_modemHeld) {
        // Left waiting in the port; raised again when the hold ends.
        return;
    }
    if (Backlogged(m_handheld)) {
        Defer(m_toHandheld);
        return;
    }
    Resume(m_toHandheld);
    RelayFromModem(TakeChunk(m_modem));
}

void DataPump::RelayFromModem(const std::string& chunk) {
    if (chunk.empty()) {
        return;
    }
    if (m_settings.SerialMethodOn) {
        Forward(m_handheld, chunk);
    }
    m_traffic.CountBytes(Counter::Received, chunk.size());
    m_lamps.SetLamp(Lamp::Receive, LampPicture::ReceiveOn);
    m_lamps.SetLamp(Lamp::ModemSend, LampPicture::ModemSendOff);
    m_traffic.AppendToPane(Pane::Received, chunk);
    ReportChunk(m_tap, ChunkDirection::ModemToHandheld, false, chunk);
}

// Only a chunk that would be forwarded can wait for the port it goes to:
// for its backlog, or for its device to come back.
bool DataPump::Backlogged(const SerialPort& target) const {
    if (!m_settings.SerialMethodOn) {
        return false;
    }
    if (m_awaited && m_awaited(target)) {
        return true;
    }
    try {
        return target.IsOpen() && target.BytesToWrite() > kBacklogLimit;
    } catch (const PortError&) {
        return false;
    }
}

void DataPump::OnWritten(Way& way) {
    if (!way.deferred) {
        return;
    }
    try {
        if (way.target.IsOpen() && way.target.BytesToWrite() > kBacklogLimit / 2) {
            return;
        }
        Resume(way);
        way.source.RequeueReceiveEvent();
    } catch (const PortError&) {
        Resume(way);
    }
}

void LampTimerTick(LampPanel& lamps) {
    lamps.SetLamp(Lamp::ModemSend, LampPicture::ModemSendOff);
    lamps.SetLamp(Lamp::Receive, LampPicture::ReceiveOff);
    lamps.SetLamp(Lamp::Clipboard, LampPicture::ClipboardOff);
    lamps.SetLamp(Lamp::Printer, LampPicture::PrinterOff);
}

} // namespace loomway
