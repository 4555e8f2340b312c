#include "platform/filecapturesink.h"

#include <QFileInfo>

namespace loomway {

namespace {

// The system's own reason, such as "No space left on device".
std::string Reason(const QFile& file) {
    return file.errorString().toStdString();
}

std::unique_ptr<CaptureSink> Open(const std::string& path, QIODevice::OpenMode mode) {
    auto file = std::make_unique<QFile>(QString::fromStdString(path));
    if (!file->open(mode | QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if ((mode & QIODevice::NewOnly) && QFileInfo::exists(file->fileName())) {
            return nullptr;
        }
        throw CaptureError{Reason(*file)};
    }
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
