#pragma once

#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct Slirp;

namespace loomway {

// One virtual IPv4 network of libslirp, which turns the handheld's TCP, UDP
// and ICMP echo into ordinary sockets of the user, on the event loop of the
// thread that makes it: a socket notifier per descriptor that libslirp wants
// watched and one timer for its own timers, refreshed after every call into
// it. IP packets go in with Input() and come out through the packet handler;
// libslirp's Ethernet framing and address resolution stay inside. Nothing
// listens for connections from outside. Going away closes every socket.
class SlirpNetwork {
public:
    struct Addresses {
        std::uint32_t network = 0; // host order
        std::uint32_t mask = 0;
        std::uint32_t gateway = 0;
        std::uint32_t dns = 0;
        std::uint32_t handheld = 0;
        // The largest IP packet the handheld takes.
        std::size_t mtu = 1500;
        // Whether the gateway address leads to the desktop's own loopback.
        bool desktopLoopback = false;
    };
    using PacketHandler = std::function<void(std::string_view ipPacket)>;

    SlirpNetwork(const Addresses& addresses, PacketHandler toHandheld);
    ~SlirpNetwork();
    SlirpNetwork(const SlirpNetwork&) = delete;
    SlirpNetwork& operator=(const SlirpNetwork&) = delete;

    // One IPv4 packet from the handheld.
    void Input(std::string_view ipPacket);
    // The descriptors libslirp has open (its sockets), as last reported.
    std::size_t SocketCount() const { return m_watches.size(); }

private:
    struct Watch {
        std::unique_ptr<QSocketNotifier> read, write, urgent;
    };
    struct SlirpTimer {
        QTimer timer;
        int id = 0;
        void* opaque = nullptr;
    };

    static SlirpNetwork& Of(void* opaque) { return *static_cast<SlirpNetwork*>(opaque); }
    static std::int64_t ClockNs(void* opaque);
    static ssize_t SendPacket(const void* frame, size_t size, void* opaque);
    static void GuestError(const char* message, void* opaque);
    static void* NewTimer(int id, void* timerOpaque, void* opaque);
    static void FreeTimer(void* timer, void* opaque);
    static void ModTimer(void* timer, std::int64_t expireMs, void* opaque);

    void OnFrame(std::string_view frame);
    void InputEthernet(std::uint16_t type, std::string_view payload);
    void Poll(int fd, int revents);
    // After every call into libslirp: the address answers it asked for, then
    // the descriptors and timeout it now wants.
    void Settle();
    void Refill();

    Addresses m_addresses;
    PacketHandler m_toHandheld;
    Slirp* m_slirp = nullptr;
    bool m_answerArp = false;
    int m_guestErrors = 0;
    // The descriptor of each index of the last fill.
    std::vector<int> m_pollFds;
    std::map<int, Watch> m_watches;
    QTimer m_timeout;
};

} // namespace loomway
