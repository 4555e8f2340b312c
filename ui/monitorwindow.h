#pragma once

#include "core/chunktap.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace loomway {

class ChunkModel;
class ChunkStore;

// The traffic monitor: every chunk of the store as a row, oldest first,
// following the newest row unless paused; clear, search for text or hex
// bytes, copy rows as a hex dump. Told of each chunk (after the store), it
// brings its rows up to date together with a frame of the main window
// (SyncIfDirty), at most every kEveryMs, or kLatestMs after the first new
// chunk when no frame comes; and only while shown. A table repaint stops the
// relay for as long as it takes, so it comes seldom and with the main
// window's own.
class MonitorWindow : public QWidget, public ChunkTap {
    Q_OBJECT
public:
    static constexpr int kEveryMs = 250;
    static constexpr int kLatestMs = 300;

    explicit MonitorWindow(ChunkStore& store, QWidget* parent = nullptr);
    ~MonitorWindow() override;

    void OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) override;

    // Shows the window, brought up to date, in front.
    void Open();
    // Brings the rows up to the store now (otherwise done at the next frame).
    void Sync();
    // Sync() when chunks came since the last one, at least kEveryMs ago.
    void SyncIfDirty();
    // Selects the next (or previous) row holding the search text; false when none does.
    bool FindNext(bool forward = true);
    // The selected rows as a hex dump on the clipboard.
    void CopySelection();

    ChunkModel& Model() { return *m_model; }
    QTableView& View() { return *m_view; }
    bool Following() const;
    void SetFollowing(bool follow);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowCounts();

    ChunkStore& m_store;
    ChunkModel* m_model = nullptr;
    QTableView* m_view = nullptr;
    QCheckBox* m_follow = nullptr;
    QCheckBox* m_wallClock = nullptr;
    QLineEdit* m_search = nullptr;
    QCheckBox* m_hexSearch = nullptr;
    QLabel* m_counts = nullptr;
    QTimer m_latest;
    QElapsedTimer m_sinceSync;
    bool m_dirty = false;
};

} // namespace loomway
