#include "lines/hayesmodem.h"

#include "base/asciitext.h"

#include <algorithm>
#include <utility>

namespace loomway {
namespace {

constexpr std::size_t kMaxLine = 255;
constexpr std::size_t kMaxHeld = 64 * 1024;

enum Code { kOk = 0, kConnect = 1, kNoCarrier = 3, kError = 4, kBusy = 7, kNoAnswer = 8 };

const char* Words(int code) {
    switch (code) {
    case kOk:
        return "OK";
    case kNoCarrier:
        return "NO CARRIER";
    case kError:
        return "ERROR";
    case kBusy:
        return "BUSY";
    case kNoAnswer:
        return "NO ANSWER";
    default:
        return "CONNECT";
    }
}

int ConnectCode(long speed) {
    switch (speed) {
    case 1200:
        return 5;
    case 2400:
        return 10;
    case 4800:
        return 11;
    case 9600:
        return 12;
    case 19200:
        return 16;
    case 28800:
        return 64;
    case 38400:
        return 17;
    case 57600:
        return 18;
    case 115200:
        return 19;
    default:
        return kConnect;
    }
}

// The decimal number at line[i...], advancing i; `none` when there is no digit.
long Number(const std::string& line, std::size_t& i, long none) {
    if (i >= line.size() || !IsDigit(line[i])) {
        return none;
    }
    long value = 0;
    while (i < line.size() && IsDigit(line[i])) {
        value = std::min(value * 10 + (line[i] - '0'), 100000L);
        ++i;
    }
    return value;
}

} // namespace

HayesModem::HayesModem(ModemLink& link, const Clock& clock, Timer& timer, ModemSink& sink,
                       DialDirectory directory, ModemDefaults defaults)
    : m_link(link), m_clock(clock), m_timer(timer), m_sink(sink), m_directory(std::move(directory)),
      m_defaults(defaults) {
    RestoreDefaults();
}

void HayesModem::RestoreDefaults() {
    m_registers.fill(0);
    m_registers[2] = '+';
    m_registers[3] = '\r';
    m_registers[4] = '\n';
    m_registers[5] = 8;
    m_registers[6] = 2;
    m_registers[7] = m_defaults.waitCarrier;
    m_registers[8] = 2;
    m_registers[9] = 6;
    m_registers[10] = 14;
    m_registers[11] = 95;
    m_registers[12] = m_defaults.guardTime;
    m_echo = m_defaults.echo;
    m_verbose = true;
    m_quiet = false;
    m_extended = 4;
}

void HayesModem::Emit(const std::string& bytes) {
    if (!bytes.empty()) {
        m_sink.ToHandheld(bytes);
    }
}

void HayesModem::SetState(ModemState state) {
    if (m_state != state) {
        m_state = state;
        m_sink.StateChanged(state);
    }
}

void HayesModem::Result(int code) {
    if (m_quiet) {
        return;
    }
    if (m_extended == 0 && (code == kBusy || code == kNoAnswer)) {
        code = kNoCarrier;
    }
    const char cr = static_cast<char>(m_registers[3]);
    const char lf = static_cast<char>(m_registers[4]);
    if (!m_verbose) {
        const int digits =
            code == kConnect && m_extended > 0 ? ConnectCode(m_defaults.speed) : code;
        Emit(std::to_string(digits) + cr);
        return;
    }
    std::string words = Words(code);
    if (code == kConnect && m_extended > 0) {
        words += ' ';
        words += std::to_string(m_defaults.speed);
    }
    Emit(std::string{cr, lf} + words + std::string{cr, lf});
}

void HayesModem::Info(const std::string& text) {
    const char cr = static_cast<char>(m_registers[3]);
    const char lf = static_cast<char>(m_registers[4]);
    Emit(m_verbose ? std::string{cr, lf} + text + std::string{cr, lf} : text + std::string{cr, lf});
}

void HayesModem::EndCall(bool tellLink) {
    m_timer.Stop();
    if (tellLink && m_state != ModemState::Command) {
        m_link.HangUp();
    }
    m_held.clear();
    m_escapeCount = 0;
    SetState(ModemState::Command);
}

void HayesModem::Reset() {
    EndCall(true);
    m_line.clear();
    m_lineTooLong = false;
    m_sawA = false;
    RestoreDefaults();
}

void HayesModem::ArmGuard() {
    m_timer.Start(std::int64_t{m_registers[12]} * 20);
}

void HayesModem::FromHandheld(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const std::int64_t now = NowMs();
        switch (m_state) {
        case ModemState::Online: {
            const std::int64_t guard = std::int64_t{m_registers[12]} * 20;
            const bool escapeChar = m_registers[2] <= 127 && c == static_cast<char>(m_registers[2]);
            // Each escape character within the guard time of the one before,
            // the first after a silence of the guard time.
            const bool soon = now - m_lastHandheldByte < guard || guard == 0;
            if (escapeChar && m_escapeCount > 0 && m_escapeCount < 3 && soon) {
                ++m_escapeCount;
            } else if (escapeChar && now - m_lastHandheldByte >= guard) {
                m_escapeCount = 1;
            } else {
                m_escapeCount = 0;
            }
            m_lastHandheldByte = now;
            // Bytes of one chunk arrive together, with no silence between
            // them: unless the guard time is zero, none of the rest can start
            // an escape, so it goes out in one piece.
            std::size_t end = i + 1;
            while (m_escapeCount == 0 && end < bytes.size() &&
                   (guard > 0 || bytes[end] != static_cast<char>(m_registers[2]))) {
                ++end;
            }
            m_link.Write(std::string(bytes.substr(i, end - i)));
            i = end - 1;
            if (m_escapeCount == 3) {
                ArmGuard();
            } else {
                m_timer.Stop();
            }
            break;
        }
        case ModemState::Dialing:
            if (c != '\n') {
                EndCall(true);
                Result(kNoCarrier);
            }
            break;
        case ModemState::Command:
        case ModemState::Escaped:
            if (m_echo) {
                Emit(std::string(1, c));
            }
            if (c == static_cast<char>(m_registers[3])) {
                const std::string line = m_line;
                const bool tooLong = m_lineTooLong;
                m_line.clear();
                m_lineTooLong = false;
                m_sawA = false;
                if (tooLong) {
                    Result(kError);
                } else {
                    Execute(line);
                }
            } else if (c == static_cast<char>(m_registers[5])) {
                if (!m_line.empty()) {
                    m_line.pop_back();
                }
            } else if (c == '/' && m_sawA) {
                m_line.clear();
                m_sawA = false;
                Execute(m_lastLine);
            } else if (c != '\n' && c != '\0') {
                if (m_line.size() < kMaxLine) {
                    m_line += c;
                } else {
                    m_lineTooLong = true;
                }
                m_sawA = m_line.size() == 1 && UpperAscii(m_line[0]) == 'A';
            }
            break;
        }
    }
}

