#include "lines/rfc2217codec.h"

#include <algorithm>

namespace loomway {
namespace {

// COM-PORT-OPTION commands, client to server; the server answers with the
// same number plus 100.
constexpr unsigned char kSetBaudRate = 1;
constexpr unsigned char kSetDataSize = 2;
constexpr unsigned char kSetParity = 3;
constexpr unsigned char kSetStopSize = 4;
constexpr unsigned char kNotifyLineState = 6;
constexpr unsigned char kNotifyModemState = 7;
constexpr unsigned char kServerOffset = 100;

constexpr unsigned char kParityNone = 1;
constexpr unsigned char kOneStopBit = 1;

std::string ComPort(unsigned char command, std::string value) {
    return TelnetCodec::Subnegotiation(telnet::kComPort,
                                       std::string(1, static_cast<char>(command)) + value);
}

std::string Byte(unsigned char b) {
    return std::string(1, static_cast<char>(b));
}

} // namespace

Rfc2217Codec::Rfc2217Codec(std::uint32_t baudRate)
    : m_telnet({telnet::kComPort}), m_baudRate(baudRate) {}

std::string Rfc2217Codec::LineSettings(std::uint32_t baudRate) {
    std::string baud;
    for (int shift = 24; shift >= 0; shift -= 8) {
        baud += static_cast<char>((baudRate >> shift) & 0xFF);
    }
    return ComPort(kSetBaudRate, baud) + ComPort(kSetDataSize, Byte(8)) +
           ComPort(kSetParity, Byte(kParityNone)) + ComPort(kSetStopSize, Byte(kOneStopBit));
}

std::string Rfc2217Codec::Start() {
    return m_telnet.Start() + LineSettings(m_baudRate);
}

TelnetDecoded Rfc2217Codec::Decode(std::string_view bytes) {
    TelnetDecoded out = m_telnet.Decode(bytes);
    const auto& agreed = out.agreedLocal;
    if (!m_settingsResent &&
        std::find(agreed.begin(), agreed.end(), telnet::kComPort) != agreed.end()) {
        m_settingsResent = true;
        out.reply += LineSettings(m_baudRate);
    }
    for (const TelnetSubnegotiation& sb : out.subnegotiations) {
        if (sb.option == telnet::kComPort) {
            Notice(sb.payload);
        }
    }
    return out;
}

void Rfc2217Codec::Notice(const std::string& payload) {
    ++m_remote.messages;
    if (payload.empty()) {
        return;
    }
    const auto command = static_cast<unsigned char>(payload[0]);
    const std::string value = payload.substr(1);
    auto byte = [&]() -> std::optional<std::uint8_t> {
        if (value.empty()) {
            return std::nullopt;
        }
        return static_cast<std::uint8_t>(value[0]);
    };
    switch (command) {
    case kServerOffset + kSetBaudRate:
        if (value.size() >= 4) {
            std::uint32_t baud = 0;
            for (int i = 0; i < 4; ++i) {
                baud = (baud << 8) | static_cast<unsigned char>(value[static_cast<std::size_t>(i)]);
            }
            m_remote.baudRate = baud;
        }
        break;
    case kServerOffset + kSetDataSize:
        m_remote.dataSize = byte();
        break;
    case kServerOffset + kSetParity:
        m_remote.parity = byte();
        break;
    case kServerOffset + kSetStopSize:
        m_remote.stopSize = byte();
        break;
    case kServerOffset + kNotifyLineState:
        m_remote.lineState = byte();
        break;
    case kServerOffset + kNotifyModemState:
        m_remote.modemState = byte();
        break;
    default:
        break; // other answers and requests are not acted on
    }
}

} // namespace loomway
