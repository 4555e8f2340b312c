#include "platform/iniprofilefile.h"

#include "base/asciitext.h"
#include "config/initext.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace loomway {

namespace {

// Reads the whole file. A file that does not exist is empty; any other
// failure returns false.
bool ReadWholeFile(const std::string& path, std::string& contents, bool& exists) {
    contents.clear();
    exists = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT;
    }
    exists = true;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            contents.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    return true;
}

// Creates the missing folders of path, each readable by its owner only.
bool MakeFolders(const std::filesystem::path& folder) {
    if (folder.empty()) {
        return true;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    if (errno != ENOENT || !MakeFolders(folder.parent_path())) {
        return false;
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

} // namespace

IniProfileFile::IniProfileFile(std::string path) : m_path(std::move(path)) {}

std::string IniProfileFile::DefaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        return std::string(config) + "/LOOMWAY.INI";
    }
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0] != '\0') {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/.config/LOOMWAY.INI";
}

std::string IniProfileFile::GetString(const std::string& section, const std::string& key,
                                      const std::string& defaultValue, std::size_t bufferSize) {
    std::string result = Trimmed(defaultValue);
    std::string contents;
    bool exists = false;
    if (ReadWholeFile(m_path, contents, exists) && exists) {
        if (auto value = ReadIniValue(contents, section, key)) {
            result = std::move(*value);
        }
    }
    const std::size_t limit = bufferSize == 0 ? 0 : bufferSize - 1;
    if (result.size() > limit) {
        result.resize(limit);
    }
    return result;
}

bool IniProfileFile::WriteString(const std::string& section, const std::string& key,
                                 const std::string& value) {
    std::string contents;
    bool exists = false;
    if (!ReadWholeFile(m_path, contents, exists)) {
        return false;
    }
    const std::optional<std::string> updated = WriteIniValue(contents, section, key, value);
    if (!updated) {
        return false;
    }
    if (exists && *updated == contents) {
        return true;
    }
    return ReplaceFile(*updated);
}

bool IniProfileFile::ReplaceFile(const std::string& contents) {
    namespace fs = std::filesystem;
    // A settings file that is a symbolic link is replaced where it points.
    fs::path target(m_path);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) {
            return false;
        }
        target = resolved;
    }
    const fs::path folder = target.parent_path();
    if (!MakeFolders(folder)) {
        return false;
    }

    struct stat old {};
    const bool hadFile = ::stat(target.c_str(), &old) == 0;
    if (hadFile && !S_ISREG(old.st_mode)) {
        return false;
    }

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        std::string name = ".";
        name += target.filename().string();
        name += ".tmp-";
        name += std::to_string(::getpid());
        name += '-';
        name += std::to_string(++m_tempCounter);
        temp = (folder / name).string();
        // The settings hold the phonebook: a new file is the user's alone.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }

    auto fail = [&]() {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temp.c_str());
        return false;
    };

    if (hadFile) {
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            return fail();
        }
        // Keeps the owner when someone else's file is rewritten; harmless
        // when it is ours already.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            [[maybe_unused]] int ignored = ::fchown(fd, old.st_uid, old.st_gid);
        }
    }

    std::size_t done = 0;
    while (done < contents.size()) {
        std::size_t chunk = contents.size() - done;
        if (m_failAfter) {
            if (done >= *m_failAfter) {
                errno = ENOSPC;
                return fail();
            }
            chunk = std::min(chunk, *m_failAfter - done);
        }
        ssize_t n = ::write(fd, contents.data() + done, chunk);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            return fail();
        }
    }
    if (m_failAfter && contents.empty()) {
        return fail();
    }
    if (::fsync(fd) != 0) {
        return fail();
    }
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
        return fail();
    }
    // Makes the rename itself durable.
    int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace loomway
