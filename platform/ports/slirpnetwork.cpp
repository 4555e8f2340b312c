#include "platform/ports/slirpnetwork.h"

#include "lines/pppprotocol.h"

#include <libslirp.h>

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <climits>

namespace loomway {

using ppp::Get16;
using ppp::Get32;
using ppp::Put16;
using ppp::Put32;

namespace {

constexpr std::uint16_t kTypeIpv4 = 0x0800;
constexpr std::uint16_t kTypeArp = 0x0806;
constexpr std::size_t kEthernetHeader = 14;
constexpr std::size_t kArpSize = 28;
constexpr int kGuestErrorsLogged = 10;
// The handheld's made-up hardware address (locally administered).
constexpr unsigned char kHandheldMac[6] = {0x02, 0x50, 0x41, 0x4C, 0x4D, 0x0F};

in_addr InAddr(std::uint32_t address) {
    in_addr result{};
    result.s_addr = htonl(address);
    return result;
}

// An ARP packet from the handheld: a request whose target is itself (a
// gratuitous one, which libslirp only learns from) or a reply.
std::string HandheldArp(std::uint16_t operation, std::uint32_t handheld, std::uint32_t target) {
    std::string arp;
    Put16(arp, 1);         // Ethernet
    Put16(arp, kTypeIpv4); // IPv4
    arp += '\x06';
    arp += '\x04';
    Put16(arp, operation);
    arp.append(reinterpret_cast<const char*>(kHandheldMac), sizeof kHandheldMac);
    Put32(arp, handheld);
    arp.append(6, '\0');
    Put32(arp, target);
    return arp;
}

int AddPoll(int fd, int events, void* opaque) {
    auto* fds = static_cast<std::vector<std::pair<int, int>>*>(opaque);
    fds->emplace_back(fd, events);
    return static_cast<int>(fds->size() - 1);
}

struct Ready {
    const std::vector<int>* fds;
    int fd;
    int events;
};

int ReadyEvents(int index, void* opaque) {
    const auto* ready = static_cast<const Ready*>(opaque);
    if (index < 0 || static_cast<std::size_t>(index) >= ready->fds->size()) {
        return 0;
    }
    return (*ready->fds)[static_cast<std::size_t>(index)] == ready->fd ? ready->events : 0;
}

} // namespace

SlirpNetwork::SlirpNetwork(const Addresses& addresses, PacketHandler toHandheld)
    : m_addresses(addresses), m_toHandheld(std::move(toHandheld)) {
    static const SlirpCb callbacks = [] {
        SlirpCb cb{};
        cb.send_packet = &SlirpNetwork::SendPacket;
        cb.guest_error = &SlirpNetwork::GuestError;
        cb.clock_get_ns = &SlirpNetwork::ClockNs;
        cb.timer_free = &SlirpNetwork::FreeTimer;
        cb.timer_mod = &SlirpNetwork::ModTimer;
        cb.register_poll_fd = [](int, void*) {};
        cb.unregister_poll_fd = [](int, void*) {};
        cb.notify = [](void*) {};
        cb.timer_new_opaque = [](SlirpTimerId id, void* timerOpaque, void* opaque) {
            return SlirpNetwork::NewTimer(static_cast<int>(id), timerOpaque, opaque);
        };
        return cb;
    }();
    SlirpConfig config{};
    config.version = 4;
    config.in_enabled = true;
    config.vnetwork = InAddr(addresses.network);
    config.vnetmask = InAddr(addresses.mask);
    config.vhost = InAddr(addresses.gateway);
    config.vnameserver = InAddr(addresses.dns);
    config.vdhcp_start = InAddr(addresses.handheld);
    config.if_mtu = addresses.mtu;
    config.disable_host_loopback = !addresses.desktopLoopback;
    config.disable_dhcp = true;
    m_timeout.setSingleShot(true);
    QObject::connect(&m_timeout, &QTimer::timeout, &m_timeout, [this] { Poll(-1, 0); });
    m_slirp = slirp_new(&config, &callbacks, this);
    if (!m_slirp) {
        qWarning("PPP gateway: the user-mode network cannot be set up");
        return;
    }
    // libslirp learns where the handheld is from its own announcement.
    InputEthernet(kTypeArp, HandheldArp(1, addresses.handheld, addresses.handheld));
    Settle();
}

SlirpNetwork::~SlirpNetwork() {
    m_timeout.stop();
    m_watches.clear(); // no notifier outlives its descriptor
    if (m_slirp) {
        Slirp* slirp = std::exchange(m_slirp, nullptr);
        slirp_cleanup(slirp);
    }
}

void SlirpNetwork::Input(std::string_view packet) {
    if (!m_slirp) {
        return;
    }
    InputEthernet(kTypeIpv4, packet);
    Settle();
}

void SlirpNetwork::InputEthernet(std::uint16_t type, std::string_view payload) {
    std::string frame(6, '\xFF'); // libslirp does not look at the destination
    frame.append(reinterpret_cast<const char*>(kHandheldMac), sizeof kHandheldMac);
    Put16(frame, type);
    frame += payload;
    if (frame.size() > INT_MAX) {
        return;
    }
    slirp_input(m_slirp, reinterpret_cast<const std::uint8_t*>(frame.data()),
                static_cast<int>(frame.size()));
}

std::int64_t SlirpNetwork::ClockNs(void*) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ssize_t SlirpNetwork::SendPacket(const void* data, size_t size, void* opaque) {
    Of(opaque).OnFrame(std::string_view(static_cast<const char*>(data), size));
    return static_cast<ssize_t>(size);
}

void SlirpNetwork::OnFrame(std::string_view frame) {
    if (!m_slirp || frame.size() < kEthernetHeader) {
        return;
    }
    const std::uint16_t type = Get16(frame, 12);
    const std::string_view payload = frame.substr(kEthernetHeader);
    if (type == kTypeIpv4) {
        m_toHandheld(payload);
    } else if (type == kTypeArp && payload.size() >= kArpSize && Get16(payload, 6) == 1 &&
               Get32(payload, 24) == m_addresses.handheld) {
        m_answerArp = true; // answered once libslirp has returned
    }
}

void SlirpNetwork::GuestError(const char* message, void* opaque) {
    SlirpNetwork& network = Of(opaque);
    if (network.m_guestErrors < kGuestErrorsLogged) {
        ++network.m_guestErrors;
        qWarning("PPP gateway: the handheld sent %s", message);
    }
}

void* SlirpNetwork::NewTimer(int id, void* timerOpaque, void* opaque) {
    auto* timer = new SlirpTimer;
    timer->id = id;
    timer->opaque = timerOpaque;
    timer->timer.setSingleShot(true);
    SlirpNetwork* network = &Of(opaque);
    QObject::connect(&timer->timer, &QTimer::timeout, &timer->timer, [network, timer] {
        if (network->m_slirp) {
            slirp_handle_timer(network->m_slirp, static_cast<SlirpTimerId>(timer->id),
                               timer->opaque);
            network->Settle();
        }
    });
    return timer;
}

void SlirpNetwork::FreeTimer(void* timer, void*) {
    delete static_cast<SlirpTimer*>(timer);
}

void SlirpNetwork::ModTimer(void* timer, std::int64_t expireMs, void*) {
    const std::int64_t nowMs = ClockNs(nullptr) / 1'000'000;
    const std::int64_t wait = std::clamp<std::int64_t>(expireMs - nowMs, 0, INT_MAX);
    static_cast<SlirpTimer*>(timer)->timer.start(static_cast<int>(wait));
}

void SlirpNetwork::Poll(int fd, int revents) {
    if (!m_slirp) {
        return;
    }
    Ready ready{&m_pollFds, fd, revents};
    slirp_pollfds_poll(m_slirp, 0, &ReadyEvents, &ready);
    Settle();
}

void SlirpNetwork::Settle() {
    while (m_slirp && std::exchange(m_answerArp, false)) {
        InputEthernet(kTypeArp, HandheldArp(2, m_addresses.handheld, m_addresses.gateway));
    }
    Refill();
}

void SlirpNetwork::Refill() {
    if (!m_slirp) {
        return;
    }
    std::vector<std::pair<int, int>> wanted;
    std::uint32_t timeout = UINT32_MAX;
    slirp_pollfds_fill(m_slirp, &timeout, &AddPoll, &wanted);
    m_pollFds.clear();
    std::map<int, int> events;
    for (const auto& [fd, mask] : wanted) {
        m_pollFds.push_back(fd);
        events[fd] |= mask;
    }
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        it = events.count(it->first) != 0 ? std::next(it) : m_watches.erase(it);
    }
    for (const auto& [fd, mask] : events) {
        Watch& watch = m_watches[fd];
        const auto want = [this, fd = fd](std::unique_ptr<QSocketNotifier>& notifier,
                                          QSocketNotifier::Type type, int pollEvent, bool on) {
            if (!notifier && on) {
                notifier = std::make_unique<QSocketNotifier>(fd, type);
                QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                                 [this, fd, pollEvent] { Poll(fd, pollEvent); });
            }
            if (notifier) {
                notifier->setEnabled(on);
            }
        };
        want(watch.read, QSocketNotifier::Read, SLIRP_POLL_IN, (mask & SLIRP_POLL_IN) != 0);
        want(watch.write, QSocketNotifier::Write, SLIRP_POLL_OUT, (mask & SLIRP_POLL_OUT) != 0);
        want(watch.urgent, QSocketNotifier::Exception, SLIRP_POLL_PRI,
             (mask & SLIRP_POLL_PRI) != 0);
    }
    if (timeout == UINT32_MAX) {
        m_timeout.stop();
    } else {
        m_timeout.start(static_cast<int>(std::min<std::uint32_t>(timeout, INT_MAX)));
    }
}

} // namespace loomway
