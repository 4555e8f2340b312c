#include "platform/ports/modemport.h"

#include "config/phonebook.h"
#include "platform/ports/portsettings.h"
#include "platform/ports/telnetwire.h"

#include <QMetaObject>

#include <utility>

namespace loomway {

namespace {

// Call data kept for the handheld while nobody reads it; beyond this the far
// end is held back.
constexpr std::size_t kInLimit = 64 * 1024;

} // namespace

ModemPort::ModemPort(ProfileFile& phonebook)
    : PortBase("modem"), m_directory([&phonebook](const std::string& dialString) {
          return LookUpDialString(dialString, ReadPhonebookEntry(phonebook, dialString));
      }),
      m_gateway(phonebook) {
    m_network.SetConnectedHandler([this] {
        if (m_call == Call::Network && m_modem) {
            m_modem->OnDialResult(DialOutcome::Connected);
        }
    });
    m_network.SetLostHandler([this](const PortError& error) { OnNetworkLost(error); });
    m_network.SetReceiveHandler([this] { OnLinkData(); });
    m_network.SetWrittenHandler([this] { RaiseWritten(); });
    m_program.SetDataHandler([this] { OnLinkData(); });
    m_program.SetEndedHandler([this](const std::string& why) {
        if (m_call != Call::Program || !m_modem) {
            return;
        }
        m_call = Call::None;
        Note(why);
        m_modem->OnLinkDropped();
    });
    m_program.SetWrittenHandler([this] { RaiseWritten(); });
    m_gateway.SetReceiveHandler([this] { OnLinkData(); });
    m_gateway.SetEndedHandler([this] {
        if (m_call == Call::Gateway && m_modem) {
            HangUp();
            m_modem->OnLinkDropped();
        }
    });
}

ModemPort::~ModemPort() {
    m_open = false;
    HangUp();
}

void ModemPort::SetSettings(const std::string& settings) {
    m_speed = CheckedSpeedOfSettings(settings);
    m_settings = settings;
}

void ModemPort::Open() {
    if (m_open) {
        throw PortAlreadyOpen();
    }
    // No BeginOpening(): all the modem's bytes come through the queued receive
    // event, and one queued before a reopening must still run (until it has,
    // no other is queued); closing clears the bytes instead.
    HangUp();
    m_in.clear();
    ModemDefaults defaults;
    defaults.speed = m_speed;
    m_modem = std::make_unique<HayesModem>(m_link, m_clock, m_timer, static_cast<ModemSink&>(*this),
                                           m_directory, defaults);
    m_open = true;
}

std::string ModemPort::TakeLastWords() {
    return m_call == Call::Gateway ? m_gateway.TakeLastWords() : std::string();
}

void ModemPort::Close() {
    if (m_modem) {
        m_modem->Reset();
    }
    HangUp();
    m_timer.Stop();
    m_open = false;
    m_in.clear();
}

std::string ModemPort::ReadAll() {
    if (!m_open) {
        return {};
    }
    std::string data = std::exchange(m_in, {});
    // Call data held back while the handheld's side was full.
    if (m_call == Call::Network && m_network.BytesWaiting() > 0) {
        m_network.RequeueReceiveEvent();
    } else if (m_call == Call::Program && m_program.BytesWaiting() > 0) {
        QMetaObject::invokeMethod(
            &m_context, [this] { OnLinkData(); }, Qt::QueuedConnection);
    } else if (m_call == Call::Gateway) {
        m_gateway.RequeueReceiveEvent();
    }
    return data;
}

void ModemPort::Write(const std::string& data) {
    if (!m_open || !m_modem) {
        throw PortNotOpen();
    }
    m_modem->FromHandheld(data);
}

std::size_t ModemPort::BytesToWrite() const {
    switch (m_call) {
    case Call::Network:
        return m_network.BytesToWrite();
    case Call::Program:
        return m_program.BytesToWrite();
    default:
        return 0;
    }
}

void ModemPort::RequeueReceiveEvent() {
    if (!m_in.empty()) {
        PortBase::RequeueReceiveEvent();
    }
}

void ModemPort::OnRequeuedReceive() {
    if (m_open && !m_in.empty()) {
        OnArrival();
    }
}

void ModemPort::ToHandheld(const std::string& bytes) {
    if (!m_open || bytes.empty()) {
        return;
    }
    m_in += bytes;
    RequeueReceiveEvent();
}

void ModemPort::Note(const std::string& text) {
    if (m_note) {
        m_noteShown = true;
        m_note(text);
    } else {
        qWarning("built-in modem: %s", text.c_str());
    }
}

void ModemPort::StateChanged(ModemState state) {
    if (state == ModemState::Online && m_noteShown && m_note) {
        m_noteShown = false;
        m_note({});
    }
}

void ModemPort::Dial(const DialTarget& target) {
    HangUp();
    const Endpoint& endpoint = target.endpoint;
    if (endpoint.kind == EndpointKind::Ppp) {
        m_gateway.Open();
        m_call = Call::Gateway;
        m_modem->OnDialResult(DialOutcome::Connected);
        return;
    }
    if (endpoint.kind == EndpointKind::Exec) {
        const std::string why = m_program.Start(endpoint.argv);
        if (!why.empty()) {
            Note(target.number + ": " + why);
            m_modem->OnDialResult(DialOutcome::NoCarrier);
            return;
        }
        m_call = Call::Program;
        m_modem->OnDialResult(DialOutcome::Connected);
        return;
    }
    try {
        m_network.SetEndpoint(endpoint.host, endpoint.port, EndpointText(endpoint),
                              WireFor(endpoint.kind));
        m_network.SetSettings(m_settings);
        m_call = Call::Network;
        m_network.Open();
    } catch (const PortError& error) {
        m_call = Call::None;
        Note(target.number + ": " + error.description);
        m_modem->OnDialResult(DialOutcome::NoCarrier);
    }
}

void ModemPort::HangUp() {
    m_call = Call::None;
    m_network.Close();
    m_program.Stop();
    m_gateway.Close();
}

void ModemPort::LinkWrite(const std::string& bytes) {
    try {
        if (m_call == Call::Network) {
            m_network.Write(bytes);
        } else if (m_call == Call::Program) {
            m_program.Write(bytes);
        } else if (m_call == Call::Gateway) {
            m_gateway.Write(bytes);
        }
    } catch (const PortError& error) {
        // The connection is going; its loss comes as a drop.
        qWarning("built-in modem: %s", error.description.c_str());
    }
}

void ModemPort::OnLinkData() {
    if (!m_modem || m_in.size() >= kInLimit) {
        return; // read again when the handheld's side has taken its bytes
    }
    if (m_call == Call::Network) {
        m_modem->OnLinkData(m_network.ReadAll());
    } else if (m_call == Call::Program) {
        m_modem->OnLinkData(m_program.ReadAll());
    } else if (m_call == Call::Gateway) {
        m_modem->OnLinkData(m_gateway.ReadAll());
    }
}

void ModemPort::OnNetworkLost(const PortError& error) {
    if (m_call != Call::Network || !m_modem) {
        return;
    }
    m_call = Call::None;
    switch (m_network.LastFailure()) {
    case NetworkPort::Failure::Dropped:
        m_modem->OnLinkDropped();
        return;
    case NetworkPort::Failure::Refused:
        m_modem->OnDialResult(DialOutcome::Busy);
        return;
    case NetworkPort::Failure::TimedOut:
        m_modem->OnDialResult(DialOutcome::NoAnswer);
        return;
    default:
        Note(error.description);
        m_modem->OnDialResult(DialOutcome::NoCarrier);
        return;
    }
}

} // namespace loomway
