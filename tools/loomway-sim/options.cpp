#include "tools/loomway-sim/options.h"

#include <charconv>
#include <cmath>
#include <set>

namespace loomway::sim {
namespace {

long ParseWhole(const std::string& option, const std::string& text, long min, long max) {
    long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max) {
        throw UsageError(option + " needs a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not \"" + text + "\"");
    }
    return value;
}

std::chrono::milliseconds ParseSeconds(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    double seconds = -1;
    try {
        seconds = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !std::isfinite(seconds) || seconds < 0 ||
        seconds > 86400) {
        throw UsageError(option + " needs a number of seconds (for example 2.5), not \"" + text +
                         "\"");
    }
    return std::chrono::milliseconds(static_cast<long>(std::llround(seconds * 1000)));
}

const std::set<std::string> kHandheldCommands = {"clip",   "print", "status",
                                                 "listen", "send",  "dial"};

} // namespace

Options ParseOptions(const std::vector<std::string>& args) {
    Options o;
    std::vector<std::string> words;
    bool delayGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a == "-" || a.size() < 2 || a[0] != '-') {
            words.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            o.help = true;
            continue;
        }
        std::string name = a;
        std::string value;
        bool hasValue = false;
        if (auto eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            hasValue = true;
        }
        auto takeValue = [&]() -> std::string {
            if (hasValue) {
                return value;
            }
            if (i + 1 >= args.size()) {
                throw UsageError(name + " needs a value");
            }
            return args[++i];
        };
        auto noValue = [&]() {
            if (hasValue) {
                throw UsageError(name + " takes no value");
            }
        };
        if (name == "--device") {
            o.device = takeValue();
            if (o.device.empty()) {
                throw UsageError("--device needs a path");
            }
        } else if (name == "--speed") {
            o.speed = ParseWhole(name, takeValue(), 50, 4000000);
        } else if (name == "--chunk") {
            o.chunk = static_cast<std::size_t>(ParseWhole(name, takeValue(), 1, 1 << 24));
        } else if (name == "--delay") {
            o.delay = std::chrono::milliseconds(ParseWhole(name, takeValue(), 0, 600000));
            delayGiven = true;
        } else if (name == "--timeout") {
            o.timeout = ParseSeconds(name, takeValue());
            o.timeoutGiven = true;
        } else if (name == "--status") {
            noValue();
            o.status = true;
        } else if (name == "--latin1") {
            noValue();
            o.latin1 = true;
        } else if (name == "--count") {
            o.count = static_cast<std::size_t>(ParseWhole(name, takeValue(), 1, 1000000));
        } else if (name == "--line") {
            o.lines.push_back(takeValue());
        } else if (name == "--data") {
            o.dataFile = takeValue();
        } else if (name == "--hangup") {
            noValue();
            o.hangup = true;
        } else if (name == "--once") {
            noValue();
            o.once = true;
        } else if (name == "--guard") {
            o.guard = std::chrono::milliseconds(ParseWhole(name, takeValue(), 0, 10000));
        } else {
            throw UsageError("unknown option " + a);
        }
    }
    if (o.chunk > 0 && !delayGiven) {
        o.delay = std::chrono::milliseconds(50);
    }
    if (o.help) {
        return o;
    }

    if (words.empty()) {
        throw UsageError("say which end to play: handheld or modem");
    }
    if (words[0] == "modem") {
        o.role = Role::Modem;
        if (words.size() > 1) {
            throw UsageError("modem takes no further words, not \"" + words[1] + "\"");
        }
    } else if (words[0] == "handheld") {
        o.role = Role::Handheld;
        if (words.size() < 2) {
            throw UsageError("handheld needs a command: clip, print, status, listen, send or dial");
        }
        o.command = words[1];
        if (!kHandheldCommands.contains(o.command)) {
            throw UsageError("unknown handheld command \"" + o.command + "\"");
        }
        const bool needsArgument = o.command == "clip" || o.command == "print" ||
                                   o.command == "send" || o.command == "dial";
        const std::size_t expected = needsArgument ? 3 : 2;
        if (words.size() < expected) {
            const char* what = o.command == "clip"   ? "a TEXT (or - for standard input)"
                               : o.command == "dial" ? "a NUMBER"
                                                     : "a FILE (or - for standard input)";
            throw UsageError("handheld " + o.command + " needs " + what);
        }
        if (words.size() > expected) {
            throw UsageError("handheld " + o.command + " takes " +
                             (needsArgument ? "one word" : "no word") + " after it, not \"" +
                             words[expected] + "\"");
        }
        if (needsArgument) {
            o.argument = words[2];
        }
        if (o.command == "dial" && o.argument.empty()) {
            throw UsageError("handheld dial needs a NUMBER");
        }
    } else {
        throw UsageError("unknown end \"" + words[0] + "\": say handheld or modem");
    }

    auto onlyFor = [&](bool given, const char* option, bool allowed, const char* where) {
        if (given && !allowed) {
            throw UsageError(std::string(option) + " belongs to " + where);
        }
    };
    const bool isDial = o.role == Role::Handheld && o.command == "dial";
    onlyFor(o.status, "--status", o.role == Role::Handheld && o.command == "print",
            "handheld print");
    onlyFor(o.count > 0, "--count", o.role == Role::Handheld && o.command == "listen",
            "handheld listen");
    onlyFor(!o.lines.empty(), "--line", isDial, "handheld dial");
    onlyFor(!o.dataFile.empty(), "--data", isDial, "handheld dial");
    onlyFor(o.hangup, "--hangup", isDial, "handheld dial");
    onlyFor(o.once, "--once", o.role == Role::Modem, "modem");
    if (o.role == Role::Modem && o.guard.count() > 5100) {
        throw UsageError("modem: --guard is at most 5100 (the guard time register counts 1/50 s)");
    }

    if (o.device.empty()) {
        throw UsageError("--device PATH is missing: the serial line to play on");
    }
    return o;
}

