#include "tools/loomway-sim/commands.h"
#include "tools/loomway-sim/wire.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace loomway::sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string ReadInput(const std::string& name) {
    if (name == "-") {
        std::ostringstream all;
        all << std::cin.rdbuf();
        return all.str();
    }
    std::ifstream file(name, std::ios::binary);
    if (!file) {
        throw UsageError("cannot read " + name + ": " + std::strerror(errno));
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Seconds(milliseconds ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(ms.count()) / 1000.0);
    return text;
}

milliseconds Left(Clock::time_point deadline) {
    return std::max(milliseconds(0),
                    std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
}

std::string Hex(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", c);
    return text;
}

// Why a wait on the line ended without what it waited for.
std::string WhyNothing(const SerialLine& line, const std::string& what, milliseconds timeout) {
    if (line.stopped()) {
        return "interrupted before " + what + " came";
    }
    if (line.hungUp()) {
        return "the line " + line.path() + " hung up before " + what + " came";
    }
    return "no " + what + " came within " + Seconds(timeout) + " s";
}

int WaitForStatusReply(const Options& o, SerialLine& line, std::size_t bodyLength,
                       std::ostream& out, std::ostream& err) {
    FrameScanner replies(kReplyOpen, kReplyClose);
    const auto deadline = Clock::now() + o.timeout;
    while (!line.stopped() && !line.hungUp()) {
        const auto found = replies.feed(line.read(Left(deadline)));
        if (!found.empty()) {
            std::string why;
            const auto reply = ParseStatusReply(found.front(), why);
            if (!reply) {
                err << "loomway-sim: malformed status reply " << kReplyOpen << found.front()
                    << kReplyClose << ": " << why << "\n";
                return kExitNoReply;
            }
            out << "STA=" << reply->sta << "\nPRINT_HW=" << reply->printHw
                << "\nFONT_HW=" << reply->fontHw << "\nLEN=" << reply->len
                << "\nNAME=" << reply->name << "\n";
            out.flush();
            if (reply->len != std::to_string(bodyLength)) {
                err << "loomway-sim: the reply says LEN=" << reply->len << " but the document had "
                    << bodyLength << " characters\n";
                return kExitNoReply;
            }
            if (!reply->defined()) {
                err << "loomway-sim: the printer reported STA=" << reply->sta << "\n";
                return kExitNoReply;
            }
            return kExitOk;
        }
        if (Clock::now() >= deadline) {
            break;
        }
    }
    err << "loomway-sim: " << WhyNothing(line, "status reply", o.timeout) << "\n";
    return kExitNoReply;
}

int Listen(const Options& o, SerialLine& line, std::ostream& out, std::ostream& err) {
    FrameScanner transfers(kClipOpen, kClipClose);
    const auto deadline = Clock::now() + o.timeout;
    std::size_t seen = 0;
    err << "loomway-sim: listening on " << line.path() << "\n";
    err.flush();
    while (!line.stopped() && !line.hungUp()) {
        const milliseconds wait = o.timeoutGiven ? Left(deadline) : milliseconds(1000);
        for (const std::string& text : transfers.feed(line.read(wait))) {
            out << (o.latin1 ? Latin1ToUtf8(text) : text) << "\n";
            out.flush();
            if (++seen == o.count) {
                return kExitOk;
            }
        }
        if (o.timeoutGiven && Clock::now() >= deadline) {
            break;
        }
    }
    if (o.count == 0 && seen > 0 && !line.hungUp()) {
        return kExitOk; // listened until the timeout or a stop signal, as asked
    }
    if (line.stopped() && o.count == 0) {
        return kExitOk;
    }
    err << "loomway-sim: " << seen << " clipboard transfer" << (seen == 1 ? "" : "s")
        << (o.count > 0 ? " of " + std::to_string(o.count) : std::string()) << ": "
        << WhyNothing(line, "the next one", o.timeout) << "\n";
    return kExitNoReply;
}

// Reads lines of the modem's answer up to a final result code.
class AnswerReader {
public:
    explicit AnswerReader(SerialLine& line) : m_line(line) {}

    // The next line that is a final result, printing every line on the way;
    // empty when none came in time.
    std::string finalResult(milliseconds timeout, std::ostream& out) {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            while (auto next = takeLine()) {
                if (next->empty()) {
                    continue;
                }
                out << *next << "\n";
                out.flush();
                if (IsFinal(*next)) {
                    return *next;
                }
            }
            if (m_line.stopped() || m_line.hungUp() || Clock::now() >= deadline) {
                return {};
            }
            m_pending += m_line.read(Left(deadline));
        }
    }

    // What came after the last line taken.
    std::string rest() {
        std::string r;
        r.swap(m_pending);
        return r;
    }

private:
    static bool IsFinal(const std::string& l) {
        for (const char* code : {"OK", "ERROR", "NO CARRIER", "BUSY", "NO DIALTONE", "NO ANSWER"}) {
            if (l == code) {
                return true;
            }
        }
        return l.rfind("CONNECT", 0) == 0;
    }

    std::optional<std::string> takeLine() {
        const auto end = m_pending.find_first_of("\r\n");
        if (end == std::string::npos) {
            return std::nullopt;
        }
        std::string l = m_pending.substr(0, end);
        const bool crlf = m_pending.compare(end, 2, "\r\n") == 0;
        m_pending.erase(0, end + (crlf ? 2 : 1));
        return l;
    }

    SerialLine& m_line;
    std::string m_pending;
};

