#include "capture/chunkfanout.h"

#include <algorithm>

namespace loomway {

void ChunkFanOut::Add(ChunkTap& listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), &listener) == m_listeners.end()) {
        m_listeners.push_back(&listener);
    }
}

void ChunkFanOut::Remove(ChunkTap& listener) {
    std::erase(m_listeners, &listener);
    // A listener removed while a chunk is handed out is not called any more.
    std::replace(m_handing.begin(), m_handing.end(), &listener, static_cast<ChunkTap*>(nullptr));
}

void ChunkFanOut::OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) {
    if (!m_handing.empty()) {
        return; // a listener's own report while it is being told: not handed out again
    }
    m_handing = m_listeners;
    for (std::size_t i = 0; i < m_handing.size(); ++i) {
        if (m_handing[i] != nullptr) {
            m_handing[i]->OnChunk(direction, consumed, bytes);
        }
    }
    m_handing.clear();
}

} // namespace loomway
