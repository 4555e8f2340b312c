#include "core/programlifecycle.h"

#include "base/asciitext.h"

#include <cmath>

namespace loomway {

namespace {

// The number that text starts with: optional blanks and sign, digits, and a
// point followed by more digits. Text that does not start with a number is 0.
double LeadingDecimal(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    double sign = 1.0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        sign = text[i] == '-' ? -1.0 : 1.0;
        ++i;
    }
    double value = 0.0;
    auto isDigit = [&](std::size_t at) { return at < text.size() && IsDigit(text[at]); };
    for (; isDigit(i); ++i) {
        value = value * 10.0 + (text[i] - '0');
        if (value > 1e15) {
            return sign * value; // far beyond any screen; the bounds check rejects it
        }
    }
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; isDigit(i); ++i, scale /= 10.0) {
            value += (text[i] - '0') * scale;
        }
    }
    return sign * value;
}

// The position to move to when value lies strictly inside (0, limit).
bool InsideScreen(double value, long limit) {
    return value > 0.0 && value < static_cast<double>(limit);
}

} // namespace

bool CloseProgramByTitle(WindowCloser& closer, const std::string& title, const Clock& clock,
                         std::chrono::milliseconds limit, const std::function<bool()>& stop) {
    if (!closer.WindowExists(title)) {
        return true;
    }
    closer.AskToClose(title);
    const std::int64_t giveUpAt =
        clock.SteadyMicros() + std::chrono::duration_cast<std::chrono::microseconds>(limit).count();
    // The wait follows the title: any window that carries it keeps it going.
    while (true) {
        closer.PauseBetweenLooks();
        if (stop && stop()) {
            return !closer.WindowExists(title);
        }
        if (!closer.WindowExists(title)) {
            return true;
        }
        if (clock.SteadyMicros() >= giveUpAt) {
            return false;
        }
    }
}

ProgramLifecycle::ProgramLifecycle(ProfileFile& file, Settings& settings,
                                   RedirectionSwitch& redirection, Traffic& traffic,
                                   LampPanel& lamps, MainWindowControl& window,
                                   InstanceGuard& instances, WindowCloser& closer,
                                   ProgramStarter& starter, const Clock& clock)
    : m_file(file), m_settings(settings), m_redirection(redirection), m_traffic(traffic),
      m_lamps(lamps), m_window(window), m_instances(instances), m_closer(closer),
      m_starter(starter), m_clock(clock) {}

bool ProgramLifecycle::Load() {
    m_window.SetCaption(kCaption);
    if (m_instances.AnotherInstanceRunning()) {
        m_ended = true;
        m_window.EndApplication();
        return false;
    }

    const double x = LeadingDecimal(ReadSetting(m_file, "Display", "XLoc"));
    if (InsideScreen(x, m_window.ScreenWidth())) {
        m_window.MoveLeft(std::lround(x));
    }
    const double y = LeadingDecimal(ReadSetting(m_file, "Display", "YLoc"));
    if (InsideScreen(y, m_window.ScreenHeight())) {
        m_window.MoveTop(std::lround(y));
    }

    m_lamps.SetLamp(Lamp::Power, LampPicture::PowerOff);
    m_lamps.SetLamp(Lamp::Receive, LampPicture::ReceiveOff);
    m_lamps.SetLamp(Lamp::ModemSend, LampPicture::ModemSendOff);
    m_lamps.SetLamp(Lamp::Switch, LampPicture::SwitchOn);

    // The status bar's two panels are laid out by the window itself.
    m_traffic.ResetCounters();
    m_traffic.ClearPanes();

    LoadMethods(m_file, m_settings);
    ApplyStartupPreferences();
    return !m_ended;
}

void ProgramLifecycle::ApplyStartupPreferences() {
    const std::string menuVisible = ReadSetting(m_file, "Preferences", "MenuVisible");
    if (menuVisible == "NO") {
        m_window.SetHideMenuChecked(true);
    } else if (menuVisible == "YES" || menuVisible.empty()) {
        m_window.SetHideMenuChecked(false);
    }

    const std::string closeApp = ReadSetting(m_file, "Preferences", "CloseApp");
    if (closeApp.size() > 1) {
        CloseProgramByTitle(closeApp);
        // The wait processes events: an exit request may have arrived meanwhile.
        if (m_ended || m_quitting) {
            return;
        }
    }

    const std::string startApp = ReadSetting(m_file, "Preferences", "StartApp");
    m_settings.ExitProgramPath = ExitProgramSetting(startApp);

    const std::string startup = ReadSetting(m_file, "Preferences", "Startup");
    if (startup == "LEDs") {
        m_window.SetDisplay(DisplayMode::LedOnly);
    } else if (startup == "SND/RCV Rate") {
        m_window.SetDisplay(DisplayMode::SendRec);
    } else if (startup == "Data Sniffer") {
        m_window.SetDisplay(DisplayMode::Full);
    } else if (startup.empty()) {
        m_window.SetDisplay(DisplayMode::All);
    }

    const std::string status = ReadSetting(m_file, "Preferences", "Status");
    if (status == "ON") {
        m_redirection.SetRedirectionActive(true);
        m_redirection.StartRedirection();
    } else if (status == "OFF") {
        m_redirection.SetRedirectionActive(false);
        m_redirection.EndRedirection();
    } else if (status.empty()) {
        m_redirection.EndRedirection();
    }
}

void ProgramLifecycle::CloseProgramByTitle(const std::string& title) {
    // Events processed during the wait may end the application: stop waiting then.
    loomway::CloseProgramByTitle(m_closer, title, m_clock, kCloseWaitLimit,
                                 [this] { return m_ended || m_quitting; });
}

void ProgramLifecycle::Activate() {
    if (m_ended || m_quitting) {
        return;
    }
    LoadCommSettings(m_file, m_settings);
    if (!m_settings.SourcePort || !m_settings.DestinationPort || !m_settings.CommonSpeed) {
        m_window.OpenCommSettingsDialog();
    }
}

void ProgramLifecycle::QuitProgram() {
    if (m_quitting || m_ended) {
        return;
    }
    m_quitting = true;
    m_redirection.EndRedirection();
    RunExitActions();
    m_ended = true;
    m_window.EndApplication();
}

void ProgramLifecycle::RunExitActions() {
    if (m_ended || !m_window.IsNormalState()) {
        return;
    }
    WriteSetting(m_file, "Display", "XLoc", std::to_string(m_window.Left()));
    WriteSetting(m_file, "Display", "YLoc", std::to_string(m_window.Top()));
    if (m_settings.ExitProgramPath) {
        m_starter.StartProgram(*m_settings.ExitProgramPath);
    }
}

} // namespace loomway
