#pragma once

#include <cstdint>
#include <string>

namespace loomway {

enum class Counter { Sent, Received };
enum class Pane { Sent, Received };

// Shows the counters and panes; implemented by the main window's traffic panel.
class TrafficView {
public:
    virtual ~TrafficView() = default;
    // label: the counter in plain decimal, e.g. "0" or "1048576".
    virtual void ShowCounter(Counter counter, const std::string& label) = 0;
    // text: the pane's whole text, one char per byte (shown as Latin-1).
    // caretToEnd: place the caret after the last character.
    virtual void ShowPane(Pane pane, const std::string& text, bool caretToEnd) = 0;
};

// The two byte counters and the two data panes as state. Every other part adds
// to them only through CountBytes and AppendToPane.
class Traffic {
public:
    explicit Traffic(TrafficView& view);

    void CountBytes(Counter counter, std::uint64_t count);
    void AppendToPane(Pane pane, const std::string& text);
    void ClearPanes();
    void ResetCounters();
    void ResetBoth();

    std::uint64_t Count(Counter counter) const;
    const std::string& PaneText(Pane pane) const;

private:
    TrafficView& m_view;
    std::uint64_t m_counts[2] = {0, 0};
    std::string m_panes[2];
};

} // namespace loomway
