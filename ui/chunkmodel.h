#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <string>
#include <vector>

namespace loomway {

class ChunkStore;
struct ChunkRecord;

// The traffic monitor's rows: one per chunk of the store, oldest first. The
// model keeps no copy of a chunk; it remembers only which of the store's
// sequence numbers it has announced to its views, and Sync() brings that up
// to the store in one removal and one insertion at most, however many chunks
// came or went since. Between two syncs a row whose chunk the store has
// already dropped shows empty.
class ChunkModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Direction, Fate, Length, Hex, Text, Marks, ColumnCount };
    // Bytes shown in the hex and text cells; the rest are in the copy.
    static constexpr std::size_t kCellBytes = 16;

    explicit ChunkModel(ChunkStore& store, QObject* parent = nullptr);

    void Sync();
    // Empties the store and the rows.
    void Clear();
    // Times as wall-clock time of day instead of seconds since switch-on.
    void SetWallClock(bool wallClock);
    bool WallClock() const { return m_wallClock; }

    // The chunk of a row; nullptr when the store no longer holds it.
    const ChunkRecord* Record(int row) const;
    // The next row after `from` (before it when !forward), wrapping round,
    // in which a match of `pattern` starts; -1 when none does. A match may
    // run on into the next chunks of the same direction, as the bytes one
    // side sent are split into chunks at random. With ignoreCase, ASCII
    // letters match either case.
    int Find(const std::string& pattern, int from, bool forward, bool ignoreCase) const;
    // The rows as text for the clipboard: per chunk a heading line (time,
    // direction, fate, length, marks), its bytes as hex dump lines and a
    // blank line.
    QString HexDump(std::vector<int> rows) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString TimeText(const ChunkRecord& record) const;
    bool MatchStartsIn(int row, const std::string& pattern, bool ignoreCase) const;

    ChunkStore& m_store;
    std::uint64_t m_first = 0; // sequence number of row 0
    std::uint64_t m_end = 0;   // one past the last row's
    bool m_wallClock = false;
};

// "handheld → modem", "modem → handheld", "program → handheld".
QString DirectionText(const ChunkRecord& record);
// "forwarded", "consumed", or "sent" for the program's own writes.
QString FateText(const ChunkRecord& record);

} // namespace loomway
