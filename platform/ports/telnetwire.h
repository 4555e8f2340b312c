#pragma once

#include "lines/endpoint.h"
#include "lines/rfc2217codec.h"
#include "lines/telnetcodec.h"
#include "platform/ports/wireprotocol.h"

#include <memory>
#include <utility>

namespace loomway {

// A wire that speaks telnet through Codec: the user's bytes go escaped, the
// far end's option requests are answered.
template <typename Codec> class TelnetFamilyWire : public WireProtocol {
public:
    explicit TelnetFamilyWire(Codec codec) : m_codec(std::move(codec)) {}
    std::string Encode(const std::string& data) override { return m_codec.Encode(data); }
    void Decode(const std::string& wire, std::string& data, std::string& reply) override {
        TelnetDecoded decoded = m_codec.Decode(wire);
        data += decoded.data;
        reply += decoded.reply;
    }

protected:
    Codec m_codec;
};

// Telnet with binary transmission both ways; other options refused.
class TelnetWire : public TelnetFamilyWire<TelnetCodec> {
public:
    TelnetWire() : TelnetFamilyWire(TelnetCodec()) {}
    std::string Greeting(int) override { return m_codec.Start(); }
    std::string SpeedChange(int) override { return {}; }
};

// A remote serial port: the speed and 8N1 are set on the server as soon as
// the connection stands, and again whenever the speed changes; no answer is
// waited for.
class Rfc2217Wire : public TelnetFamilyWire<Rfc2217Codec> {
public:
    Rfc2217Wire() : TelnetFamilyWire(Rfc2217Codec(9600)) {}
    std::string Greeting(int speed) override {
        m_codec = Rfc2217Codec(static_cast<std::uint32_t>(speed));
        return m_codec.Start();
    }
    std::string SpeedChange(int speed) override {
        return m_codec.ChangeBaudRate(static_cast<std::uint32_t>(speed));
    }
};

// The wire of a network endpoint: telnet, a remote serial port, else raw TCP.
inline std::unique_ptr<WireProtocol> WireFor(EndpointKind kind) {
    switch (kind) {
    case EndpointKind::Telnet:
        return std::make_unique<TelnetWire>();
    case EndpointKind::Rfc2217:
        return std::make_unique<Rfc2217Wire>();
    default:
        return std::make_unique<RawWire>();
    }
}

} // namespace loomway
