#pragma once

#include <functional>
#include <thread>
#include <vector>

namespace loomway {

// Work that must be done however the process ends. Qt ends the process with
// exit() from inside the event loop when the connection to the X11 server
// breaks: main's objects are then never destroyed, so a capture keeps its
// last batch, a print document its temporary file and an exec: program its
// life. The cleanups added here run from an atexit handler in that case, in
// the order they were added, on the thread that made this object. An
// ordinary end (this object going first) runs none of them: the destructors
// do that work.
//
// One process-wide handler serves it: create at most one at a time.
class ExitCleanup {
public:
    ExitCleanup();
    ~ExitCleanup();
    ExitCleanup(const ExitCleanup&) = delete;
    ExitCleanup& operator=(const ExitCleanup&) = delete;

    // cleanup must not throw; it may still find the event loop in any state.
    void Add(std::function<void()> cleanup) { m_cleanups.push_back(std::move(cleanup)); }

private:
    static void RunAtExit();

    std::vector<std::function<void()>> m_cleanups;
    std::thread::id m_thread = std::this_thread::get_id();
};

} // namespace loomway
