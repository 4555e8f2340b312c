#pragma once

#include "core/traffic.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <optional>
#include <string>

class QLabel;

namespace loomway {

class DataPane;

// The main window's two byte counters and two data panes. A busy relay
// changes them with every chunk while the screen needs them once per frame:
// they are drawn together, at most once per frame of kFrameMs (25 a second).
class TrafficPanel : public QObject, public TrafficView {
    Q_OBJECT
public:
    explicit TrafficPanel(QObject* parent = nullptr);

    // The widgets that show the counter and the pane.
    void AddCounter(Counter counter, QLabel* label);
    void AddPane(Pane pane, DataPane* widget);

    void ShowCounter(Counter counter, const std::string& label) override;
    void ShowPane(Pane pane, const std::string& text, bool caretToEnd) override;

    static constexpr int kFrameMs = 40;
    // Starts a frame unless one is already waiting.
    void RequestFrame();
    // Draws the counters and panes waiting for the frame, then frameDrawn.
    void FlushFrame();

signals:
    // A frame's changes were handed to the widgets for painting; whatever else
    // shows the traffic draws its own along.
    void frameDrawn();

private:
    std::array<QLabel*, 2> m_counters{};
    std::array<DataPane*, 2> m_panes{};
    std::array<std::optional<std::string>, 2> m_counterPending;
    std::array<bool, 2> m_panePending{};
    QTimer m_frame;
};

} // namespace loomway