std::string HelpText() {
    return R"(loomway-sim: plays the handheld or the modem on a serial line, speaking what
Palm Loomway's handheld and modem ports carry.

Usage:
  loomway-sim --device PATH [options] handheld clip TEXT|-
  loomway-sim --device PATH [options] handheld print FILE|- [--status]
  loomway-sim --device PATH [options] handheld status
  loomway-sim --device PATH [options] handheld listen [--count N]
  loomway-sim --device PATH [options] handheld send FILE|-
  loomway-sim --device PATH [options] handheld dial NUMBER [--line TEXT]... [--data FILE] [--hangup]
  loomway-sim --device PATH [options] modem [--once]

Handheld commands:
  clip TEXT     sends a clipboard request: <LMW_C>TEXT</LMW_C>, line ends as single
                line feeds ("-" reads the text from standard input, unchanged otherwise)
  print FILE    sends a print request: <LMW_P>document</LMW_P>; with --status, adds
                <SRESP> at the end of the document, waits for the status reply and
                prints its fields STA, PRINT_HW, FONT_HW, LEN, NAME one per line
  status        the pure status query <LMW_P><SRESP></LMW_P>, fields as for print
  listen        prints each clipboard transfer that comes from the computer, one
                after the other, each followed by a line feed
  send FILE     writes the file's bytes unchanged
  dial NUMBER   sends ATDT<NUMBER> and a carriage return and prints the modem's answer;
                after a CONNECT, each --line TEXT is sent (with CR LF) and its echo
                checked, --data FILE sends the file and checks that the same bytes
                come back, and --hangup escapes with "+++" and hangs up with ATH
Modem:
  modem         the program's built-in Hayes-style modem, with command echo off:
                AT... answers OK, ATDT<number> (or HOST:PORT) answers CONNECT <speed>
                and from then on every byte is echoed back, as if every number were
                an echo server; "+++" between two pauses of the guard time returns to
                command mode, where ATH hangs up and ATO goes back on line. Runs until
                interrupted, or with --once until the first hang-up. Prints what
                happens.

Options:
  --device PATH   the serial line, for example one end of a socat pty pair (required)
  --speed BAUD    line speed, default 115200 (also the speed the modem reports)
  --chunk N       write in pieces of N bytes, to split a request over chunks
  --delay MS      pause between pieces, default 50 with --chunk, otherwise 0
  --timeout SEC   how long to wait for an answer, default 5; for echoed data,
                  the longest pause between two bytes
  --latin1        text arguments and files are UTF-8: send them as Latin-1 ("?" for
                  characters it lacks), and show clipboard transfers as UTF-8
  --count N       listen: end after N transfers (default: until interrupted, or
                  until --timeout passes when it is given)
  --guard MS      the escape guard time of "+++", default 1000 (the modem counts it
                  in steps of 20 ms, at most 5100)
  -h, --help      this text

Exit status: 0 success; 1 no reply, a wrong reply, a printer error or a failed
echo; 2 bad usage or a device that cannot be opened.

Examples:
  socat pty,raw,echo=0,link=/tmp/palm pty,raw,echo=0,link=/tmp/palm-far &
  socat pty,raw,echo=0,link=/tmp/modem pty,raw,echo=0,link=/tmp/modem-far &
  # map [Ports] COM1=/tmp/palm and COM2=/tmp/modem in LOOMWAY.INI, start loomway, then:
  loomway-sim --device /tmp/modem-far modem &
  loomway-sim --device /tmp/palm-far handheld dial 5551234 --line "hello" --hangup
  loomway-sim --device /tmp/palm-far handheld clip "line one
line two"
  printf '<FBOLD>Hello<NL>' | loomway-sim --device /tmp/palm-far handheld print - --status
  loomway-sim --device /tmp/palm-far --chunk 3 --delay 100 handheld clip "split up"
  loomway-sim --device /tmp/palm-far handheld listen --count 1 --timeout 30
)";
}

} // namespace loomway::sim
