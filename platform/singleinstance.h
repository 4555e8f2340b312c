#pragma once

#include "core/desktop.h"

#include <QLockFile>
#include <QString>

#include <memory>

namespace loomway {

// One running copy per user: a lock file in the runtime folder
// ($XDG_RUNTIME_DIR) when only the user can write to it, else in
// ~/.cache/loomway (made 0700). The lock is held from the first question
// until this object goes; a lock left by a holder that died is taken over.
class SingleInstance : public InstanceGuard {
public:
    // lockPath: empty for DefaultLockPath().
    explicit SingleInstance(QString lockPath = QString());

    // "loomway.lock" in the folder named above, which it makes when missing;
    // empty when the user has no folder of their own.
    static QString DefaultLockPath();

    // Takes the lock on the first call; true when another live process holds it.
    bool AnotherInstanceRunning() override;

    const QString& LockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_asked = false;
    bool m_another = false;
};

} // namespace loomway
