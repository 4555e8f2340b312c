#pragma once

#include "config/profilefile.h"
#include "config/settings.h"
#include "core/desktop.h"
#include "core/lamps.h"
#include "core/mainwindowcontrol.h"
#include "core/redirectionswitch.h"
#include "core/traffic.h"

#include <chrono>
#include <functional>
#include <string>

namespace loomway {

inline constexpr const char* kCaption = "Palm Loomway by QUILLON";

// How long start-up waits for a window named by [Preferences] CloseApp to go
// away before it goes on without it.
inline constexpr std::chrono::milliseconds kCloseWaitLimit{10000};

using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

// Asks every window titled exactly title to close and waits, processing
// pending events between looks, until no window carries that title, limit
// has passed or stop (when given) says so after a pause. Returns true when no
// such window is left.
bool CloseProgramByTitle(WindowCloser& closer, const std::string& title,
                         std::chrono::milliseconds limit = kCloseWaitLimit,
                         const SteadyClock& now = std::chrono::steady_clock::now,
                         const std::function<bool()>& stop = {});

// Start and end of the application: the load of the main window, its
// activation and the exit sequence.
class Application {
public:
    Application(ProfileFile& file, Settings& settings, RedirectionSwitch& redirection,
                Traffic& traffic, LampPanel& lamps, MainWindowControl& window,
                InstanceGuard& instances, WindowCloser& closer, ProgramStarter& starter);

    // The load of the main window, before it is first shown. Returns false
    // when the application has ended (another instance runs): show nothing.
    bool Load();
    void ApplyStartupPreferences();
    void CloseProgramByTitle(const std::string& title);

    // Each time the main window becomes the active one of this program's windows.
    void Activate();

    // The exit sequence; runs once however many triggers fire.
    void QuitProgram();
    // Part of QuitProgram; does nothing once the application has ended.
    void RunExitActions();

    bool Ended() const { return m_ended; }

    // For tests: the wait limit of CloseProgramByTitle and the clock it uses.
    void SetCloseWait(std::chrono::milliseconds limit, SteadyClock now);

private:
    ProfileFile& m_file;
    Settings& m_settings;
    RedirectionSwitch& m_redirection;
    Traffic& m_traffic;
    LampPanel& m_lamps;
    MainWindowControl& m_window;
    InstanceGuard& m_instances;
    WindowCloser& m_closer;
    ProgramStarter& m_starter;
    std::chrono::milliseconds m_closeWaitLimit = kCloseWaitLimit;
    SteadyClock m_now = std::chrono::steady_clock::now;
    bool m_quitting = false;
    bool m_ended = false;
};

} // namespace loomway
