#include "ui/trafficpanel.h"

#include "ui/datapane.h"

#include <QLabel>

#include <utility>

namespace loomway {

namespace {

std::size_t index(Counter counter) {
    return counter == Counter::Sent ? 0 : 1;
}

std::size_t index(Pane pane) {
    return pane == Pane::Sent ? 0 : 1;
}

} // namespace

TrafficPanel::TrafficPanel(QObject* parent) : QObject(parent) {
    m_frame.setSingleShot(true);
    m_frame.setInterval(kFrameMs);
    connect(&m_frame, &QTimer::timeout, this, &TrafficPanel::FlushFrame);
}

void TrafficPanel::AddCounter(Counter counter, QLabel* label) {
    m_counters[index(counter)] = label;
}

void TrafficPanel::AddPane(Pane pane, DataPane* widget) {
    m_panes[index(pane)] = widget;
}

void TrafficPanel::ShowCounter(Counter counter, const std::string& label) {
    m_counterPending[index(counter)] = label;
    RequestFrame();
}

void TrafficPanel::ShowPane(Pane pane, const std::string& text, bool caretToEnd) {
    m_panes[index(pane)]->ShowBytes(text, caretToEnd);
    m_panePending[index(pane)] = true;
    RequestFrame();
}

void TrafficPanel::RequestFrame() {
    if (!m_frame.isActive()) {
        m_frame.start();
    }
}

void TrafficPanel::FlushFrame() {
    m_frame.stop();
    for (std::size_t i = 0; i < 2; ++i) {
        if (m_counterPending[i]) {
            const std::string label = *std::exchange(m_counterPending[i], std::nullopt);
            m_counters[i]->setText(
                QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size())));
            m_counters[i]->setAccessibleDescription(m_counters[i]->text());
        }
        if (std::exchange(m_panePending[i], false)) {
            m_panes[i]->Flush();
        }
    }
    // Everything changed in this frame is painted in one pass.
    emit frameDrawn();
}

} // namespace loomway
