#include "platform/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace loomway {

namespace {

// A folder where no one but this user can put or remove a lock.
bool OnlyUserWrites(const QString& folder) {
    struct stat st {};
    return !folder.isEmpty() && ::stat(QFile::encodeName(folder).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

} // namespace

SingleInstance::SingleInstance(QString lockPath)
    : m_path(lockPath.isEmpty() ? DefaultLockPath() : std::move(lockPath)) {}

QString SingleInstance::DefaultLockPath() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!OnlyUserWrites(folder)) {
        // Outside a desktop session there may be no runtime folder; the
        // temporary folder will not do, as another user could lay the lock
        // first.
        const QString cache =
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        if (cache.isEmpty()) {
            return {};
        }
        folder = cache + QStringLiteral("/loomway");
        QDir().mkpath(cache);
        const QByteArray name = QFile::encodeName(folder);
        ::mkdir(name.constData(), 0700);
        struct stat st {};
        if (::stat(name.constData(), &st) == 0 && st.st_uid == ::geteuid()) {
            ::chmod(name.constData(), 0700);
        }
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
