#pragma once

// An engine on a fixed-metrics surface, a fake handheld port and recording
// traffic and lamps, shared by the print tests.

#include "core/traffic.h"
#include "services/printengine.h"
#include "tests/support/fakes.h"
#include "tests/support/fixedmetricssurface.h"

#include <string>
#include <vector>

namespace loomway::test {

// Notes writes to the handheld and pane updates in one log, so tests can see their order.
struct OrderLog {
    std::vector<std::string> events;
};

class LoggingSerialPort : public FakeSerialPort {
public:
    explicit LoggingSerialPort(OrderLog& log) : m_log(log) {}
    void Write(const std::string& data) override {
        m_log.events.push_back("write " + data);
        FakeSerialPort::Write(data);
    }

private:
    OrderLog& m_log;
};

class LoggingTrafficView : public RecordingTrafficView {
public:
    explicit LoggingTrafficView(OrderLog& log) : m_log(log) {}
    void ShowPane(Pane pane, const std::string& text, bool caretToEnd) override {
        m_log.events.push_back(std::string(pane == Pane::txtReceive ? "txtReceive " : "txtSend ") +
                               text);
        RecordingTrafficView::ShowPane(pane, text, caretToEnd);
    }

private:
    OrderLog& m_log;
};

struct PrintRig {
    OrderLog log;
    FixedMetricsSurface surface;
    LoggingSerialPort handheld{log};
    LoggingTrafficView view{log};
    Traffic traffic{view};
    RecordingLampPanel lamps;
    PrintEngine engine{surface, handheld, traffic, lamps};

    PrintRig() { handheld.forceOpen(true); }

    // Sends one whole request with the given body.
    bool print(const std::string& body) {
        return engine.PrintRedirect("<LMW_P>" + body + "</LMW_P>");
    }

    // Texts with ink, in drawing order.
    std::vector<std::string> inkTexts() const {
        std::vector<std::string> out;
        for (const auto* d : surface.drawnWithInk()) {
            out.push_back(d->text);
        }
        return out;
    }
    // The calls between job start (its five calls) and EndDoc of the first job.
    std::vector<std::string> middleCalls() const {
        std::vector<std::string> out;
        for (std::size_t i = 5; i < surface.calls.size() && surface.calls[i] != "EndDoc"; ++i) {
            out.push_back(surface.calls[i]);
        }
        return out;
    }
};

} // namespace loomway::test