// Writes data and checks that the same bytes come back. Reads while writing,
// so a long transfer never stalls on full buffers.
bool Echoed(const Options& o, SerialLine& line, const std::string& data, std::string& back,
            std::ostream& err) {
    const std::size_t piece = o.chunk > 0 ? o.chunk : 1024;
    for (std::size_t at = 0; at < data.size(); at += piece) {
        line.write(std::string_view(data).substr(at, piece));
        back += line.read(milliseconds(0));
        if (o.chunk > 0 && o.delay.count() > 0 && at + piece < data.size()) {
            line.pause(o.delay);
        }
    }
    while (back.size() < data.size() && !line.stopped() && !line.hungUp()) {
        const std::string got = line.read(o.timeout);
        if (got.empty()) {
            break;
        }
        back += got;
    }
    if (back.size() < data.size()) {
        err << "loomway-sim: only " << back.size() << " of " << data.size()
            << " bytes came back: " << WhyNothing(line, "the rest", o.timeout) << "\n";
        return false;
    }
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(data.begin(), data.end(), back.begin()).first - data.begin());
    if (same < data.size()) {
        err << "loomway-sim: the echo differs at byte " << same << ": sent "
            << Hex(static_cast<unsigned char>(data[same])) << ", got "
            << Hex(static_cast<unsigned char>(back[same])) << "\n";
        return false;
    }
    return true;
}

int Dial(const Options& o, SerialLine& line, const std::string& data, std::ostream& out,
         std::ostream& err) {
    line.write("ATDT" + o.argument + "\r");
    AnswerReader answers(line);
    const std::string answer = answers.finalResult(o.timeout, out);
    if (answer.empty()) {
        err << "loomway-sim: " << WhyNothing(line, "answer from the modem", o.timeout) << "\n";
        return kExitNoReply;
    }
    if (answer.rfind("CONNECT", 0) != 0) {
        err << "loomway-sim: the modem answered " << answer << ", not CONNECT\n";
        return kExitNoReply;
    }
    std::string early = answers.rest();
    for (const std::string& text : o.lines) {
        const std::string payload = text + "\r\n";
        std::string back = early;
        early.clear();
        out << "sent: " << text << "\n";
        if (!Echoed(o, line, payload, back, err)) {
            return kExitNoReply;
        }
        out << "echo: " << back.substr(0, text.size()) << "\n";
        out.flush();
    }
    if (!o.dataFile.empty()) {
        std::string back = early;
        early.clear();
        if (!Echoed(o, line, data, back, err)) {
            return kExitNoReply;
        }
        out << "echoed " << data.size() << " bytes unchanged\n";
        out.flush();
    }
    if (o.hangup) {
        // The modem wants at least the guard time of silence around "+++":
        // wait a little longer so clocks on both sides agree.
        const milliseconds margin = o.guard / 4 + milliseconds(50);
        line.pause(o.guard + margin);
        line.write("+++");
        if (answers.finalResult(o.guard + margin + o.timeout, out) != "OK") {
            err << "loomway-sim: the modem did not leave data mode after +++\n";
            return kExitNoReply;
        }
        line.write("ATH\r");
        if (answers.finalResult(o.timeout, out) != "OK") {
            err << "loomway-sim: the modem did not confirm ATH\n";
            return kExitNoReply;
        }
        out << "hung up\n";
    }
    return kExitOk;
}

} // namespace

std::string PrepareHandheldInput(const Options& o) {
    if (o.command == "clip") {
        std::string text = o.argument == "-" ? ReadInput("-") : o.argument;
        text = ToHandheldLineEnds(o.latin1 ? Utf8ToLatin1(text) : text);
        if (text.find(kClipClose) != std::string::npos) {
            throw UsageError(
                std::string("the text holds ") + kClipClose +
                ", which would end the request early (use handheld send for raw bytes)");
        }
        return ClipRequest(text);
    }
    if (o.command == "print") {
        std::string document = ReadInput(o.argument);
        if (o.latin1) {
            document = Utf8ToLatin1(document);
        }
        if (document.find(kPrintClose) != std::string::npos) {
            throw UsageError(std::string("the document holds ") + kPrintClose +
                             ", which would end the request early (use handheld send for raw "
                             "bytes)");
        }
        return PrintBody(document, o.status);
    }
    if (o.command == "status") {
        return PrintBody("", true);
    }
    if (o.command == "send") {
        return ReadInput(o.argument);
    }
    if (o.command == "dial" && !o.dataFile.empty()) {
        return ReadInput(o.dataFile);
    }
    return {};
}

int RunHandheld(const Options& o, const std::string& input, SerialLine& line, std::ostream& out,
                std::ostream& err) {
    if (o.command == "clip" || o.command == "send") {
        line.write(input, o.chunk, o.delay);
        return kExitOk;
    }
    if (o.command == "print" || o.command == "status") {
        const std::string request = PrintRequest(input);
        line.write(request, o.chunk, o.delay);
        if (o.command == "print" && !o.status) {
            return kExitOk;
        }
        return WaitForStatusReply(o, line, input.size(), out, err);
    }
    if (o.command == "listen") {
        return Listen(o, line, out, err);
    }
    return Dial(o, line, input, out, err);
}

} // namespace loomway::sim
