#include "lines/telnetcodec.h"

namespace loomway {
namespace {

constexpr std::size_t kMaxSubnegotiation = 4096;

void Command(std::string& out, unsigned char verb, unsigned char option) {
    out += static_cast<char>(telnet::kIac);
    out += static_cast<char>(verb);
    out += static_cast<char>(option);
}

} // namespace

TelnetCodec::TelnetCodec(std::initializer_list<unsigned char> localExtra) {
    for (unsigned char option : localExtra) {
        m_localExtra[option] = true;
    }
}

bool TelnetCodec::Acceptable(unsigned char option, bool local) const {
    if (option == telnet::kBinary || option == telnet::kSuppressGoAhead) {
        return true;
    }
    return local ? m_localExtra[option] : option == telnet::kEcho;
}

void TelnetCodec::Offer(unsigned char verb, unsigned char option, std::string& out) {
    Side& side = verb == telnet::kWill ? m_local[option] : m_remote[option];
    if (side == Side::No) {
        side = Side::WantYes;
        Command(out, verb, option);
    }
}

std::string TelnetCodec::Start() {
    std::string out;
    Offer(telnet::kWill, telnet::kBinary, out);
    Offer(telnet::kDo, telnet::kBinary, out);
    Offer(telnet::kWill, telnet::kSuppressGoAhead, out);
    Offer(telnet::kDo, telnet::kSuppressGoAhead, out);
    for (int option = 0; option < 256; ++option) {
        if (m_localExtra[static_cast<std::size_t>(option)]) {
            Offer(telnet::kWill, static_cast<unsigned char>(option), out);
        }
    }
    return out;
}

// One side of an option after a request from the peer: WILL/WONT concern the
// peer's side (answered DO/DONT), DO/DONT this end's (answered WILL/WONT).
void TelnetCodec::Receive(unsigned char verb, unsigned char option, TelnetDecoded& out) {
    std::string& reply = out.reply;
    const bool local = verb == telnet::kDo || verb == telnet::kDont;
    const bool enable = verb == telnet::kWill || verb == telnet::kDo;
    Side& side = local ? m_local[option] : m_remote[option];
    const unsigned char yes = local ? telnet::kWill : telnet::kDo;
    const unsigned char no = local ? telnet::kWont : telnet::kDont;
    if (enable) {
        switch (side) {
        case Side::No:
            if (Acceptable(option, local)) {
                side = Side::Yes;
                Command(reply, yes, option);
                if (local) {
                    out.agreedLocal.push_back(option);
                }
            } else {
                Command(reply, no, option);
            }
            break;
        case Side::WantYes: // the answer to our own offer
            side = Side::Yes;
            if (local) {
                out.agreedLocal.push_back(option);
            }
            break;
        case Side::WantNo: // the peer disagrees with our refusal: stay off
            side = Side::No;
            break;
        case Side::Yes:
            break;
        }
    } else {
        if (side == Side::Yes) {
            Command(reply, no, option);
        }
        side = Side::No;
    }
}

TelnetDecoded TelnetCodec::Decode(std::string_view bytes) {
    TelnetDecoded out;
    out.data.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (m_parse) {
        case Parse::Cr:
            m_parse = Parse::Data;
            if (c == 0) {
                break; // "CR NUL" stands for CR alone
            }
            [[fallthrough]];
        case Parse::Data:
            if (c == telnet::kIac) {
                m_parse = Parse::Iac;
            } else {
                out.data += ch;
                if (c == '\r' && !RemoteEnabled(telnet::kBinary)) {
                    m_parse = Parse::Cr;
                }
            }
            break;
        case Parse::Iac:
            if (c == telnet::kIac) {
                out.data += ch;
                m_parse = Parse::Data;
            } else if (c >= telnet::kWill) {
                m_verb = c;
                m_parse = Parse::Verb;
            } else if (c == telnet::kSb) {
                m_parse = Parse::SbOption;
            } else {
                m_parse = Parse::Data; // NOP, GA, DM, BRK, IP, AO, AYT, EC, EL, stray SE
            }
            break;
        case Parse::Verb:
            Receive(m_verb, c, out);
            m_parse = Parse::Data;
            break;
        case Parse::SbOption:
            m_sb = TelnetSubnegotiation{c, {}};
            m_parse = Parse::Sb;
            break;
        case Parse::Sb:
            if (c == telnet::kIac) {
                m_parse = Parse::SbIac;
            } else if (m_sb.payload.size() < kMaxSubnegotiation) {
                m_sb.payload += ch;
            }
            break;
        case Parse::SbIac:
            if (c == telnet::kIac) {
                if (m_sb.payload.size() < kMaxSubnegotiation) {
                    m_sb.payload += ch;
                }
                m_parse = Parse::Sb;
            } else {
                // IAC SE ends it; any other command ends it too and is taken
                // as that command.
                out.subnegotiations.push_back(std::move(m_sb));
                m_sb = {};
                m_parse = Parse::Data;
                if (c >= telnet::kWill) {
                    m_verb = c;
                    m_parse = Parse::Verb;
                } else if (c == telnet::kSb) {
                    m_parse = Parse::SbOption;
                }
            }
            break;
        }
    }
    return out;
}

std::string TelnetCodec::Encode(std::string_view data) const {
    const bool binary = LocalEnabled(telnet::kBinary);
    std::string out;
    out.reserve(data.size() + data.size() / 16 + 2);
    for (std::size_t i = 0; i < data.size(); ++i) {
        const char c = data[i];
        out += c;
        if (static_cast<unsigned char>(c) == telnet::kIac) {
            out += c;
        } else if (c == '\r' && !binary && (i + 1 >= data.size() || data[i + 1] != '\n')) {
            out += '\0';
        }
    }
    return out;
}

std::string TelnetCodec::Subnegotiation(unsigned char option, std::string_view payload) {
    std::string out;
    out += static_cast<char>(telnet::kIac);
    out += static_cast<char>(telnet::kSb);
    out += static_cast<char>(option);
    for (char c : payload) {
        out += c;
        if (static_cast<unsigned char>(c) == telnet::kIac) {
            out += c;
        }
    }
    out += static_cast<char>(telnet::kIac);
    out += static_cast<char>(telnet::kSe);
    return out;
}

bool TelnetCodec::LocalEnabled(unsigned char option) const {
    return m_local[option] == Side::Yes;
}

bool TelnetCodec::RemoteEnabled(unsigned char option) const {
    return m_remote[option] == Side::Yes;
}

} // namespace loomway