void HayesModem::Execute(const std::string& raw) {
    std::string line;
    for (char c : raw) {
        if (!IsBlank(c)) {
            line += c;
        }
    }
    if (line.empty()) {
        return;
    }
    if (line.size() < 2 || UpperAscii(line[0]) != 'A' || UpperAscii(line[1]) != 'T') {
        Result(kError);
        return;
    }
    m_lastLine = raw;
    std::size_t i = 2;
    while (i < line.size()) {
        std::string out;
        if (Command(line, i, out) == Step::Stop) {
            return; // the command gave its own result
        }
        if (!out.empty()) {
            Info(out);
        }
    }
    Result(kOk);
}

// Runs the command at line[i], advancing i past it. Information lines go to
// `out`. Step::Stop when the command has given the line's result itself.
HayesModem::Step HayesModem::Command(const std::string& line, std::size_t& i, std::string& out) {
    const char letter = UpperAscii(line[i++]);
    switch (letter) {
    case 'D':
        Dial(line.substr(i));
        i = line.size();
        return Step::Stop;
    case 'S': {
        const long n = Number(line, i, -1);
        if (n < 0 || n > 255 || i >= line.size()) {
            Result(kError);
            return Step::Stop;
        }
        if (line[i] == '?') {
            ++i;
            const std::string value = std::to_string(m_registers[static_cast<std::size_t>(n)]);
            out = std::string(3 - std::min<std::size_t>(3, value.size()), '0') + value;
            return Step::Next;
        }
        if (line[i] == '=') {
            ++i;
            const long v = Number(line, i, 0);
            if (v > 255) {
                Result(kError);
                return Step::Stop;
            }
            m_registers[static_cast<std::size_t>(n)] = static_cast<std::uint8_t>(v);
            return Step::Next;
        }
        Result(kError);
        return Step::Stop;
    }
    case '&':
    case '\\':
    case '%':
        if (i >= line.size() || !IsLetter(line[i])) {
            Result(kError);
            return Step::Stop;
        }
        if (letter == '&' && UpperAscii(line[i]) == 'F') {
            RestoreDefaults();
        }
        ++i;
        Number(line, i, 0);
        return Step::Next;
    case '+':
        i = std::min(line.find(';', i), line.size());
        if (i < line.size()) {
            ++i;
        }
        return Step::Next;
    default:
        break;
    }
    const long n = Number(line, i, 0);
    switch (letter) {
    case 'E':
    case 'V':
    case 'Q':
        if (n > 1) {
            Result(kError);
            return Step::Stop;
        }
        (letter == 'E' ? m_echo : letter == 'V' ? m_verbose : m_quiet) = n == 1;
        return Step::Next;
    case 'X':
        if (n > 4) {
            Result(kError);
            return Step::Stop;
        }
        m_extended = static_cast<int>(n);
        return Step::Next;
    case 'Z':
        EndCall(true);
        RestoreDefaults();
        return Step::Next;
    case 'I':
        out = "Palm Loomway built-in modem";
        return Step::Next;
    case 'H':
        EndCall(true);
        return Step::Next;
    case 'O':
        if (m_state != ModemState::Escaped) {
            Result(kNoCarrier);
            return Step::Stop;
        }
        Result(kConnect);
        m_lastHandheldByte = NowMs();
        SetState(ModemState::Online);
        if (!m_held.empty()) {
            std::string held;
            held.swap(m_held);
            Emit(held);
        }
        return Step::Stop;
    case 'A':
        Result(kNoCarrier);
        return Step::Stop;
    case 'B':
    case 'C':
    case 'L':
    case 'M':
    case 'N':
    case 'P':
    case 'T':
    case 'W':
    case 'Y':
        return Step::Next;
    default:
        Result(kError);
        return Step::Stop;
    }
}

