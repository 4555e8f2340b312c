#pragma once

#include "config/profilefile.h"

#include <cstddef>
#include <optional>
#include <string>

namespace loomway {

// The settings file as a classic INI text file of 8-bit (Latin-1) bytes, read
// and edited as config/initext.h says. The file is read afresh on every call.
// A write changes one line (or adds the key or section) and keeps every other
// byte; it replaces the file atomically, so a failed write leaves the old
// file as it was.
class IniProfileFile : public ProfileFile {
public:
    explicit IniProfileFile(std::string path);

    // $XDG_CONFIG_HOME/LOOMWAY.INI, or ~/.config/LOOMWAY.INI when
    // XDG_CONFIG_HOME is unset, empty or not absolute.
    static std::string DefaultPath();

    const std::string& Path() const { return m_path; }

    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, std::size_t bufferSize) override;
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

    // Test seam: while set, every write stops after this many bytes of the
    // temporary file and fails as on a full disk. std::nullopt ends it.
    void InjectWriteFailureAfter(std::optional<std::size_t> bytes) { m_failAfter = bytes; }

private:
    bool ReplaceFile(const std::string& contents);

    std::string m_path;
    std::optional<std::size_t> m_failAfter;
    unsigned m_tempCounter = 0;
};

} // namespace loomway
