#pragma once

#include "lines/telnetcodec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace loomway {

// What the serial port server has told us about its port, from its
// notifications and its answers to our settings. Nothing here is waited for:
// servers in front of pseudo-terminals do not answer line changes.
struct RemotePortState {
    std::optional<std::uint32_t> baudRate;  // answer to SET-BAUDRATE
    std::optional<std::uint8_t> dataSize;   // answer to SET-DATASIZE
    std::optional<std::uint8_t> parity;     // answer to SET-PARITY (1 = none)
    std::optional<std::uint8_t> stopSize;   // answer to SET-STOPSIZE (1 = one stop bit)
    std::optional<std::uint8_t> lineState;  // last NOTIFY-LINESTATE
    std::optional<std::uint8_t> modemState; // last NOTIFY-MODEMSTATE (bit 7: carrier detect)
    int messages = 0;                       // COM-PORT-OPTION subnegotiations received, any kind
};

// A remote serial port (telnet COM-PORT-OPTION, option 44), client side, on
// top of TelnetCodec (same option policy, plus this end agreeing to option 44).
//
// Start() offers WILL COM-PORT-OPTION and sends the line settings at once:
// SET-BAUDRATE (the given speed), SET-DATASIZE 8, SET-PARITY NONE,
// SET-STOPSIZE 1. The settings are sent once more when the server agrees
// with DO COM-PORT-OPTION, for servers that ignore settings sent before
// their agreement; setting the same values twice is harmless. No answer is
// ever waited for.
class Rfc2217Codec {
public:
    explicit Rfc2217Codec(std::uint32_t baudRate);

    // The bytes to send right after connecting.
    std::string Start();

    // Bytes from the network: data for the application and bytes to send back.
    // Server notifications (SB 44 ...) update Remote(); other subnegotiations
    // are skipped.
    TelnetDecoded Decode(std::string_view bytes);

    // Application bytes for the network.
    std::string Encode(std::string_view data) const { return m_telnet.Encode(data); }

    const RemotePortState& Remote() const { return m_remote; }
    const TelnetCodec& Telnet() const { return m_telnet; }

    // The four settings subnegotiations for a speed, as Start() sends them.
    static std::string LineSettings(std::uint32_t baudRate);

private:
    void Notice(const std::string& payload);

    TelnetCodec m_telnet;
    std::uint32_t m_baudRate;
    bool m_settingsResent = false;
    RemotePortState m_remote;
};

} // namespace loomway
