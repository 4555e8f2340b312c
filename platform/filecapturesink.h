#pragma once

#include "capture/capturesink.h"

#include <QFile>

namespace loomway {

// A capture file on disk, written without a buffer of Qt's own: each Write
// is handed to the system at once, so a full disk shows up at that write.
class FileCaptureSink : public CaptureSink {
public:
    // file: open for writing.
    explicit FileCaptureSink(std::unique_ptr<QFile> file);
    ~FileCaptureSink() override;

    void Write(std::string_view bytes) override;
    void Close() override;

private:
    std::unique_ptr<QFile> m_file;
};

class FileCaptureFiles : public CaptureFiles {
public:
    std::unique_ptr<CaptureSink> Create(const std::string& path) override;
    std::unique_ptr<CaptureSink> CreateNew(const std::string& path) override;
};

} // namespace loomway
