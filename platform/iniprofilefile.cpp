#include "platform/iniprofilefile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace loomway {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Letter case folded for ASCII and the Latin-1 letters.
unsigned char Folded(unsigned char c) {
    if (c >= 'A' && c <= 'Z') {
        return static_cast<unsigned char>(c + 32);
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return static_cast<unsigned char>(c + 32);
    }
    return c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Folded(static_cast<unsigned char>(x)) ==
                      Folded(static_cast<unsigned char>(y));
           });
}

// One line of the file as the reader sees it.
struct Line {
    std::size_t begin = 0; // offset of the line in the file
    std::size_t end = 0;   // offset of its line ending (or of the file's end)
    std::size_t next = 0;  // offset of the next line
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::string_view name;      // section or key name, trimmed
    std::size_t valueBegin = 0; // offset of the value after "=" and its blanks
};

std::vector<Line> Parse(const std::string& text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        std::size_t nl = text.find('\n', pos);
        line.next = nl == std::string::npos ? text.size() : nl + 1;
        line.end = nl == std::string::npos ? text.size() : nl;
        if (line.end > line.begin && text[line.end - 1] == '\r') {
            --line.end;
        }
        std::string_view body(text.data() + line.begin, line.end - line.begin);
        std::string_view trimmed = Trimmed(body);
        if (!trimmed.empty() && trimmed.front() == '[') {
            std::string_view inside = trimmed.substr(1);
            inside = inside.substr(0, inside.find(']'));
            line.kind = Line::Kind::Section;
            line.name = Trimmed(inside);
        } else if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#') {
            std::size_t eq = body.find('=');
            if (eq != std::string_view::npos && !Trimmed(body.substr(0, eq)).empty()) {
                line.kind = Line::Kind::Key;
                line.name = Trimmed(body.substr(0, eq));
                std::size_t v = line.begin + eq + 1;
                while (v < line.end && IsBlank(text[v])) {
                    ++v;
                }
                line.valueBegin = v;
            }
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

// Where a key stands: the index of its line, or of the last line of the first
// matching section after which a new key goes.
struct Place {
    std::optional<std::size_t> keyLine;
    std::optional<std::size_t> insertAfter;
};

Place Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Place place;
    bool inSection = false;
    bool inFirstSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == Line::Kind::Section) {
            inSection = SameName(line.name, section);
            inFirstSection = inSection && !place.insertAfter;
            if (inFirstSection) {
                place.insertAfter = i;
            }
        } else if (inSection && line.kind == Line::Kind::Key) {
            if (SameName(line.name, key)) {
                place.keyLine = i;
                return place;
            }
            // New keys go after the last key of the first matching section.
            if (inFirstSection) {
                place.insertAfter = i;
            }
        }
    }
    return place;
}

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

std::string WithoutLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\n' && c != '\r') {
            out += c;
        }
    }
    return out;
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
    std::string result(Trimmed(defaultValue));
    std::string contents;
    bool exists = false;
    if (ReadWholeFile(m_path, contents, exists) && exists) {
        const std::vector<Line> lines = Parse(contents);
        const Place place = Find(lines, section, key);
        if (place.keyLine) {
            const Line& line = lines[*place.keyLine];
            result = std::string(Trimmed(
                std::string_view(contents.data() + line.valueBegin, line.end - line.valueBegin)));
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
    const std::string sectionName = WithoutLineBreaks(section);
    const std::string keyName = WithoutLineBreaks(key);
    std::string_view trimmedKey = Trimmed(keyName);
    // Names that the file could not give back as written are refused.
    if (Trimmed(sectionName).size() != sectionName.size() ||
        sectionName.find(']') != std::string::npos || trimmedKey.empty() ||
        trimmedKey.size() != keyName.size() || keyName.find('=') != std::string::npos ||
        keyName.front() == '[' || keyName.front() == ';' || keyName.front() == '#') {
        return false;
    }
    const std::string cleanValue = WithoutLineBreaks(value);

    std::string contents;
    bool exists = false;
    if (!ReadWholeFile(m_path, contents, exists)) {
        return false;
    }
    const std::vector<Line> lines = Parse(contents);
    // New lines follow the file's own line endings.
    const std::size_t firstBreak = contents.find('\n');
    const std::string eol =
        firstBreak != std::string::npos && firstBreak > 0 && contents[firstBreak - 1] == '\r'
            ? "\r\n"
            : "\n";

    const Place place = Find(lines, sectionName, keyName);
    std::string updated;
    if (place.keyLine) {
        const Line& line = lines[*place.keyLine];
        updated.reserve(contents.size() + cleanValue.size());
        updated.append(contents, 0, line.valueBegin);
        updated += cleanValue;
        updated.append(contents, line.end, std::string::npos);
    } else if (place.insertAfter) {
        const Line& line = lines[*place.insertAfter];
        updated.append(contents, 0, line.next);
        if (line.next == line.end) { // the last line had no line ending
            updated += eol;
        }
        updated += keyName + "=" + cleanValue + eol;
        updated.append(contents, line.next, std::string::npos);
    } else {
        updated = contents;
        if (!updated.empty() && updated.back() != '\n') {
            updated += eol;
        }
        if (!updated.empty() && !lines.empty() &&
            !Trimmed(std::string_view(contents.data() + lines.back().begin,
                                      lines.back().end - lines.back().begin))
                 .empty()) {
            updated += eol;
        }
        updated += "[" + sectionName + "]" + eol + keyName + "=" + cleanValue + eol;
    }
    if (exists && updated == contents) {
        return true;
    }
    return ReplaceFile(updated);
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
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
