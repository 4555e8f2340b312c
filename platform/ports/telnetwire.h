#pragma once

#include "lines/rfc2217codec.h"
#include "lines/telnetcodec.h"
#include "platform/ports/wireprotocol.h"

namespace loomway {

// Telnet with binary transmission both ways; other options refused.
class TelnetWire : public WireProtocol {
public:
    std::string Greeting(int) override { return m_codec.Start(); }
    std::string SpeedChange(int) override { return {}; }
    std::string Encode(const std::string& data) override { return m_codec.Encode(data); }
    void Decode(const std::string& wire, std::string& data, std::string& reply) override {
        TelnetDecoded decoded = m_codec.Decode(wire);
        data += decoded.data;
        reply += decoded.reply;
    }

private:
    TelnetCodec m_codec;
};

// A remote serial port: the speed and 8N1 are set on the server as soon as
// the connection stands, and again whenever the speed changes; no answer is
// waited for.
class Rfc2217Wire : public WireProtocol {
public:
    std::string Greeting(int speed) override {
        m_codec = Rfc2217Codec(static_cast<std::uint32_t>(speed));
        return m_codec.Start();
    }
    std::string SpeedChange(int speed) override {
        return m_codec.ChangeBaudRate(static_cast<std::uint32_t>(speed));
    }
    std::string Encode(const std::string& data) override { return m_codec.Encode(data); }
    void Decode(const std::string& wire, std::string& data, std::string& reply) override {
        TelnetDecoded decoded = m_codec.Decode(wire);
        data += decoded.data;
        reply += decoded.reply;
    }

private:
    Rfc2217Codec m_codec{9600};
};

} // namespace loomway
