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
    : m_clock(clock), m_budget(budgetBytes), m_ring(new char[budgetBytes]),
      m_onSteadyMicros(clock.SteadyMicros()) {}

std::size_t ChunkStore::Cost(const ChunkRecord& record) {
    return sizeof(ChunkRecord) + record.bytes.size() + HeapBytes(record.marks);
}

std::size_t ChunkStore::OffsetOf(const ChunkRecord& record) const {
    return static_cast<std::size_t>(record.bytes.data() - m_ring.get());
}

void ChunkStore::DropOldest() {
    m_bytesUsed -= Cost(m_records.front());
    m_records.pop_front();
    ++m_dropped;
}

std::size_t ChunkStore::PlaceFor(std::size_t size) {
    while (!m_records.empty()) {
        const std::size_t oldest = OffsetOf(m_records.front());
        const std::size_t newest = OffsetOf(m_records.back());
        const std::size_t end = newest + m_records.back().bytes.size();
        if (newest >= oldest) {
            // In use: [oldest, end). Room after it, else before it.
            if (m_budget - end >= size) {
                return end;
            }
            if (oldest >= size) {
                return 0;
            }
        } else if (oldest - end >= size) {
            // Wrapped: in use [oldest, ring end) and [0, end).
            return end;
        }
        DropOldest();
    }
    return 0;
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
    const std::size_t cost = sizeof(ChunkRecord) + bytes.size();
    while (!m_records.empty() && m_bytesUsed + cost > m_budget) {
        DropOldest();
    }
    if (bytes.size() > m_budget) {
        // Alone in the store: the budget dropped every other row.
        m_alone = bytes;
        record.bytes = m_alone;
    } else {
        const std::size_t at = PlaceFor(bytes.size());
        bytes.copy(m_ring.get() + at, bytes.size());
        record.bytes = std::string_view(m_ring.get() + at, bytes.size());
    }
    m_bytesUsed += cost;
    m_records.push_back(std::move(record));
    ++m_endSequence;
}

} // namespace loomway
