#include "core/redirectionswitch.h"

#include "config/numbertext.h"

#include <algorithm>
#include <climits>

namespace loomway {

namespace {

constexpr const char* kLineFeed = "\n";

// The settings' number texts as whole numbers; a text that is no number at
// all fails as a type mismatch, one beyond a port number's range overflows.
long WholeNumberOf(const std::string& text) {
    auto number = ToWholeNumber(text);
    if (!number) {
        throw PortError{PortError::Code::TypeMismatch, "Type mismatch"};
    }
    return *number;
}

int PortNumberOf(const std::string& text) {
    const std::optional<long> port = PortNumberOfText(text);
    if (!port) {
        throw PortError{PortError::Code::TypeMismatch, "Type mismatch"};
    }
    const long number = *port;
    if (number < INT_MIN || number > INT_MAX) {
        throw PortError{PortError::Code::Overflow, "Overflow"};
    }
    return static_cast<int>(number);
}

void CloseQuietly(SerialPort& port) {
    try {
        port.Close();
    } catch (const PortError&) {
        // Closing releases the port whatever the device says.
    }
}

bool IsOpenQuietly(const SerialPort& port) {
    try {
        return port.IsOpen();
    } catch (const PortError&) {
        return false;
    }
}

} // namespace

RedirectionSwitch::RedirectionSwitch(ProfileFile& file, Settings& settings, SerialPort& handheld,
                                     SerialPort& modem, LampPanel& lamps, MessageBox& messages,
                                     StatusPanel& status)
    : m_file(file), m_settings(settings), m_handheld(handheld), m_modem(modem), m_lamps(lamps),
      m_messages(messages), m_status(status) {}

// A port or speed that is not set is tried as kNotSetNumber, which no port
// accepts, and reported under that number.
std::string RedirectionSwitch::SettingsText() const {
    const long speed =
        m_settings.CommonSpeed ? WholeNumberOf(*m_settings.CommonSpeed) : kNotSetNumber;
    return std::to_string(speed) + ",N,8,1";
}

void RedirectionSwitch::OpenPort(SerialPort& port, int number) {
    port.SetPortNumber(number);
    m_openingPort = std::to_string(number);
    port.SetSettings(SettingsText());
    m_lamps.SetLamp(Lamp::Power, LampPicture::PowerOn);
    port.Open();
}

// Before the ports close, the modem side's last words reach the handheld.
void RedirectionSwitch::PassLastWords() {
    try {
        const std::string words = m_modem.TakeLastWords();
        if (words.empty() || !m_handheld.IsOpen()) {
            return;
        }
        if (m_lastWordsHandler) {
            m_lastWordsHandler(words);
        } else {
            m_handheld.Write(words);
        }
    } catch (const PortError&) {
        // The handheld is going anyway; its session ends with the line.
    }
}

void RedirectionSwitch::CloseStrandedPorts() {
    // An earlier switch-on that failed with an unlisted code may have left a
    // port open; configuring it again would fail against ourselves.
    if (!m_attemptFailed) {
        return;
    }
    m_attemptFailed = false;
    for (SerialPort* port : {&m_handheld, &m_modem}) {
        if (IsOpenQuietly(*port)) {
            CloseQuietly(*port);
            m_lamps.SetLamp(Lamp::Power, LampPicture::PowerOff);
        }
    }
}

void RedirectionSwitch::StartRedirection() {
    CloseStrandedPorts();
    try {
        LoadCommSettings(m_file, m_settings);
        OpenPort(m_handheld, m_settings.SourcePort.value_or(kNotSetNumber));
        if (m_settings.SerialMethodOn) {
            const int destination = m_settings.DestinationPort
                                        ? PortNumberOf(*m_settings.DestinationPort)
                                        : kNotSetNumber;
            OpenPort(m_modem, destination);
        }
    } catch (const PortError& error) {
        m_attemptFailed = true;
        ReportPortError(error.code, error.description, error.detail);
        return;
    }
    m_lamps.SetLamp(Lamp::Switch, LampPicture::SwitchOn);
    m_status.ShowStatus("STATUS:  ON");
    m_active = true;
    m_switchedOn = true;
    if (m_switchHandler) {
        m_switchHandler(true);
    }
}

void RedirectionSwitch::EndRedirection() {
    ForgetWaits();
    PassLastWords();
    for (SerialPort* port : {&m_handheld, &m_modem}) {
        if (IsOpenQuietly(*port)) {
            CloseQuietly(*port);
            m_lamps.SetLamp(Lamp::Power, LampPicture::PowerOff);
        }
    }
    m_attemptFailed = false;
    m_lamps.SetLamp(Lamp::Switch, LampPicture::SwitchOff);
    m_lamps.SetLamp(Lamp::Power, LampPicture::PowerOff);
    m_active = false;
    m_status.ShowStatus("STATUS:  OFF");
    if (m_switchedOn) {
        m_switchedOn = false;
        if (m_switchHandler) {
            m_switchHandler(false);
        }
    }
}

void RedirectionSwitch::ToggleRedirection() {
    if (!m_active) {
        StartRedirection();
    } else {
        EndRedirection();
    }
}

void RedirectionSwitch::ReportPortError(PortError::Code code, const std::string& description,
                                        const std::string& detail) {
    if (!m_settings.SourcePort && !m_settings.DestinationPort && !m_settings.CommonSpeed) {
        return;
    }
    const std::string p = m_openingPort.empty() ? "0" : m_openingPort;
    const std::string lf = kLineFeed;
    std::string title;
    std::string text;
    bool endRedirection = true;
    switch (code) {
    case PortError::Code::NoSuchPort:
        title = "Port Error";
        text = "Communications port " + p + " cannot be" + lf +
               "accessed at this time.  Make sure" + lf + "no other devices are utilizing COM" + p +
               lf + "and that you are using the correct port.";
        break;
    case PortError::Code::PortAlreadyOpen:
        title = "Port Error";
        text = "Communications port " + p + " cannot be" + lf +
               "accessed at this time.  Make sure" + lf + "no other devices are utilizing COM" + p +
               lf + "and try to connect again.";
        break;
    case PortError::Code::DeviceUnavailable:
        title = "Verify Power/Connection";
        text = "Communications port " + p + " cannot be " + lf +
               "accessed at this time.  Make sure " + lf +
               " that the device is powered on and properly" + lf + "connected.";
        break;
    case PortError::Code::PortNotOpen:
        title = "Port not Connected";
        text = "It appears that one (or more) devices is" + lf +
               "currently in use by another program or not available" + lf +
               "Please correct the conflicting (or missing) port.";
        break;
    default:
        title = "Port Error";
        text = "Error Number: " + std::string(" ") + std::to_string(static_cast<int>(code)) +
               "-Error - " + description;
        endRedirection = false;
        break;
    }
    if (endRedirection && !detail.empty()) {
        text += lf + lf + detail;
    }
    m_messages.Show(title, text, MessageIcon::Exclamation, MessageButtons::Ok, MessageAnswer::Ok);
    if (endRedirection) {
        EndRedirection();
    }
}

void RedirectionSwitch::OnPortLost(const SerialPort& port, const PortError& error) {
    // While the message is up a second lost port is not reported again: the
    // switch-off that follows covers it. A port lost while redirection was
    // already off (left over from a failed attempt) needs no message.
    if (m_reportingLost || !m_active || Awaiting(port)) {
        return;
    }
    const std::string device = port.DeviceName();
    if (m_watcher && !device.empty() && ReconnectOn(m_file)) {
        AwaitDevice(Mutable(port), device);
        return;
    }
    m_reportingLost = true;
    m_openingPort = std::to_string(port.PortNumber());
    const PortError::Code code =
        error.code == PortError::Code::NoSuchPort ? error.code : PortError::Code::DeviceUnavailable;
    ReportPortError(code, error.description, error.detail);
    if (m_active) { // nothing configured any more: no message, but still off
        EndRedirection();
    }
    m_reportingLost = false;
}

bool RedirectionSwitch::Awaiting(const SerialPort& port) const {
    return std::any_of(m_waits.begin(), m_waits.end(),
                       [&port](const Wait& wait) { return wait.port == &port; });
}

// The port stays closed and redirection on; a blinking power lamp and panel 2
// say what is missing. Bytes for the lost port wait in the other one (the data
// pump holds them) until it is back.
void RedirectionSwitch::AwaitDevice(SerialPort& port, const std::string& device) {
    m_waits.push_back({&port, device});
    m_lamps.BlinkLamp(Lamp::Power, LampPicture::PowerOn, LampPicture::PowerOff);
    ShowWaits();
    m_watcher->Watch(device, [this, &port] { OnDeviceBack(port); });
}

void RedirectionSwitch::OnDeviceBack(SerialPort& port) {
    const auto wait = std::find_if(m_waits.begin(), m_waits.end(),
                                   [&port](const Wait& w) { return w.port == &port; });
    if (wait == m_waits.end() || !m_active) {
        return;
    }
    try {
        port.Reopen();
    } catch (const PortError&) {
        // Back but not ready yet (still being set up, or probed by another
        // program): the watcher tries again a little later.
        return;
    }
    m_watcher->Forget(wait->device);
    m_waits.erase(wait);
    if (m_waits.empty()) {
        m_lamps.SetLamp(Lamp::Power, LampPicture::PowerOn);
    }
    ShowWaits();
    // What the other port held back while this one was away goes on now.
    SerialPort& other = &port == &m_handheld ? m_modem : m_handheld;
    try {
        if (other.IsOpen()) {
            other.RequeueReceiveEvent();
        }
    } catch (const PortError&) {
        // A failing port shows up at its next read.
    }
}

void RedirectionSwitch::ForgetWaits() {
    if (m_waits.empty()) {
        return;
    }
    for (const Wait& wait : m_waits) {
        m_watcher->Forget(wait.device);
    }
    m_waits.clear();
    ShowWaits();
}

void RedirectionSwitch::ShowWaits() {
    std::string text;
    for (const Wait& wait : m_waits) {
        text += (text.empty() ? "Waiting for COM" : "; COM") +
                std::to_string(wait.port->PortNumber()) + " (" + wait.device + ")";
    }
    m_status.ShowNotice(text);
}

} // namespace loomway
