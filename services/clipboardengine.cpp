#include "services/clipboardengine.h"

#include <algorithm>
#include <iterator>

namespace loomway {

namespace {
const std::string kOpenTag = "<LMW_C>";
const std::string kCloseTag = "</LMW_C>";
} // namespace

ClipboardEngine::ClipboardEngine(Clipboard& clipboard, LampPanel& lamps)
    : m_clipboard(clipboard), m_lamps(lamps), m_framer(kOpenTag, kCloseTag) {}

Redirected ClipboardEngine::ClipboardRedirect(const std::string& chunk) {
    auto request = m_framer.Feed(chunk);
    if (!request) {
        return {};
    }
    m_clipboard.SetText(WidenLineFeeds(request->body));
    m_lamps.SetLamp(Lamp::Clipboard, LampPicture::ClipboardOn);
    m_framer.SetBuffer(std::move(request->leftover));
    return {true, request->tail};
}

std::string WidenLineFeeds(const std::string& text) {
    std::string widened;
    widened.reserve(text.size() +
                    static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    for (char c : text) {
        if (c == '\n') {
            widened += '\r';
        }
        widened += c;
    }
    return widened;
}

void SendToClipboard(const Settings& settings, SerialPort& handheld, Clipboard& clipboard,
                     Traffic& traffic, ChunkTap* tap) {
    // The conditions that need no clipboard come first, so the desktop's
    // clipboard owner is not asked for text that would not be sent.
    if (!settings.ClipboardMethodOn || !handheld.IsOpen()) {
        return;
    }
    std::optional<std::string> text = clipboard.GetText();
    if (!text || text->empty()) {
        return;
    }
    std::string transfer;
    transfer.reserve(kOpenTag.size() + text->size() + kCloseTag.size());
    transfer += kOpenTag;
    std::copy_if(text->begin(), text->end(), std::back_inserter(transfer),
                 [](char c) { return c != '\r'; });
    transfer += kCloseTag;
    try {
        handheld.Write(transfer);
    } catch (const PortError&) {
        return;
    }
    traffic.CountBytes(Counter::Received, transfer.size());
    traffic.AppendToPane(Pane::Received, transfer);
    ReportChunk(tap, ChunkDirection::ProgramToHandheld, false, transfer);
}

} // namespace loomway
