#pragma once

#include "config/settings.h"
#include "core/lamps.h"
#include "core/requestengine.h"
#include "core/serialport.h"
#include "core/traffic.h"

namespace loomway {

// Moves chunks between the handheld port and the modem port and hands every
// handheld chunk to the request engines.
class DataPump {
public:
    DataPump(Settings& settings, SerialPort& handheld, SerialPort& modem,
             RequestEngine& printEngine, RequestEngine& clipboardEngine, Traffic& traffic,
             LampPanel& lamps);

    void OnHandheldData();
    void OnModemData();

    bool RequestConsumed() const { return m_requestConsumed; }

private:
    void RequeueHeldModemData();

    Settings& m_settings;
    SerialPort& m_handheld;
    SerialPort& m_modem;
    RequestEngine& m_print;
    RequestEngine& m_clipboard;
    Traffic& m_traffic;
    LampPanel& m_lamps;
    bool m_requestConsumed = false;
};

// The 2000-millisecond lamp timer's tick: the four activity lamps go dark.
void LampTimerTick(LampPanel& lamps);

} // namespace loomway
