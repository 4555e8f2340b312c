#pragma once

#include "core/chunktap.h"

#include <vector>

namespace loomway {

// Hands every chunk to each of its listeners in the order they were added.
// A listener may be added or removed while a chunk is handed out; it then
// takes part from the next chunk on.
class ChunkFanOut : public ChunkTap {
public:
    void Add(ChunkTap& listener);
    void Remove(ChunkTap& listener);
    bool Empty() const { return m_listeners.empty(); }

    void OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) override;

private:
    std::vector<ChunkTap*> m_listeners;
    std::vector<ChunkTap*> m_handing; // the listeners of the chunk being handed out
};

} // namespace loomway
