#include "ui/chunkmodel.h"

#include "capture/chunkstore.h"
#include "ui/chunktext.h"

#include <QDateTime>

#include <algorithm>
#include <functional>

namespace loomway {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

char Folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Where the first match of pattern in bytes starts; npos when there is none.
std::size_t MatchAt(std::string_view bytes, const std::string& pattern, bool ignoreCase) {
    if (!ignoreCase) {
        return bytes.find(pattern);
    }
    const auto same = [](char a, char b) { return Folded(a) == Folded(b); };
    const auto at = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end(), same);
    return at == bytes.end() ? std::string_view::npos
                             : static_cast<std::size_t>(at - bytes.begin());
}

} // namespace

QString DirectionText(const ChunkRecord& record) {
    switch (record.direction) {
    case ChunkDirection::HandheldToModem:
        return QStringLiteral("handheld \u2192 modem");
    case ChunkDirection::ModemToHandheld:
        return QStringLiteral("modem \u2192 handheld");
    case ChunkDirection::ProgramToHandheld:
        break;
    }
    return QStringLiteral("program \u2192 handheld");
}

QString FateText(const ChunkRecord& record) {
    if (record.direction == ChunkDirection::ProgramToHandheld) {
        return QStringLiteral("sent");
    }
    return record.consumed ? QStringLiteral("consumed") : QStringLiteral("forwarded");
}

ChunkModel::ChunkModel(ChunkStore& store, QObject* parent)
    : QAbstractTableModel(parent), m_store(store), m_first(store.FirstSequence()),
      m_end(store.FirstSequence()) {}

void ChunkModel::Sync() {
    const std::uint64_t first = m_store.FirstSequence();
    const std::uint64_t end = m_store.EndSequence();
    // Rows whose chunks the store dropped (or cleared) since the last look.
    const std::uint64_t gone = std::min(first > m_first ? first - m_first : 0, m_end - m_first);
    if (gone > 0) {
        beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
        m_first += gone;
        endRemoveRows();
    }
    if (m_first == m_end) {
        // Nothing left of the old rows: the new ones start at the store's first.
        m_first = m_end = std::max(m_end, first);
    }
    if (end > m_end) {
        beginInsertRows({}, rowCount(), rowCount() + static_cast<int>(end - m_end) - 1);
        m_end = end;
        endInsertRows();
    }
}

void ChunkModel::Clear() {
    m_store.Clear();
    Sync();
}

void ChunkModel::SetWallClock(bool wallClock) {
    if (m_wallClock == wallClock) {
        return;
    }
    m_wallClock = wallClock;
    if (rowCount() > 0) {
        emit dataChanged(index(0, Time), index(rowCount() - 1, Time), {Qt::DisplayRole});
    }
    emit headerDataChanged(Qt::Horizontal, Time, Time);
}

const ChunkRecord* ChunkModel::Record(int row) const {
    if (row < 0 || row >= rowCount()) {
        return nullptr;
    }
    const std::uint64_t sequence = m_first + static_cast<std::uint64_t>(row);
    if (sequence < m_store.FirstSequence() || sequence >= m_store.EndSequence()) {
        return nullptr;
    }
    return &m_store.Row(static_cast<std::size_t>(sequence - m_store.FirstSequence()));
}

int ChunkModel::Find(const std::string& pattern, int from, bool forward, bool ignoreCase) const {
    const int rows = rowCount();
    if (pattern.empty() || rows == 0) {
        return -1;
    }
    const int step = forward ? 1 : -1;
    int row = from;
    for (int n = 0; n < rows; ++n) {
        row = ((row + step) % rows + rows) % rows;
        if (MatchStartsIn(row, pattern, ignoreCase)) {
            return row;
        }
    }
    return -1;
}

bool ChunkModel::MatchStartsIn(int row, const std::string& pattern, bool ignoreCase) const {
    const ChunkRecord* record = Record(row);
    if (record == nullptr) {
        return false;
    }
    if (MatchAt(record->bytes, pattern, ignoreCase) != std::string_view::npos) {
        return true;
    }
    // A match that runs on starts in the chunk's last pattern.size() - 1
    // bytes and ends in the bytes that follow them in its direction.
    const std::size_t room = pattern.size() - 1;
    const std::size_t tail = std::min(record->bytes.size(), room);
    std::string seam(record->bytes.substr(record->bytes.size() - tail));
    for (int next = row + 1; next < rowCount() && seam.size() < tail + room; ++next) {
        const ChunkRecord* following = Record(next);
        if (following == nullptr) {
            return false;
        }
        if (following->direction == record->direction) {
            seam.append(following->bytes.substr(0, tail + room - seam.size()));
        }
    }
    return MatchAt(seam, pattern, ignoreCase) < tail;
}

QString ChunkModel::HexDump(std::vector<int> rows) const {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QString out;
    for (int row : rows) {
        const ChunkRecord* record = Record(row);
        if (record == nullptr) {
            continue;
        }
        QString heading = TimeText(*record) + QStringLiteral("  ") + DirectionText(*record) +
                          QStringLiteral("  ") + FateText(*record) +
                          QStringLiteral("  %1 bytes").arg(record->bytes.size());
        if (!record->marks.empty()) {
            heading += QStringLiteral("  ") + FromUtf8(record->marks);
        }
        out +=
            heading + QLatin1Char('\n') + FromUtf8(HexDumpLines(record->bytes)) + QLatin1Char('\n');
    }
    return out;
}

QString ChunkModel::TimeText(const ChunkRecord& record) const {
    if (m_wallClock) {
        return QDateTime::fromMSecsSinceEpoch(record.wallMicros / 1000)
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    }
    const std::int64_t millis = record.sinceOnMicros / 1000;
    return QStringLiteral("%1.%2")
        .arg(millis / 1000)
        .arg(static_cast<int>(millis % 1000), 3, 10, QLatin1Char('0'));
}

int ChunkModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_end - m_first);
}

int ChunkModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ChunkModel::data(const QModelIndex& index, int role) const {
    const ChunkRecord* record = Record(index.row());
    if (record == nullptr) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() == Time || index.column() == Length;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
    case Time:
        return TimeText(*record);
    case Direction:
        return DirectionText(*record);
    case Fate:
        return FateText(*record);
    case Length:
        return static_cast<qulonglong>(record->bytes.size());
    case Hex:
        return FromUtf8(HexText(record->bytes, kCellBytes));
    case Text:
        return FromUtf8(PrintableText(record->bytes, kCellBytes));
    case Marks:
        return FromUtf8(record->marks);
    default:
        return {};
    }
}

QVariant ChunkModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case Time:
        return m_wallClock ? QStringLiteral("Wall clock") : QStringLiteral("Time (s)");
    case Direction:
        return QStringLiteral("Direction");
    case Fate:
        return QStringLiteral("Fate");
    case Length:
        return QStringLiteral("Length");
    case Hex:
        return QStringLiteral("Hex");
    case Text:
        return QStringLiteral("Text");
    case Marks:
        return QStringLiteral("Marks");
    default:
        return {};
    }
}

} // namespace loomway
