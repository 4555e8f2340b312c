#pragma once

#include <string>

namespace loomway {

// What a network line carries besides the user's bytes: nothing for raw TCP,
// option negotiation for telnet and remote serial ports. Bytes in, bytes out;
// the socket belongs to the port that uses it.
class WireProtocol {
public:
    virtual ~WireProtocol() = default;
    // Sent once, as soon as the connection stands, before any user byte.
    virtual std::string Greeting(int speed) = 0;
    // Sent when the speed changes while connected.
    virtual std::string SpeedChange(int speed) = 0;
    // The user's bytes as they go on the wire.
    virtual std::string Encode(const std::string& data) = 0;
    // Wire bytes as they come: user bytes are appended to data, answers the
    // far end expects to reply.
    virtual void Decode(const std::string& wire, std::string& data, std::string& reply) = 0;
};

// Raw TCP: every byte is the user's.
class RawWire : public WireProtocol {
public:
    std::string Greeting(int) override { return {}; }
    std::string SpeedChange(int) override { return {}; }
    std::string Encode(const std::string& data) override { return data; }
    void Decode(const std::string& wire, std::string& data, std::string&) override { data += wire; }
};

} // namespace loomway
