#include "capture/chunkstore.h"

namespace loomway {

namespace {
// What std::string keeps on the heap for a text of this capacity (none while
// it fits in the string itself).
std::size_t HeapBytes(const std::string& text) {
    return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}
} // namespace

ChunkStore::ChunkStore(const Clock& clock, std::size_t budgetBytes)
    : m_clock(clock), m_budget(budgetBytes), m_onSteadyMicros(clock.SteadyMicros()) {}

std::size_t ChunkStore::Cost(const ChunkRecord& record) {
    return sizeof(ChunkRecord) + HeapBytes(record.bytes) + HeapBytes(record.marks);
}

const ChunkRecord& ChunkStore::Row(std::size_t row) const {
    const std::uint64_t first = FirstSequence();
    if (m_markedEnd < first) {
        // The rows between were dropped before anyone looked at them.
        m_marker = ChunkMarker();
        m_markedEnd = first;
    }
    for (std::uint64_t sequence = m_markedEnd; sequence <= first + row; ++sequence) {
        ChunkRecord& record = m_records[static_cast<std::size_t>(sequence - first)];
        const std::size_t before = Cost(record);
        record.marks = m_marker.Mark(record.direction, record.bytes);
        m_bytesUsed += Cost(record) - before;
        m_markedEnd = sequence + 1;
    }
    return m_records[row];
}

void ChunkStore::OnSwitchOn() {
    m_onSteadyMicros = m_clock.SteadyMicros();
}

void ChunkStore::Clear() {
    m_records.clear();
    m_bytesUsed = 0;
    m_dropped = 0;
}

void ChunkStore::OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) {
    ChunkRecord record;
    record.sequence = m_endSequence;
    record.sinceOnMicros = m_clock.SteadyMicros() - m_onSteadyMicros;
    record.wallMicros = m_clock.WallMicros();
    record.direction = direction;
    record.consumed = consumed;
    record.bytes = bytes;
    const std::size_t cost = Cost(record);
    while (!m_records.empty() && m_bytesUsed + cost > m_budget) {
        m_bytesUsed -= Cost(m_records.front());
        m_records.pop_front();
        ++m_dropped;
    }
    m_bytesUsed += cost;
    m_records.push_back(std::move(record));
    ++m_endSequence;
}

} // namespace loomway
