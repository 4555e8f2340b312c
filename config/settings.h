#pragma once

#include "config/profilefile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace loomway {

// The in-memory settings shared by the whole program. -1 ("-1" for the
// texts) marks a communication setting that is not configured.
struct Settings {
    int SourcePort = -1;
    std::string DestinationPort = "-1";
    std::string CommonSpeed = "-1";
    bool SerialMethodOn = false;
    bool PrintMethodOn = false;
    bool ClipboardMethodOn = false;
    std::string ExitProgramPath = "<NONE>";
};

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

// The number formed by the leading decimal digits of text (after leading
// blanks, with an optional sign); 0 when there are none.
long LeadingNumber(const std::string& text);

// The text as a whole number when it is one (blanks around it allowed,
// decimals rounded); nothing when it is not a number at all.
std::optional<long> ToWholeNumber(const std::string& text);

// The port number a port text stands for: one rule for the switch-on, which
// opens that port, and for the communication dialog, which refuses two texts
// that stand for the same port. The text as a whole number (ToWholeNumber:
// "3.9" is port 4); nothing when it is no number at all.
std::optional<long> PortNumberOfText(const std::string& text);

// The device that serial port number n stands for: [Ports] COM<n> when that
// key holds a value, otherwise /dev/ttyS<n-1>.
std::string PortDevice(ProfileFile& file, int n);

// [Ports] Reconnect: whether a device lost while redirection is on is waited
// for and reopened. Only "NO" (in any letter case) turns it off.
bool ReconnectOn(ProfileFile& file);

} // namespace loomway
