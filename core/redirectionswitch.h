#pragma once

#include "config/profilefile.h"
#include "config/settings.h"
#include "core/devicewatcher.h"
#include "core/lamps.h"
#include "core/messagebox.h"
#include "core/serialport.h"
#include "core/statuspanel.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

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
    void ReportPortError(PortError::Code code, const std::string& description,
                         const std::string& detail = {});

    // A port's device went away while it was open (the port is closed
    // already). With a device watcher, [Ports] Reconnect not "NO" and a device
    // that can be waited for, redirection stays on and the port is reopened
    // as soon as its device is back; otherwise the user is told once, with
    // that port's number, and redirection is switched off. A network endpoint
    // whose connection failed after a switch-on that returned at once comes
    // here too, as NoSuchPort when its host does not resolve.
    void OnPortLost(const SerialPort& port, const PortError& error);

    void SetDeviceWatcher(DeviceWatcher* watcher) { m_watcher = watcher; }
    // Whether the port's device is lost and waited for.
    bool Awaiting(const SerialPort& port) const;

    bool RedirectionActive() const { return m_active; }
    void SetRedirectionActive(bool active) { m_active = active; }
    const std::string& OpeningPort() const { return m_openingPort; }

    // Called with true after each complete switch-on and with false when the
    // ports of a complete switch-on are closed again.
    void SetSwitchHandler(std::function<void(bool on)> handler) {
        m_switchHandler = std::move(handler);
    }

    // Where the modem side's last words go at a switch-off, before the ports
    // close (the relay, which counts and shows them); without a handler they
    // are written to the handheld port as they are.
    void SetLastWordsHandler(std::function<void(const std::string&)> handler) {
        m_lastWordsHandler = std::move(handler);
    }

private:
    void OpenPort(SerialPort& port, int number);
    void CloseStrandedPorts();
    void PassLastWords();
    std::string SettingsText() const;
    void AwaitDevice(SerialPort& port, const std::string& device);
    void OnDeviceBack(SerialPort& port);
    void ForgetWaits();
    void ShowWaits();
    SerialPort& Mutable(const SerialPort& port) {
        return &port == &m_handheld ? m_handheld : m_modem;
    }

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
    bool m_switchedOn = false; // the handler was last told "on"
    std::function<void(bool)> m_switchHandler;
    std::function<void(const std::string&)> m_lastWordsHandler;

    struct Wait {
        SerialPort* port;
        std::string device;
    };
    DeviceWatcher* m_watcher = nullptr;
    std::vector<Wait> m_waits;
};

} // namespace loomway
