#include "platform/filecapturesink.h"

#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace loomway {

namespace {

// The system's own reason, such as "No space left on device".
std::string Reason(const QFile& file) {
    return file.errorString().toStdString();
}

// Captures hold logins and passwords: a new file is made for its owner
// alone, and an existing one of the user's that is overwritten loses what
// others could read. Devices (/dev/null, say) are left as they are.
void KeepToOwner(const QFile& file) {
    struct stat st {};
    if (::fstat(file.handle(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0) {
        ::fchmod(file.handle(), st.st_mode & 0600);
    }
}

std::unique_ptr<CaptureSink> Open(const std::string& path, QIODevice::OpenMode mode) {
    auto file = std::make_unique<QFile>(QString::fromStdString(path));
    if (!file->open(mode | QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        if ((mode & QIODevice::NewOnly) && QFileInfo::exists(file->fileName())) {
            return nullptr;
        }
        throw CaptureError{Reason(*file)};
    }
    KeepToOwner(*file);
    return std::make_unique<FileCaptureSink>(std::move(file));
}

} // namespace

FileCaptureSink::FileCaptureSink(std::unique_ptr<QFile> file) : m_file(std::move(file)) {}

FileCaptureSink::~FileCaptureSink() = default;

void FileCaptureSink::Write(std::string_view bytes) {
    const char* data = bytes.data();
    qint64 left = static_cast<qint64>(bytes.size());
    while (left > 0) {
        const qint64 written = m_file->write(data, left);
        if (written <= 0) {
            throw CaptureError{Reason(*m_file)};
        }
        data += written;
        left -= written;
    }
}

void FileCaptureSink::Close() {
    const bool flushed = m_file->flush();
    m_file->close();
    if (!flushed) {
        throw CaptureError{Reason(*m_file)};
    }
}

std::unique_ptr<CaptureSink> FileCaptureFiles::Create(const std::string& path) {
    return Open(path, QIODevice::Truncate);
}

std::unique_ptr<CaptureSink> FileCaptureFiles::CreateNew(const std::string& path) {
    return Open(path, QIODevice::NewOnly);
}

} // namespace loomway
