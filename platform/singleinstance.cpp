#include "platform/singleinstance.h"

#include <QDir>
#include <QStandardPaths>

namespace loomway {

SingleInstance::SingleInstance(QString lockPath)
    : m_path(lockPath.isEmpty() ? DefaultLockPath() : std::move(lockPath)) {}

QString SingleInstance::DefaultLockPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return QDir(folder).filePath(QStringLiteral("loomway.lock"));
}

bool SingleInstance::AnotherInstanceRunning() {
    if (m_asked) {
        return m_another;
    }
    m_asked = true;
    m_lock = std::make_unique<QLockFile>(m_path);
    // Never stale by age: a live holder keeps the lock however long it runs.
    // tryLock removes a lock whose process no longer exists.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        m_another = false;
        return m_another;
    }
    // Only a lock held by a live process means another copy; a folder we
    // cannot write to must not keep the program from starting.
    m_another = m_lock->error() == QLockFile::LockFailedError;
    return m_another;
}

} // namespace loomway
