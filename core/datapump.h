#pragma once

#include "base/clock.h"
#include "config/settings.h"
#include "core/chunktap.h"
#include "core/lamps.h"
#include "core/requestengine.h"
#include "core/serialport.h"
#include "core/statuspanel.h"
#include "core/traffic.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

namespace loomway {

// Moves chunks between the handheld port and the modem port and hands every
// handheld chunk to the request engines.
//
// A port that is slower than the one feeding it does not make the program
// hoard the difference: while more than kBacklogLimit bytes wait to be written
// on the port a chunk would go to, the receive event of its source is put off
// (nothing is read, nothing changes) and raised again once that backlog has
// fallen under half the limit. The pump installs the ports' written handlers
// itself and removes them when it goes.
class DataPump {
public:
    static constexpr std::size_t kBacklogLimit = 64 * 1024;
    static constexpr std::int64_t kRequestHoldMs = 1000;
    static constexpr int kNoticeAfterSeconds = 5;

    DataPump(Settings& settings, SerialPort& handheld, SerialPort& modem,
             RequestEngine& printEngine, RequestEngine& clipboardEngine, Traffic& traffic,
             LampPanel& lamps);
    ~DataPump();
    DataPump(const DataPump&) = delete;
    DataPump& operator=(const DataPump&) = delete;

    void OnHandheldData();
    void OnModemData();
    // Bytes from the modem side that did not come through its port (the
    // gateway's words at a switch-off) go to the handheld as a chunk of its own.
    void RelayFromModem(const std::string& chunk);

    // The latest handheld chunk completed a request.
    bool RequestConsumed() const { return m_requestConsumed; }
    // Modem data waits after a request, so that what the program answered
    // reaches the handheld first: until the handheld port has written all it
    // was given, or its next chunk, or kRequestHoldMs at most (once a timer is
    // set): a serial modem has no flow control to hold it back meanwhile.
    bool ModemHeld() const { return m_modemHeld; }
    void SetRequestHoldTimer(Timer* timer) { m_requestHoldTimer = timer; }
    void OnRequestHoldTimer();

    // A way through the pump that has been held (for a backlog or an awaited
    // device) for kNoticeAfterSeconds or more is shown on panel's notice with
    // what it holds, until the hold ends. timer ticks each second meanwhile.
    void SetHoldNotice(StatusPanel* panel, Timer* timer) {
        m_noticePanel = panel;
        m_noticeTimer = timer;
    }
    void OnNoticeTimer();

    // Every chunk read from either port is reported to tap (none by default).
    void SetChunkTap(ChunkTap* tap) { m_tap = tap; }
    // While awaited(port) holds for the port a chunk would go to (its device
    // is lost and waited for), the source's receive events are put off as for
    // a backlog: the bytes stay in the source port. Whoever brings the port
    // back raises the source's receive event again.
    void HoldWhile(std::function<bool(const SerialPort&)> awaited) {
        m_awaited = std::move(awaited);
    }

private:
    // One way through the pump.
    struct Way {
        SerialPort& source;
        SerialPort& target;
        const char* targetName;
        bool deferred = false; // a receive event of source waits for target
        int heldSeconds = 0;   // how long, as counted by the notice timer
    };

    void HoldModemData();
    void EndModemHold();
    bool HandheldWritten() const;
    void RequeueHeldModemData();
    bool Backlogged(const SerialPort& target) const;
    void Defer(Way& way);
    void Resume(Way& way);
    bool StillHeld(const Way& way) const;
    void ShowHolds();
    void OnWritten(Way& way);

    Settings& m_settings;
    SerialPort& m_handheld;
    SerialPort& m_modem;
    RequestEngine& m_print;
    RequestEngine& m_clipboard;
    Traffic& m_traffic;
    LampPanel& m_lamps;
    ChunkTap* m_tap = nullptr;
    std::function<bool(const SerialPort&)> m_awaited;
    bool m_requestConsumed = false;
    bool m_modemHeld = false;
    Timer* m_requestHoldTimer = nullptr;
    Way m_toModem{m_handheld, m_modem, "modem"};
    Way m_toHandheld{m_modem, m_handheld, "handheld"};
    StatusPanel* m_noticePanel = nullptr;
    Timer* m_noticeTimer = nullptr;
    bool m_noticeTicking = false;
    std::string m_notice;
};

// The 2000-millisecond lamp timer's tick: the four activity lamps go dark.
void LampTimerTick(LampPanel& lamps);

} // namespace loomway
