#pragma once

#include "lines/dnsanswer.h"

#include <QObject>

#include <functional>
#include <map>
#include <string>

namespace loomway {

// Answers the handheld's name lookups as the desktop's own programs get them
// answered: by the system's resolver (getaddrinfo: /etc/hosts, then the name
// servers of the desktop's configuration), run by QHostInfo on Qt's lookup
// threads so that a silent name server never holds up the event loop. At most
// kMaxPending lookups run at once; a question beyond them is dropped, and the
// handheld asks again.
class DesktopResolver {
public:
    static constexpr std::size_t kMaxPending = 8;
    using AnswerHandler = std::function<void(const std::string& ipPacket)>;

    explicit DesktopResolver(AnswerHandler answer) : m_answer(std::move(answer)) {}
    ~DesktopResolver() { Clear(); }
    DesktopResolver(const DesktopResolver&) = delete;
    DesktopResolver& operator=(const DesktopResolver&) = delete;

    // Starts the lookup; false when it was dropped.
    bool Ask(const DnsQuestion& question);
    // Abandons every lookup still running: none of them is answered.
    void Clear();

private:
    AnswerHandler m_answer;
    std::map<int, DnsQuestion> m_pending; // by QHostInfo's lookup id
    QObject m_context;                    // receives the results; goes first
};

} // namespace loomway
