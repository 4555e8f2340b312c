#include "core/traffic.h"

namespace loomway {

namespace {

constexpr std::size_t kPaneLimit = 1000;

int Index(Counter counter) {
    return counter == Counter::Sent ? 0 : 1;
}
int Index(Pane pane) {
    return pane == Pane::Sent ? 0 : 1;
}

} // namespace

Traffic::Traffic(TrafficView& view) : m_view(view) {}

void Traffic::CountBytes(Counter counter, std::uint64_t count) {
    std::uint64_t& value = m_counts[Index(counter)];
    value += count;
    m_view.ShowCounter(counter, std::to_string(value));
}

void Traffic::AppendToPane(Pane pane, const std::string& text) {
    std::string& shown = m_panes[Index(pane)];
    // The pane is emptied as soon as an append carries it past the limit, so
    // such a text would never be painted: the view only gets the outcome, and
    // a long chunk is never copied into the pane at all.
    if (shown.size() + text.size() > kPaneLimit) {
        shown.clear();
        m_view.ShowPane(pane, shown, true);
        return;
    }
    shown += text;
    // A pane holding a single character keeps its caret where it was.
    m_view.ShowPane(pane, shown, shown.size() > 1);
}

void Traffic::ClearPanes() {
    for (Pane pane : {Pane::Sent, Pane::Received}) {
        m_panes[Index(pane)].clear();
        m_view.ShowPane(pane, m_panes[Index(pane)], false);
    }
}

void Traffic::ResetCounters() {
    m_counts[0] = 0;
    m_counts[1] = 0;
    m_view.ShowCounter(Counter::Sent, "0");
    m_view.ShowCounter(Counter::Received, "0");
}

void Traffic::ResetBoth() {
    ClearPanes();
    ResetCounters();
}

std::uint64_t Traffic::Count(Counter counter) const {
    return m_counts[Index(counter)];
}

const std::string& Traffic::PaneText(Pane pane) const {
    return m_panes[Index(pane)];
}

} // namespace loomway