void HayesModem::Dial(const std::string& rest) {
    std::string number = rest;
    if (!number.empty() && (UpperAscii(number[0]) == 'T' || UpperAscii(number[0]) == 'P')) {
        number.erase(0, 1);
    }
    while (!number.empty() && number.back() == ';') {
        number.pop_back();
    }
    if (number.empty() || m_state != ModemState::Command) {
        Result(kError);
        return;
    }
    const DialLookup found = m_directory(number);
    if (!found.endpoint) {
        m_sink.Note(found.problem);
        Result(kNoCarrier);
        return;
    }
    const DialTarget target{number, *found.endpoint};
    SetState(ModemState::Dialing);
    if (m_registers[7] > 0) {
        m_timer.Start(std::int64_t{m_registers[7]} * 1000);
    }
    m_link.Dial(target);
}

void HayesModem::OnDialResult(DialOutcome outcome) {
    if (m_state != ModemState::Dialing) {
        return;
    }
    m_timer.Stop();
    if (outcome != DialOutcome::Connected) {
        SetState(ModemState::Command);
        Result(outcome == DialOutcome::Busy       ? kBusy
               : outcome == DialOutcome::NoAnswer ? kNoAnswer
                                                  : kNoCarrier);
        return;
    }
    Result(kConnect);
    m_escapeCount = 0;
    m_lastHandheldByte = NowMs();
    SetState(ModemState::Online);
}

void HayesModem::OnLinkData(std::string_view bytes) {
    if (m_state == ModemState::Online) {
        Emit(std::string(bytes));
    } else if (m_state == ModemState::Escaped) {
        m_held.append(bytes.substr(0, kMaxHeld - std::min(kMaxHeld, m_held.size())));
    }
}

void HayesModem::OnLinkDropped() {
    if (m_state == ModemState::Online || m_state == ModemState::Escaped) {
        EndCall(false);
        Result(kNoCarrier);
    }
}

void HayesModem::OnTimer() {
    const std::int64_t now = NowMs();
    if (m_state == ModemState::Dialing) {
        EndCall(true);
        Result(kNoCarrier);
    } else if (m_state == ModemState::Online && m_escapeCount == 3) {
        const std::int64_t guard = std::int64_t{m_registers[12]} * 20;
        if (now - m_lastHandheldByte < guard) {
            m_timer.Start(guard - (now - m_lastHandheldByte));
            return;
        }
        m_escapeCount = 0;
        m_line.clear();
        SetState(ModemState::Escaped);
        Result(kOk);
    }
}

} // namespace loomway
