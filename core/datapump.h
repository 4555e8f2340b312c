#pragma once

#include "base/clock.h"
#include "config/settings.h"
#include "core/chunktap.h"
#include "core/lamps.h"
#include "core/requestengine.h"
#include "core/serialport.h"
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

    DataPump(Settings& settings, SerialPort& handheld, SerialPort& modem,
             RequestEngine& printEngine, RequestEngine& clipboardEngine, Traffic& traffic,
             LampPanel& lamps);
    ~DataPump();
    DataPump(const DataPump&) = delete;
    DataPump& operator=(const DataPump&) = delete;

    void OnHandheldData();
    void OnModemData();

    // The latest handheld chunk completed a request.
    bool RequestConsumed() const { return m_requestConsumed; }
    // Modem data waits after a request, so that what the program answered
    // reaches the handheld first: until the handheld port has written all it
    // was given, its next chunk, or kRequestHoldMs at most (once the timer is
    // set) with no flow control to hold a serial modem back meanwhile.
    bool ModemHeld() const { return m_modemHeld; }
    static constexpr std::int64_t kRequestHoldMs = 1000;
    void SetRequestHoldTimer(Timer* timer) { m_requestHoldTimer = timer; }
    void OnRequestHoldTimer();

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
    void HoldModemData();
    void EndModemHold();
    bool HandheldWritten() const;
    void RequeueHeldModemData();
    bool Backlogged(const SerialPort& target) const;
    void OnWritten(SerialPort& target, SerialPort& source, bool& sourceDeferred);

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
    bool m_handheldDeferred = false; // a handheld event waits for the modem's backlog
    bool m_modemDeferred = false;    // a modem event waits for the handheld's backlog
};

// The 2000-millisecond lamp timer's tick: the four activity lamps go dark.
void LampTimerTick(LampPanel& lamps);

} // namespace loomway
