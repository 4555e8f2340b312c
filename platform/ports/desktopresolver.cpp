#include "platform/ports/desktopresolver.h"

#include <QHostInfo>

namespace loomway {

bool DesktopResolver::Ask(const DnsQuestion& question) {
    if (m_pending.size() >= kMaxPending) {
        return false;
    }
    const int id = QHostInfo::lookupHost(
        QString::fromStdString(question.name), &m_context, [this](const QHostInfo& info) {
            const auto found = m_pending.find(info.lookupId());
            if (found == m_pending.end()) {
                return; // abandoned
            }
            const DnsQuestion asked = found->second;
            m_pending.erase(found);
            std::vector<std::uint32_t> addresses;
            for (const QHostAddress& address : info.addresses()) {
                if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                    addresses.push_back(address.toIPv4Address());
                }
            }
            const DnsOutcome outcome = info.error() == QHostInfo::NoError ? DnsOutcome::Found
                                       : info.error() == QHostInfo::HostNotFound
                                           ? DnsOutcome::NoSuchName
                                           : DnsOutcome::Failed;
            m_answer(DnsAnswerPacket(asked, outcome, addresses));
        });
    m_pending.emplace(id, question);
    return true;
}

void DesktopResolver::Clear() {
    for (const auto& [id, question] : m_pending) {
        QHostInfo::abortHostLookup(id);
    }
    m_pending.clear();
}

} // namespace loomway
