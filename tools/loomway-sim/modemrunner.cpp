#include "tools/loomway-sim/commands.h"
#include "tools/loomway-sim/modem.h"

#include <ostream>

namespace loomway::sim {

int RunModem(const Options& o, SerialLine& line, std::ostream& out, std::ostream& err) {
    using std::chrono::milliseconds;
    Modem modem(o.speed, o.guard);
    out << "modem: ready on " << line.path() << " at " << o.speed << " bit/s\n";
    out.flush();
    std::uint64_t in = 0;
    std::uint64_t sent = 0;
    auto report = [&]() {
        for (const std::string& event : modem.takeEvents()) {
            out << "modem: " << event << "\n";
        }
        out.flush();
    };
    while (!line.stopped()) {
        milliseconds wait(1000);
        if (const auto due = modem.nextDeadline()) {
            wait = std::max(milliseconds(0),
                            std::chrono::duration_cast<milliseconds>(*due - Modem::Clock::now()));
        }
        const std::string bytes = line.read(wait);
        if (line.hungUp()) {
            report();
            err << "loomway-sim: the line " << line.path() << " hung up\n";
            return kExitNoReply;
        }
        const auto now = Modem::Clock::now();
        std::string reply = bytes.empty() ? modem.idle(now) : modem.receive(bytes, now);
        in += bytes.size();
        if (!reply.empty()) {
            line.write(reply, o.chunk, o.delay);
            sent += reply.size();
        }
        report();
        if (o.once && modem.hangups() > 0) {
            break;
        }
    }
    out << "modem: " << in << " bytes received, " << sent << " bytes sent\n";
    out.flush();
    return kExitOk;
}

} // namespace loomway::sim
