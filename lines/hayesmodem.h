#pragma once

#include "base/clock.h"
#include "lines/diallookup.h"
#include "lines/endpoint.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace loomway {

// A call the modem asks its link to make.
struct DialTarget {
    std::string number; // the dial string as typed after ATD (and T or P)
    Endpoint endpoint;  // Tcp, Telnet, Rfc2217 or Exec
};

// How a call attempt ended, as the link reports it.
enum class DialOutcome {
    Connected,
    Busy,     // e.g. the connection was refused
    NoAnswer, // e.g. the attempt timed out
    NoCarrier // anything else (no such host, the program could not start, ...)
};

// The modem's far side, implemented by the platform (sockets, a program on a
// pseudo-terminal) and by the simulator.
class ModemLink {
public:
    virtual ~ModemLink() = default;
    // Starts a call. Its outcome comes back through HayesModem::OnDialResult,
    // later or even before Dial returns; exactly once, unless HangUp comes first.
    virtual void Dial(const DialTarget& target) = 0;
    // Bytes for the far end; only called while connected.
    virtual void Write(const std::string& bytes) = 0;
    // Ends the call or the attempt. Afterwards the link reports nothing more
    // about it: no dial result, no data, no drop.
    virtual void HangUp() = 0;
};

enum class ModemState {
    Command, // no call; AT commands
    Dialing, // waiting for the link's dial result
    Online,  // in a call, bytes pass both ways
    Escaped, // in a call, back in command mode after "+++" (ATO returns)
};

// Where the modem's output goes.
class ModemSink {
public:
    virtual ~ModemSink() = default;
    // Bytes for the handheld: echo, result codes, information and call data.
    virtual void ToHandheld(const std::string& bytes) = 0;
    virtual void StateChanged(ModemState state) { (void)state; }
    // A sentence for the user's eyes when a dial cannot be made, e.g.
    // "5551234 is not in [Phonebook]".
    virtual void Note(const std::string& text) { (void)text; }
};

// Start values of the modem, restored by ATZ and AT&F.
struct ModemDefaults {
    long speed = 115200;           // reported in CONNECT <speed>
    bool echo = true;              // E1
    std::uint8_t guardTime = 50;   // S12, in 1/50 s
    std::uint8_t waitCarrier = 50; // S7, seconds a dial may take; 0 for no limit
};

// Hayes-style command interpreter and call state machine.
//
// Command mode: a line is collected up to S3 (CR); S5 (backspace) removes the
// last character; LF, NUL and blanks are ignored; letters match in either
// case. A line longer than 255 characters or not starting with AT answers
// ERROR; an empty line answers nothing. "A/" repeats the last line at once.
// With E1 every character typed in command mode is echoed.
// Commands, several per line (ATE0V1):
//   AT          OK
//   Z           hang up, restore the defaults
//   &F          restore the defaults
//   En          echo of command characters off (0) / on (1)
//   Vn          result codes in digits (0) / words (1)
//   Qn          result codes shown (0) / suppressed (1)
//   Xn          0: plain CONNECT, BUSY and NO ANSWER shown as NO CARRIER; 1-4: all
//   I, In       one line "Palm Loomway built-in modem", then OK
//   H, Hn       hang up
//   O, On       back on line in a kept call: CONNECT <speed>; no call: NO CARRIER
//   A           answer: no call can come in (nothing listens): NO CARRIER
//   Sn?         register n (0-255) in three digits; Sn=v writes it (0-255)
//   D...        dial, the rest of the line: T or P, then a number or HOST:PORT
//               (a trailing ';' is ignored)
//   B C L M N P T W Y with a number, &x, \x, %x with a number, and +... extended
//               commands (to the next ';'): accepted, no effect
// Registers in use: S2 escape character (43 '+'; above 127 disables "+++"),
// S3 line end (13), S4 line feed (10), S5 backspace (8), S7 seconds to wait
// for a call to connect (50), S12 escape guard time in 1/50 s (50). The
// others (S0 rings to answer: calls never come in, S1, S6, S8-S11 and the
// rest) are stored and read back only.
//
// Result codes, V1 as "\r\n" WORDS "\r\n", V0 as DIGITS "\r":
//   0 OK, 1 CONNECT, 3 NO CARRIER, 4 ERROR, 7 BUSY, 8 NO ANSWER,
//   CONNECT <speed>: 1 (300 and unlisted speeds), 5 (1200), 10 (2400),
//   11 (4800), 12 (9600), 16 (19200), 17 (38400), 18 (57600), 19 (115200),
//   64 (28800).
//
// Dialing: the dial string leads where the directory says: a [Phonebook]
// entry or HOST:PORT (see LookUpDialString). T or P right after D is always
// the tone/pulse mark, so a host name starting with T or P needs ATDT in
// front. Nowhere to go: a Note saying why and NO CARRIER. While dialing, any character but LF
// aborts the call (NO CARRIER); after S7 seconds without an outcome the modem hangs up with NO
// CARRIER.
//
// On line: every byte goes to the link. "+++" (S2 three times, each within S12
// of the one before) with no other byte for S12 before and after it returns
// to command mode with the call
// kept (OK); the three characters have gone to the far end like any data.
// Bytes from the far end while escaped are held (up to 64 KiB, the rest is
// dropped) and delivered after ATO's CONNECT. A call that drops answers NO
// CARRIER, on line or escaped.
class HayesModem {
public:
    // The timer is the modem's own: whoever made it calls OnTimer when it fires.
    HayesModem(ModemLink& link, const Clock& clock, Timer& timer, ModemSink& sink,
               DialDirectory directory, ModemDefaults defaults = {});

    // Bytes from the handheld.
    void FromHandheld(std::string_view bytes);

    // From the link.
    void OnDialResult(DialOutcome outcome);
    void OnLinkData(std::string_view bytes);
    void OnLinkDropped();

    // From the timer.
    void OnTimer();

    // Ends any call without a result code and restores the defaults, as when
    // the port is closed.
    void Reset();

    ModemState State() const { return m_state; }
    std::uint8_t Register(int n) const { return m_registers.at(static_cast<std::size_t>(n)); }

private:
    enum class Step { Next, Stop }; // after one command of a line

    void Execute(const std::string& line);
    Step Command(const std::string& line, std::size_t& i, std::string& out);
    void Dial(const std::string& dialString);
    void Result(int code);
    void Info(const std::string& text);
    void Emit(const std::string& bytes);
    void SetState(ModemState state);
    void EndCall(bool tellLink);
    void RestoreDefaults();
    void ArmGuard();
    std::int64_t NowMs() const { return m_clock.SteadyMicros() / 1000; }

    ModemLink& m_link;
    const Clock& m_clock;
    Timer& m_timer;
    ModemSink& m_sink;
    DialDirectory m_directory;
    ModemDefaults m_defaults;

    ModemState m_state = ModemState::Command;
    std::array<std::uint8_t, 256> m_registers{};
    bool m_echo = true;
    bool m_verbose = true;
    bool m_quiet = false;
    int m_extended = 4;

    std::string m_line;
    bool m_lineTooLong = false;
    std::string m_lastLine;
    bool m_sawA = false; // the line so far is a lone 'A' ("A/" repeats)

    std::int64_t m_lastHandheldByte = 0;
    int m_escapeCount = 0;
    std::string m_held; // far-end bytes while escaped
};

} // namespace loomway
