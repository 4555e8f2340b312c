#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace loomway {

// A capture file could not be made or written; description says why, in the
// system's words ("No space left on device").
struct CaptureError {
    std::string description;
};

// Where a capture's bytes go. Write takes all the bytes or throws CaptureError.
class CaptureSink {
public:
    virtual ~CaptureSink() = default;
    virtual void Write(std::string_view bytes) = 0;
    // Everything written reaches the file; throws CaptureError when it cannot.
    virtual void Close() = 0;
};

// Makes the files captures go to.
class CaptureFiles {
public:
    virtual ~CaptureFiles() = default;
    // A file at path for writing, emptied when it exists. Throws CaptureError.
    virtual std::unique_ptr<CaptureSink> Create(const std::string& path) = 0;
    // A new file at path; nullptr when something stands there already.
    // Throws CaptureError.
    virtual std::unique_ptr<CaptureSink> CreateNew(const std::string& path) = 0;
};

} // namespace loomway
