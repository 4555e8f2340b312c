#pragma once

#include "config/profilefile.h"
#include "config/settings.h"
#include "core/lamps.h"
#include "core/messagebox.h"
#include "core/serialport.h"
#include "core/statuspanel.h"

#include <string>

namespace loomway {

// Opens and closes the port pair: MSComm1 (handheld) and MSComm2 (modem).
class RedirectionSwitch {
public:
    RedirectionSwitch(ProfileFile& file, Settings& settings, SerialPort& handheld,
                      SerialPort& modem, LampPanel& lamps, MessageBox& messages,
                      StatusPanel& status);

    void StartRedirection();
    void EndRedirection();
    void ToggleRedirection();
    // detail, when given, is added below the fixed text of the four known
    // codes (see PortError::detail).
    void ReportPortError(int code, const std::string& description,
                         const std::string& detail = {});

    // A port's device went away while it was open (the port is closed
    // already): tells the user once, with that port's number, and switches
    // redirection off. A network endpoint whose connection failed after a
    // switch-on that returned at once comes here too, as 8002 when its host
    // does not resolve.
    void OnPortLost(const SerialPort& port, const PortError& error);

    bool RedirectionActive() const { return m_active; }
    void SetRedirectionActive(bool active) { m_active = active; }
    const std::string& OpeningPort() const { return m_openingPort; }

private:
    void OpenPort(SerialPort& port, int number);
    void CloseStrandedPorts();
    std::string SettingsText() const;

    ProfileFile& m_file;
    Settings& m_settings;
    SerialPort& m_handheld;
    SerialPort& m_modem;
    LampPanel& m_lamps;
    MessageBox& m_messages;
    StatusPanel& m_status;
    bool m_active = false;
    std::string m_openingPort; // empty is shown as 0
    // A switch-on failed part way: a port it opened may still be open.
    bool m_attemptFailed = false;
    bool m_reportingLost = false;
};

} // namespace loomway
