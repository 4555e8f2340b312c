#pragma once

#include <string>

namespace loomway {

// The settings file as the profile-file functions see it: values by section
// and key. Section and key names match without regard to letter case.
class ProfileFile {
public:
    virtual ~ProfileFile() = default;

    // The value of key in section with blanks at both ends removed, cut to at
    // most bufferSize - 1 characters; defaultValue when the file, section or
    // key is absent.
    virtual std::string GetString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue, std::size_t bufferSize) = 0;

    // Stores value under key in section, creating file, section and key as
    // needed and keeping every other line. Returns false when the write failed.
    virtual bool WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
};

} // namespace loomway
