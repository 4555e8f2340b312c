#pragma once

#include "base/clock.h"
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

// Asks every window titled exactly title to close and waits, processing
// pending events between looks, until no window carries that title, limit
// has passed on clock's steady time or stop (when given) says so after a
// pause. Returns true when no such window is left.
bool CloseProgramByTitle(WindowCloser& closer, const std::string& title, const Clock& clock,
                         std::chrono::milliseconds limit = kCloseWaitLimit,
                         const std::function<bool()>& stop = {});

// Start and end of the program: the load of the main window, its activation
// and the exit sequence. The wait for a window to close is timed on clock.
class ProgramLifecycle {
public:
    ProgramLifecycle(ProfileFile& file, Settings& settings, RedirectionSwitch& redirection,
                     Traffic& traffic, LampPanel& lamps, MainWindowControl& window,
                     InstanceGuard& instances, WindowCloser& closer, ProgramStarter& starter,
                     const Clock& clock);

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
    const Clock& m_clock;
    bool m_quitting = false;
    bool m_ended = false;
};

} // namespace loomway
