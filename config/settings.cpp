#include "config/settings.h"

#include "base/asciitext.h"
#include "config/handheldcharset.h"
#include "config/numbertext.h"

#include <algorithm>
#include <climits>

namespace loomway {

namespace {

// The profile-file functions read a value into a buffer of this size: at most
// 254 characters and the terminator.
constexpr std::size_t kValueBufferSize = 255;
// The file is asked for the whole value; the cut counts characters, not bytes.
constexpr std::size_t kWholeValue = std::string::npos;

// One method switch: "YES" and empty set it, "NO" clears it, anything else
// leaves it as it was. Letter case does not matter.
void ApplyMethod(const std::string& value, bool& method) {
    const std::string upper = UpperCased(value);
    if (upper == "YES" || upper.empty()) {
        method = true;
    } else if (upper == "NO") {
        method = false;
    }
}

int ClampToInt(long value) {
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

} // namespace

std::string ReadSetting(ProfileFile& file, const std::string& section, const std::string& key,
                        const std::string& defaultValue) {
    std::string value = file.GetString(section, key, defaultValue, kWholeValue);
    // The buffer ends at its terminator: a NUL inside the value cuts it there.
    if (auto nul = value.find('\0'); nul != std::string::npos) {
        value.resize(nul);
    }
    // Values are UTF-8; one written in an 8-bit code page (by hand, or by an
    // older program) is read as Windows-1252.
    if (!IsUtf8(value)) {
        value = HandheldToUtf8(value);
    }
    value.resize(Utf8Prefix(value, kValueBufferSize - 1));
    return Trimmed(value);
}

SettingText ReadSettingText(ProfileFile& file, const std::string& section, const std::string& key) {
    return {ReadSetting(file, section, key), file.GetString(section, key, "", kWholeValue)};
}

std::int16_t WriteSettingText(ProfileFile& file, const std::string& section, const std::string& key,
                              const SettingText& read, const std::string& text) {
    return WriteSetting(file, section, key, text == read.shown ? read.stored : text);
}

std::int16_t WriteSetting(ProfileFile& file, const std::string& section, const std::string& key,
                          const std::string& value) {
    return file.WriteString(section, key, value) ? 1 : 0;
}

std::optional<int> PortSetting(long number) {
    const int port = ClampToInt(number);
    return port == kNotSetNumber ? std::nullopt : std::optional<int>(port);
}

std::optional<std::string> CommSetting(const std::string& text) {
    return text == kCommNotSet ? std::nullopt : std::optional<std::string>(text);
}

std::optional<std::string> ExitProgramSetting(const std::string& text) {
    if (text.empty() || text == kNoExitProgram) {
        return std::nullopt;
    }
    return text;
}

void LoadCommSettings(ProfileFile& file, Settings& settings) {
    const std::string source = ReadSetting(file, "Source", "Port");
    settings.SourcePort = source.empty() ? std::nullopt : PortSetting(LeadingNumber(source));

    const std::string destination = ReadSetting(file, "Destination", "Port");
    settings.DestinationPort = destination.empty() ? std::nullopt : CommSetting(destination);

    const std::string speed = ReadSetting(file, "Common", "Speed");
    settings.CommonSpeed = speed.empty() ? std::nullopt : CommSetting(speed);
}

void LoadMethods(ProfileFile& file, Settings& settings) {
    ApplyMethod(ReadSetting(file, "Methods", "LMW_S"), settings.SerialMethodOn);
    ApplyMethod(ReadSetting(file, "Methods", "LMW_P"), settings.PrintMethodOn);
    ApplyMethod(ReadSetting(file, "Methods", "LMW_C"), settings.ClipboardMethodOn);
}

void SaveMethods(ProfileFile& file, const std::string& serial, const std::string& print,
                 const std::string& clipboard) {
    WriteSetting(file, "Methods", "LMW_S", serial);
    WriteSetting(file, "Methods", "LMW_P", print);
    WriteSetting(file, "Methods", "LMW_C", clipboard);
}

std::string PortDevice(ProfileFile& file, int n) {
    const std::string mapped = ReadSetting(file, "Ports", "COM" + std::to_string(n));
    if (!mapped.empty()) {
        return mapped;
    }
    return "/dev/ttyS" + std::to_string(static_cast<long>(n) - 1);
}

bool ReconnectOn(ProfileFile& file) {
    return UpperCased(ReadSetting(file, "Ports", "Reconnect")) != "NO";
}

} // namespace loomway
