#pragma once

#include "config/profilefile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace loomway {

// The in-memory settings shared by the whole program. A communication
// setting that is not configured, and an exit program that is not chosen,
// hold nothing.
struct Settings {
    std::optional<int> SourcePort;
    std::optional<std::string> DestinationPort;
    std::optional<std::string> CommonSpeed;
    bool SerialMethodOn = false;
    bool PrintMethodOn = false;
    bool ClipboardMethodOn = false;
    std::optional<std::string> ExitProgramPath;
};

// "Not set" as LOOMWAY.INI and the dialogs' texts carry it: the port or speed
// number -1 (the text "-1") and the exit program "<NONE>". They read as
// nothing; a port or speed that is not set is still tried as kNotSetNumber.
inline constexpr int kNotSetNumber = -1;
inline constexpr const char* kCommNotSet = "-1";
inline constexpr const char* kNoExitProgram = "<NONE>";

// A port number as the settings hold it: nothing for kNotSetNumber.
std::optional<int> PortSetting(long number);
// A port or speed text as the settings hold it: nothing for kCommNotSet.
std::optional<std::string> CommSetting(const std::string& text);
// [Preferences] StartApp as the settings hold it: nothing for an empty text
// and for kNoExitProgram.
std::optional<std::string> ExitProgramSetting(const std::string& text);

// Reads [section] key: the stored value without surrounding blanks, at most
// 254 characters, or empty text when absent. The result is UTF-8: a value
// that is not is read as Windows-1252 (config/handheldcharset.h), and the cut
// falls between characters.
std::string ReadSetting(ProfileFile& file, const std::string& section, const std::string& key,
                        const std::string& defaultValue = "");

// A value as a dialog shows it (ReadSetting) and the bytes the file holds.
struct SettingText {
    std::string shown;
    std::string stored;
};
SettingText ReadSettingText(ProfileFile& file, const std::string& section, const std::string& key);

// Writes text; when it is still the text that was shown, the stored bytes go
// back unchanged (an 8-bit value stays 8-bit, a long one keeps its end).
std::int16_t WriteSettingText(ProfileFile& file, const std::string& section, const std::string& key,
                              const SettingText& read, const std::string& text);

// Writes [section] key := value. Returns the platform's success flag (1 or 0);
// callers ignore it.
std::int16_t WriteSetting(ProfileFile& file, const std::string& section, const std::string& key,
                          const std::string& value);

void LoadCommSettings(ProfileFile& file, Settings& settings);
void LoadMethods(ProfileFile& file, Settings& settings);
void SaveMethods(ProfileFile& file, const std::string& serial, const std::string& print,
                 const std::string& clipboard);

// The device that serial port number n stands for: [Ports] COM<n> when that
// key holds a value, otherwise /dev/ttyS<n-1>.
std::string PortDevice(ProfileFile& file, int n);

// [Ports] Reconnect: whether a device lost while redirection is on is waited
// for and reopened. Only "NO" (in any letter case) turns it off.
bool ReconnectOn(ProfileFile& file);

} // namespace loomway
