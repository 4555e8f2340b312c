#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace loomway {

// What can stand at the far end of a port, as written in the settings file.
enum class EndpointKind {
    SerialDevice, // "/dev/ttyUSB0" or a bare device name such as "ttyUSB0"
    Tcp,          // "tcp:HOST:PORT": raw bytes over TCP
    Telnet,       // "telnet:HOST:PORT": telnet with binary transmission both ways
    Rfc2217,      // "rfc2217:HOST:PORT": a remote serial port
    Modem,        // "modem:": the built-in modem
    Exec,         // "exec:COMMAND": a program on a pseudo-terminal (phonebook only)
    Ppp,          // "ppp:": the built-in PPP gateway to the desktop's network
};

struct Endpoint {
    EndpointKind kind = EndpointKind::SerialDevice;
    std::string device;            // SerialDevice: the path or name as written
    std::string host;              // Tcp, Telnet, Rfc2217: name or address, IPv6 without brackets
    std::uint16_t port = 0;        // Tcp, Telnet, Rfc2217: 1 to 65535
    std::vector<std::string> argv; // Exec: program and arguments, split with no shell

    bool operator==(const Endpoint&) const = default;
};

// Where a text comes from decides which forms it may take.
enum class EndpointUse {
    Port,      // [Ports] COMn: serial device, tcp:, telnet:, rfc2217:, modem:, ppp:
    Phonebook, // [Phonebook] number: tcp:, telnet:, rfc2217:, exec:, ppp:
};

// Either an endpoint or a description of what is wrong with the text.
struct EndpointParse {
    std::optional<Endpoint> endpoint;
    // Empty on success. Otherwise one sentence naming the fault and the forms
    // accepted for that use, for example
    //   "ftp:host:21" is not a port address; use a serial device (/dev/ttyUSB0),
    //   tcp:HOST:PORT, telnet:HOST:PORT, rfc2217:HOST:PORT, modem: or ppp:
    std::string error;
};

// Parses a port mapping or a phonebook value (blanks around it are ignored).
// Scheme names match without regard to letter case. HOST is a name
// (letters, digits, '.', '-', '_'), an IPv4 address or an IPv6 address in
// brackets ("tcp:[::1]:23"); PORT is decimal, 1 to 65535. A serial device is
// any text starting with '/', or a bare name made of letters, digits, '.',
// '-' and '_' (resolved under /dev by the serial adapter, as today). "modem:"
// and "ppp:" take nothing after the colon. "exec:" takes a command line that
// SplitCommandLine (lines/commandline.h) splits; no shell ever sees it.
EndpointParse ParseEndpoint(const std::string& text, EndpointUse use);

// The endpoint written back in the form ParseEndpoint reads; an Exec
// endpoint's words are single-quoted where needed. For notes and messages.
std::string EndpointText(const Endpoint& endpoint);

// "HOST:PORT" with brackets around an IPv6 address, as a dial string holds it.
std::string HostPortText(const std::string& host, std::uint16_t port);

} // namespace loomway
