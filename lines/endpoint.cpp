#include "lines/endpoint.h"

#include "base/asciitext.h"
#include "lines/commandline.h"

#include <algorithm>
#include <string_view>

namespace loomway {
namespace {

const char* const kPortForms =
    "use a serial device (/dev/ttyUSB0), tcp:HOST:PORT, telnet:HOST:PORT, "
    "rfc2217:HOST:PORT, modem: or ppp:";
const char* const kPhonebookForms =
    "use tcp:HOST:PORT, telnet:HOST:PORT, rfc2217:HOST:PORT, exec:COMMAND or ppp:";

// Blanks and line ends (a pasted text may carry one) go from either end.
std::string TrimmedLine(std::string_view text) {
    const auto edge = [](char c) { return IsBlank(c) || c == '\r' || c == '\n'; };
    while (!text.empty() && edge(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && edge(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

bool IsNameChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '.' || c == '-' || c == '_';
}

bool IsIpv6Char(char c) {
    return IsDigit(c) || (UpperAscii(c) >= 'A' && UpperAscii(c) <= 'F') || c == ':' || c == '.';
}

EndpointParse Failure(const std::string& text, const std::string& fault, EndpointUse use) {
    const char* what = use == EndpointUse::Port ? "a port address" : "a phonebook entry";
    const char* forms = use == EndpointUse::Port ? kPortForms : kPhonebookForms;
    std::string message = "\"" + text + "\" is not " + what;
    if (!fault.empty()) {
        message += " (" + fault + ")";
    }
    return {std::nullopt, message + "; " + forms};
}

// "HOST:PORT" or "[V6]:PORT"; fills host and port or returns what is wrong.
std::string ParseHostPort(const std::string& text, Endpoint& e) {
    std::string host;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos) {
            return "no ']' after the IPv6 address";
        }
        host = text.substr(1, close - 1);
        // An optional zone after '%', such as fe80::1%eth0.
        const std::string address = host.substr(0, host.find('%'));
        const std::string zone =
            address.size() < host.size() ? host.substr(address.size() + 1) : "x";
        if (!std::all_of(address.begin(), address.end(), IsIpv6Char) ||
            address.find(':') == std::string::npos || zone.empty() ||
            !std::all_of(zone.begin(), zone.end(), IsNameChar)) {
            return "not an IPv6 address inside the brackets";
        }
        if (close + 1 >= text.size() || text[close + 1] != ':') {
            return "no :PORT after the address";
        }
        port = text.substr(close + 2);
    } else {
        const auto colon = text.find(':');
        if (colon == std::string::npos) {
            return "no :PORT after the host";
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.find(':') != std::string::npos) {
            return "an IPv6 address goes in brackets, as [::1]:23";
        }
        if (host.empty()) {
            return "no host before the port";
        }
        if (!std::all_of(host.begin(), host.end(), IsNameChar)) {
            return "the host name holds a character other than letters, digits, '.', '-', '_'";
        }
    }
    if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), IsDigit)) {
        return "the port is not a number from 1 to 65535";
    }
    const long number = std::stol(port);
    if (number < 1 || number > 65535) {
        return "the port is not a number from 1 to 65535";
    }
    e.host = host;
    e.port = static_cast<std::uint16_t>(number);
    return {};
}

std::string Quoted(const std::string& word) {
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return IsLetter(c) || IsDigit(c) ||
               std::string_view("-_./=:,+@%").find(c) != std::string_view::npos;
    });
    if (plain) {
        return word;
    }
    std::string out = "'";
    for (char c : word) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

} // namespace

EndpointParse ParseEndpoint(const std::string& raw, EndpointUse use) {
    const std::string text = TrimmedLine(raw);
    if (text.empty()) {
        return Failure(text, "empty", use);
    }
    const auto colon = text.find(':');
    const std::string scheme = colon == std::string::npos ? "" : LowerCased(text.substr(0, colon));
    const std::string rest = colon == std::string::npos ? "" : text.substr(colon + 1);
    Endpoint e;
    if (scheme == "tcp" || scheme == "telnet" || scheme == "rfc2217") {
        e.kind = scheme == "tcp"      ? EndpointKind::Tcp
                 : scheme == "telnet" ? EndpointKind::Telnet
                                      : EndpointKind::Rfc2217;
        const std::string fault = ParseHostPort(rest, e);
        if (!fault.empty()) {
            return Failure(text, fault, use);
        }
        return {e, {}};
    }
    if (scheme == "modem") {
        if (use != EndpointUse::Port) {
            return Failure(text, "the built-in modem cannot be dialled", use);
        }
        if (!rest.empty()) {
            return Failure(text, "nothing may follow modem:", use);
        }
        e.kind = EndpointKind::Modem;
        return {e, {}};
    }
    if (scheme == "ppp") {
        if (!rest.empty()) {
            return Failure(text, "nothing may follow ppp:", use);
        }
        e.kind = EndpointKind::Ppp;
        return {e, {}};
    }
    if (scheme == "exec") {
        if (use != EndpointUse::Phonebook) {
            return Failure(text, "a program can only stand in [Phonebook]", use);
        }
        const auto words = SplitCommandLine(rest);
        if (!words) {
            return Failure(text, "an unterminated quote or a trailing backslash", use);
        }
        if (words->empty() || words->front().empty()) {
            return Failure(text, "no program after exec:", use);
        }
        e.kind = EndpointKind::Exec;
        e.argv = *words;
        return {e, {}};
    }
    const bool path = text.front() == '/';
    const bool name = std::all_of(text.begin(), text.end(), IsNameChar);
    if (path || name) {
        if (use != EndpointUse::Port) {
            return Failure(text, "a serial device cannot be dialled", use);
        }
        e.kind = EndpointKind::SerialDevice;
        e.device = text;
        return {e, {}};
    }
    return Failure(text, colon == std::string::npos ? "" : "unknown kind \"" + scheme + ":\"", use);
}

std::string HostPortText(const std::string& host, std::uint16_t port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string EndpointText(const Endpoint& e) {
    switch (e.kind) {
    case EndpointKind::SerialDevice:
        return e.device;
    case EndpointKind::Tcp:
        return "tcp:" + HostPortText(e.host, e.port);
    case EndpointKind::Telnet:
        return "telnet:" + HostPortText(e.host, e.port);
    case EndpointKind::Rfc2217:
        return "rfc2217:" + HostPortText(e.host, e.port);
    case EndpointKind::Modem:
        return "modem:";
    case EndpointKind::Ppp:
        return "ppp:";
    case EndpointKind::Exec: {
        std::string out = "exec:";
        for (std::size_t i = 0; i < e.argv.size(); ++i) {
            if (i > 0) {
                out += ' ';
            }
            out += Quoted(e.argv[i]);
        }
        return out;
    }
    }
    return {};
}

} // namespace loomway
