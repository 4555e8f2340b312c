#include "base/clock.h"
#include "lines/hayesmodem.h"
#include "tools/loomway-sim/commands.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <ostream>
#include <vector>

namespace loomway::sim {
namespace {

// Whatever is dialled answers as the echo service (tcp port 7), which this
// link plays itself: every byte written comes straight back.
class EchoLink : public ModemLink {
public:
    EchoLink(long speed, std::vector<std::string>& events) : m_speed(speed), m_events(events) {}
    void Attach(HayesModem& modem) { m_modem = &modem; }

    void Dial(const DialTarget& target) override {
        m_number = target.number;
        m_echoed = 0;
        m_events.push_back("dialled " + m_number + ": CONNECT " + std::to_string(m_speed));
        m_modem->OnDialResult(DialOutcome::Connected);
    }
    void Write(const std::string& bytes) override {
        m_echoed += bytes.size();
        m_modem->OnLinkData(bytes);
    }
    void HangUp() override {
        m_events.push_back("hung up (" + m_number + "): " + std::to_string(m_echoed) +
                           " bytes echoed");
        ++m_hangups;
    }
    std::uint64_t hangups() const { return m_hangups; }

private:
    long m_speed;
    std::vector<std::string>& m_events;
    HayesModem* m_modem = nullptr;
    std::string m_number;
    std::uint64_t m_echoed = 0;
    std::uint64_t m_hangups = 0;
};

// The modem's timer as the time it is due, which the read loop waits for.
class DueTimer : public Timer {
public:
    explicit DueTimer(const Clock& clock) : m_clock(clock) {}
    void Start(std::int64_t ms) override { m_due = m_clock.SteadyMicros() + ms * 1000; }
    void Stop() override { m_due.reset(); }
    // Milliseconds until it is due (rounded up), or nothing when not started.
    std::optional<std::int64_t> msLeft() const {
        if (!m_due) {
            return std::nullopt;
        }
        return std::max<std::int64_t>(0, (*m_due - m_clock.SteadyMicros() + 999) / 1000);
    }
    void fired() { m_due.reset(); }

private:
    const Clock& m_clock;
    std::optional<std::int64_t> m_due;
};

class Collector : public ModemSink {
public:
    explicit Collector(std::vector<std::string>& events) : m_events(events) {}
    void ToHandheld(const std::string& bytes) override { out += bytes; }
    void StateChanged(ModemState state) override {
        if (state == ModemState::Escaped) {
            m_events.push_back("escape: command mode, call kept");
        }
    }
    void Note(const std::string& text) override { m_events.push_back(text); }
    std::string out;

private:
    std::vector<std::string>& m_events;
};

// Every number is in the phonebook, and stands for the echo service.
DialLookup EchoService(const std::string& dialString) {
    return LookUpDialString(dialString, "tcp:127.0.0.1:7");
}

} // namespace

int RunModem(const Options& o, SerialLine& line, std::ostream& out, std::ostream& err) {
    using std::chrono::milliseconds;
    std::vector<std::string> events;
    EchoLink link(o.speed, events);
    SystemClock clock;
    DueTimer timer(clock);
    Collector handheld(events);
    ModemDefaults defaults;
    defaults.speed = o.speed;
    defaults.echo = false;
    defaults.guardTime = static_cast<std::uint8_t>((o.guard.count() + 10) / 20);
    HayesModem modem(link, clock, timer, handheld, EchoService, defaults);
    link.Attach(modem);

    out << "modem: ready on " << line.path() << " at " << o.speed << " bit/s\n";
    out.flush();
    std::uint64_t in = 0;
    std::uint64_t sent = 0;
    auto report = [&]() {
        for (const std::string& event : events) {
            out << "modem: " << event << "\n";
        }
        events.clear();
        out.flush();
    };
    while (!line.stopped()) {
        const milliseconds wait(timer.msLeft().value_or(1000));
        const std::string bytes = line.read(wait);
        if (line.hungUp()) {
            report();
            err << "loomway-sim: the line " << line.path() << " hung up\n";
            return kExitNoReply;
        }
        if (!bytes.empty()) {
            modem.FromHandheld(bytes);
        } else if (timer.msLeft() == 0) {
            timer.fired();
            modem.OnTimer();
        }
        in += bytes.size();
        if (!handheld.out.empty()) {
            line.write(handheld.out, o.chunk, o.delay);
            sent += handheld.out.size();
            handheld.out.clear();
        }
        report();
        if (o.once && link.hangups() > 0) {
            break;
        }
    }
    out << "modem: " << in << " bytes received, " << sent << " bytes sent\n";
    out.flush();
    return kExitOk;
}

} // namespace loomway::sim
