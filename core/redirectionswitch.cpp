#include "core/redirectionswitch.h"

#include <climits>

namespace loomway {

namespace {

constexpr const char* kLineFeed = "\n";

// The settings' number texts as whole numbers; a text that is no number at
// all fails as a type mismatch, one beyond a port number's range overflows.
long WholeNumberOf(const std::string& text) {
    auto number = ToWholeNumber(text);
    if (!number) {
        throw PortError{13, "Type mismatch"};
    }
    return *number;
}

int PortNumberOf(const std::string& text) {
    const std::optional<long> port = PortNumberOfText(text);
    if (!port) {
        throw PortError{13, "Type mismatch"};
    }
    const long number = *port;
    if (number < INT_MIN || number > INT_MAX) {
        throw PortError{6, "Overflow"};
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

std::string RedirectionSwitch::SettingsText() const {
    return std::to_string(WholeNumberOf(m_settings.CommonSpeed)) + ",N,8,1";
}

void RedirectionSwitch::OpenPort(SerialPort& port, int number) {
    port.SetPortNumber(number);
    m_openingPort = std::to_string(number);
    port.SetSettings(SettingsText());
    m_lamps.SetLamp(Lamp::imgPWR, "PON");
    port.Open();
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
            m_lamps.SetLamp(Lamp::imgPWR, "POFF");
        }
    }
}

void RedirectionSwitch::StartRedirection() {
    CloseStrandedPorts();
    try {
        LoadCommSettings(m_file, m_settings);
        OpenPort(m_handheld, m_settings.SourcePort);
        if (m_settings.SerialMethodOn) {
            const int destination = PortNumberOf(m_settings.DestinationPort);
            OpenPort(m_modem, destination);
        }
    } catch (const PortError& error) {
        m_attemptFailed = true;
        ReportPortError(error.code, error.description);
        return;
    }
    m_lamps.SetLamp(Lamp::imgOnOff, "ON");
    m_status.ShowStatus("STATUS:  ON");
    m_active = true;
}

void RedirectionSwitch::EndRedirection() {
    for (SerialPort* port : {&m_handheld, &m_modem}) {
        if (IsOpenQuietly(*port)) {
            CloseQuietly(*port);
            m_lamps.SetLamp(Lamp::imgPWR, "POFF");
        }
    }
    m_attemptFailed = false;
    m_lamps.SetLamp(Lamp::imgOnOff, "OFF");
    m_lamps.SetLamp(Lamp::imgPWR, "POFF");
    m_active = false;
    m_status.ShowStatus("STATUS:  OFF");
}

void RedirectionSwitch::ToggleRedirection() {
    if (!m_active) {
        StartRedirection();
    } else {
        EndRedirection();
    }
}

void RedirectionSwitch::ReportPortError(int code, const std::string& description) {
    if (m_settings.SourcePort == -1 && m_settings.DestinationPort == "-1" &&
        m_settings.CommonSpeed == "-1") {
        return;
    }
    const std::string p = m_openingPort.empty() ? "0" : m_openingPort;
    const std::string lf = kLineFeed;
    std::string title;
    std::string text;
    bool endRedirection = true;
    switch (code) {
    case 8002:
        title = "Port Error";
        text = "Communications port " + p + " cannot be" + lf +
               "accessed at this time.  Make sure" + lf + "no other devices are utilizing COM" + p +
               lf + "and that you are using the correct port.";
        break;
    case 8005:
        title = "Port Error";
        text = "Communications port " + p + " cannot be" + lf +
               "accessed at this time.  Make sure" + lf + "no other devices are utilizing COM" + p +
               lf + "and try to connect again.";
        break;
    case 8012:
        title = "Verify Power/Connection";
        text = "Communications port " + p + " cannot be " + lf +
               "accessed at this time.  Make sure " + lf +
               " that the device is powered on and properly" + lf + "connected.";
        break;
    case 8018:
        title = "Port not Connected";
        text = "It appears that one (or more) devices is" + lf +
               "currently in use by another program or not available" + lf +
               "Please correct the conflicting (or missing) port.";
        break;
    default:
        title = "Port Error";
        text =
            "Error Number: " + std::string(" ") + std::to_string(code) + "-Error - " + description;
        endRedirection = false;
        break;
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
    if (m_reportingLost || !m_active) {
        return;
    }
    m_reportingLost = true;
    m_openingPort = std::to_string(port.PortNumber());
    ReportPortError(8012, error.description);
    if (m_active) { // nothing configured any more: no message, but still off
        EndRedirection();
    }
    m_reportingLost = false;
}

} // namespace loomway
