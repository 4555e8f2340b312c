#pragma once

#include "base/clock.h"
#include "capture/capture.h"
#include "capture/capturesink.h"
#include "capture/chunkfanout.h"
#include "config/profilefile.h"
#include "core/messagebox.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace loomway {

// The program's captures: the one the user starts and stops from the menu,
// and the one that each switch-on starts in the folder [Capture] Folder names
// (read at every switch-on; empty for none) and the switch-off closes. Each
// listens on fanOut while it runs.
//
// A capture that cannot be made or written stops with one message box; the
// redirection goes on. Failures during a write happen inside the relay, so
// the message (and the clean-up) is handed to later, which runs it once the
// current event is over.
class CaptureController {
public:
    using Later = std::function<void(std::function<void()>)>;

    // flushSoon, when given, is called when a capture holds chunks that wait
    // for Flush(); it should call Flush() a moment later. Without it every
    // chunk is written at once.
    CaptureController(ProfileFile& file, CaptureFiles& files, const Clock& clock,
                      ChunkFanOut& fanOut, MessageBox& messages, Later later,
                      std::function<void()> flushSoon = {});
    ~CaptureController();
    CaptureController(const CaptureController&) = delete;
    CaptureController& operator=(const CaptureController&) = delete;

    // Replaces a menu capture that runs already.
    void StartMenuCapture(const std::string& path, CaptureFormat format);
    void StopMenuCapture();
    bool MenuCaptureRunning() const { return m_menu.capture != nullptr; }
    // Told whenever the menu capture starts or stops, also when it fails.
    void SetMenuCaptureHandler(std::function<void(bool running)> handler) {
        m_menuHandler = std::move(handler);
    }

    // The redirection switch went on (true) or off (false).
    void OnSwitch(bool on);
    // Writes the chunks the running captures hold.
    void Flush();
    // The file of the running switch-on capture; empty when none runs.
    const std::string& FolderCapturePath() const { return m_folder.path; }

    // "loomway-20261207-031500.pppd" for a switch-on at that local time.
    static std::string FolderCaptureName(std::int64_t wallMicros, int attempt);

    static constexpr const char* kMessageTitle = "Capture Error";

private:
    struct Slot {
        std::unique_ptr<Capture> capture;
        std::string path;
        std::uint64_t generation = 0;
    };

    bool Start(Slot& slot, std::unique_ptr<CaptureSink> sink, const std::string& path,
               CaptureFormat format);
    void Stop(Slot& slot);
    void StartFolderCapture();
    void OnFailed(Slot& slot, std::uint64_t generation, const std::string& description);
    void NotifyMenu();
    void ShowError(const std::string& what, const std::string& path, const std::string& description,
                   const std::string& after);

    ProfileFile& m_file;
    CaptureFiles& m_files;
    const Clock& m_clock;
    ChunkFanOut& m_fanOut;
    MessageBox& m_messages;
    Later m_later;
    std::function<void()> m_flushSoon;
    Slot m_menu;
    Slot m_folder;
    std::uint64_t m_generations = 0;
    std::function<void(bool)> m_menuHandler;
};

} // namespace loomway
