#pragma once

#include "base/clock.h"
#include "capture/chunkmarker.h"
#include "core/chunktap.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

namespace loomway {

// One chunk as the store keeps it.
struct ChunkRecord {
    std::uint64_t sequence = 0;     // 0 for the first chunk ever stored, then one more each
    std::int64_t sinceOnMicros = 0; // since the last switch-on (since the store was made before)
    std::int64_t wallMicros = 0;    // wall clock, microseconds since 1970-01-01 UTC
    ChunkDirection direction = ChunkDirection::HandheldToModem;
    bool consumed = false;
    std::string_view bytes; // held by the store, as long as the row is
    std::string marks;      // short text: AT commands, result codes, PPP frames, requests
};

// The most recent chunks, oldest first, within a byte budget: when a new
// chunk would pass the budget the oldest chunks are dropped first, and
// counted. A chunk larger than the whole budget is kept alone.
//
// The chunks' bytes lie one after the other in a ring of the budget's size,
// allocated with the store but left untouched: keeping a chunk costs one copy,
// without an allocation of its own, and the ring's memory becomes resident
// only as traffic fills it, so a quiet session does not hold all of it.
//
// Marks are read when a row is first looked at, for it and every row before
// it not read yet, in order: the relay never waits for them, and a store
// nobody looks at never reads them. Rows dropped unread break the marker's
// thread; it starts afresh at the next row.
//
// For an item model: row r is Row(r), 0 <= r < Rows().
// Sequence numbers never repeat, so a viewer that remembers FirstSequence()
// and EndSequence() from its last look learns how many rows were dropped at
// the front (the new FirstSequence() minus the old one, at most the rows it
// had) and appended at the back (the new EndSequence() minus the old one).
// Clear() drops every row: FirstSequence() becomes EndSequence().
class ChunkStore : public ChunkTap {
public:
    static constexpr std::size_t kDefaultBudget = 16 * 1024 * 1024;

    explicit ChunkStore(const Clock& clock, std::size_t budgetBytes = kDefaultBudget);

    ChunkStore(const ChunkStore&) = delete;
    ChunkStore& operator=(const ChunkStore&) = delete;

    void OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) override;
    // Times of later chunks count from now.
    void OnSwitchOn();
    void Clear();

    std::size_t Rows() const { return m_records.size(); }
    const ChunkRecord& Row(std::size_t row) const;
    std::uint64_t FirstSequence() const { return m_endSequence - m_records.size(); }
    std::uint64_t EndSequence() const { return m_endSequence; }
    // Chunks dropped to stay within the budget since the store was made or cleared.
    std::uint64_t Dropped() const { return m_dropped; }
    // Memory the rows take, as counted against the budget.
    std::size_t BytesUsed() const { return m_bytesUsed; }
    std::size_t Budget() const { return m_budget; }

    // What a record costs against the budget.
    static std::size_t Cost(const ChunkRecord& record);

private:
    void DropOldest();
    // Where in the ring a chunk of size bytes goes, once the oldest chunks in
    // its way are dropped; size is at most the ring's.
    std::size_t PlaceFor(std::size_t size);
    std::size_t OffsetOf(const ChunkRecord& record) const;

    const Clock& m_clock;
    std::size_t m_budget;
    std::unique_ptr<char[]> m_ring; // m_budget bytes, never value-initialised
    std::string m_alone;            // a chunk larger than the ring
    mutable std::deque<ChunkRecord> m_records;
    mutable std::size_t m_bytesUsed = 0;
    std::uint64_t m_endSequence = 0;
    std::uint64_t m_dropped = 0;
    std::int64_t m_onSteadyMicros = 0;
    // Rows before this sequence number have their marks.
    mutable std::uint64_t m_markedEnd = 0;
    mutable ChunkMarker m_marker;
};

} // namespace loomway
