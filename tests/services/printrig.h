#pragma once
// An engine on a fixed-metrics surface with a fake handheld port, shared by
// the print tests; `log` notes writes and pane updates in order.
#include "core/traffic.h"
#include "services/printengine.h"
#include "tests/support/fakes.h"
#include "tests/support/fixedmetricssurface.h"

#include <QStringList>

namespace loomway::test {

struct PrintRig : FakeSerialPort, RecordingTrafficView {
    FixedMetricsSurface surface;
    Traffic traffic{*this};
    RecordingLampPanel lamps;
    PrintEngine engine{surface, *this, traffic, lamps};
    QStringList log;

    PrintRig() { forceOpen(true); }
    void Write(const std::string& data) override {
        log << "write " + QString::fromLatin1(data);
        FakeSerialPort::Write(data);
    }
    void ShowPane(Pane pane, const std::string& text, bool caret) override {
        log << "shown " + QString::fromLatin1(text);
        RecordingTrafficView::ShowPane(pane, text, caret);
    }
    bool print(const std::string& body) {
        return engine.PrintRedirect("<LMW_P>" + body + "</LMW_P>");
    }
    // Each drawing as "page x y 'text'", "|" when it ended the line.
    QString drawings() const {
        QStringList out;
        for (const auto& d : surface.drawn) {
            out << QStringLiteral("p%1 %2 %3 '%4'%5")
                       .arg(d.page)
                       .arg(double(d.x))
                       .arg(double(d.y))
                       .arg(QString::fromLatin1(d.text))
                       .arg(d.endedLine ? "|" : "");
        }
        return out.join(", ");
    }
};

} // namespace loomway::test
