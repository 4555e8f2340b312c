#include "capture/capturecontroller.h"

#include "config/settings.h"

#include <ctime>

namespace loomway {

namespace {
// Switch-ons within the same second get a number after the time.
constexpr int kMostNamesPerSecond = 100;
const std::string kCaptureStopped = "The capture has stopped; the redirection goes on.";
} // namespace

CaptureController::CaptureController(ProfileFile& file, CaptureFiles& files, const Clock& clock,
                                     ChunkFanOut& fanOut, MessageBox& messages, Later later,
                                     std::function<void()> flushSoon)
    : m_file(file), m_files(files), m_clock(clock), m_fanOut(fanOut), m_messages(messages),
      m_later(std::move(later)), m_flushSoon(std::move(flushSoon)) {}

CaptureController::~CaptureController() {
    for (Slot* slot : {&m_menu, &m_folder}) {
        if (slot->capture) {
            m_fanOut.Remove(*slot->capture);
            try {
                slot->capture->Stop();
            } catch (const CaptureError&) {
                // The program is ending: nobody is left to tell.
            }
        }
    }
}

std::string CaptureController::FolderCaptureName(std::int64_t wallMicros, int attempt) {
    const std::time_t seconds = static_cast<std::time_t>(wallMicros / 1000000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char name[64];
    std::strftime(name, sizeof name, "loomway-%Y%m%d-%H%M%S", &local);
    std::string text = name;
    if (attempt > 1) {
        text += '-';
        text += std::to_string(attempt);
    }
    return text + ".pppd";
}

void CaptureController::StartMenuCapture(const std::string& path, CaptureFormat format) {
    Stop(m_menu);
    std::unique_ptr<CaptureSink> sink;
    try {
        sink = m_files.Create(path);
    } catch (const CaptureError& error) {
        ShowError("The capture file cannot be created:", path, error.description, "");
    }
    if (sink) {
        Start(m_menu, std::move(sink), path, format);
    }
    NotifyMenu();
}

void CaptureController::StopMenuCapture() {
    Stop(m_menu);
    NotifyMenu();
}

void CaptureController::OnSwitch(bool on) {
    Stop(m_folder);
    if (on) {
        StartFolderCapture();
    }
}

void CaptureController::Flush() {
    for (Slot* slot : {&m_menu, &m_folder}) {
        if (slot->capture) {
            slot->capture->Flush();
        }
    }
}

void CaptureController::StartFolderCapture() {
    std::string folder = ReadSetting(m_file, "Capture", "Folder");
    if (folder.empty()) {
        return;
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    const std::int64_t now = m_clock.WallMicros();
    std::string path;
    try {
        for (int attempt = 1; attempt <= kMostNamesPerSecond; ++attempt) {
            path = folder + FolderCaptureName(now, attempt);
            if (auto sink = m_files.CreateNew(path)) {
                Start(m_folder, std::move(sink), path, CaptureFormat::Pppdump);
                return;
            }
        }
        throw CaptureError{"File exists"};
    } catch (const CaptureError& error) {
        // Inside a switch-on: the message waits until the switch is done.
        m_later([this, path, error] {
            ShowError("The capture file cannot be created:", path, error.description,
                      "The redirection goes on without a capture.");
        });
    }
}

bool CaptureController::Start(Slot& slot, std::unique_ptr<CaptureSink> sink,
                              const std::string& path, CaptureFormat format) {
    const std::uint64_t generation = ++m_generations;
    try {
        slot.capture =
            std::make_unique<Capture>(std::move(sink), format, m_clock,
                                      [this, &slot, generation](const std::string& description) {
                                          OnFailed(slot, generation, description);
                                      });
    } catch (const CaptureError& error) {
        ShowError("The capture file cannot be written:", path, error.description, "");
        return false;
    }
    if (m_flushSoon) {
        slot.capture->Buffer(m_flushSoon);
    }
    slot.path = path;
    slot.generation = generation;
    m_fanOut.Add(*slot.capture);
    return true;
}

void CaptureController::Stop(Slot& slot) {
    if (!slot.capture) {
        return;
    }
    m_fanOut.Remove(*slot.capture);
    auto capture = std::move(slot.capture);
    const std::string path = std::move(slot.path);
    slot.path.clear();
    try {
        capture->Stop();
    } catch (const CaptureError& error) {
        ShowError("The capture file cannot be written:", path, error.description, "");
    }
}

void CaptureController::OnFailed(Slot& slot, std::uint64_t generation,
                                 const std::string& description) {
    // Called from within the capture's own write: it stays in place (inert)
    // until the current event is over.
    if (slot.capture) {
        m_fanOut.Remove(*slot.capture);
    }
    m_later([this, &slot, generation, description] {
        if (slot.generation != generation || !slot.capture) {
            return;
        }
        const std::string path = std::move(slot.path);
        slot.capture.reset();
        slot.path.clear();
        if (&slot == &m_menu) {
            NotifyMenu();
        }
        ShowError("The capture file cannot be written:", path, description, kCaptureStopped);
    });
}

void CaptureController::NotifyMenu() {
    if (m_menuHandler) {
        m_menuHandler(MenuCaptureRunning());
    }
}

void CaptureController::ShowError(const std::string& what, const std::string& path,
                                  const std::string& description, const std::string& after) {
    std::string text = what + "\n" + path + "\n" + description;
    if (!after.empty()) {
        text += "\n" + after;
    }
    m_messages.Show(kMessageTitle, text, MessageIcon::Exclamation, MessageButtons::Ok);
}

} // namespace loomway
