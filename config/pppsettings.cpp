#include "config/pppsettings.h"

#include "base/asciitext.h"
#include "config/settings.h"

namespace loomway {

namespace {

// A decimal number of at most `digits` digits, no sign; nothing otherwise.
std::optional<int> SmallNumber(const std::string& text, std::size_t digits) {
    if (text.empty() || text.size() > digits) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<std::uint32_t> DottedQuad(const std::string& text) {
    std::uint32_t address = 0;
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t end = part < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos) {
            return std::nullopt;
        }
        const std::optional<int> byte = SmallNumber(text.substr(start, end - start), 3);
        if (!byte || *byte > 255) {
            return std::nullopt;
        }
        address = address << 8 | static_cast<std::uint32_t>(*byte);
        start = end + 1;
    }
    return address;
}

} // namespace

std::optional<PppNetwork> ParsePppNetwork(const std::string& text, std::string& problem) {
    const std::string quoted = "\"" + text + "\"";
    const std::size_t slash = text.find('/');
    const std::optional<std::uint32_t> address =
        slash == std::string::npos ? std::nullopt : DottedQuad(text.substr(0, slash));
    const std::optional<int> prefix =
        slash == std::string::npos ? std::nullopt : SmallNumber(text.substr(slash + 1), 2);
    if (!address || !prefix) {
        problem = quoted + " is not an IPv4 network such as 10.0.2.0/24";
        return std::nullopt;
    }
    if (*prefix < 8 || *prefix > 24) {
        problem = quoted + " is not a network from /8 to /24";
        return std::nullopt;
    }
    const std::uint32_t first = *address >> 24;
    if (first == 0 || first == 127 || first >= 224) {
        problem = quoted + " is a reserved range (0, 127, or 224 and above)";
        return std::nullopt;
    }
    if ((*address & ~(~std::uint32_t{0} << (32 - *prefix))) != 0) {
        problem = quoted + " has host bits set; a network address ends in zeros, as 10.0.2.0/24";
        return std::nullopt;
    }
    problem.clear();
    return PppNetwork{*address, *prefix};
}

PppSettings LoadPppSettings(ProfileFile& file) {
    PppSettings settings;
    const std::string network = ReadSetting(file, "PPP", "Network");
    if (!network.empty()) {
        std::string problem;
        if (const std::optional<PppNetwork> parsed = ParsePppNetwork(network, problem)) {
            settings.network = parsed->address;
            settings.prefix = parsed->prefix;
        } else {
            settings.problem = "[PPP] Network: " + problem + "; using 10.0.2.0/24";
        }
    }
    settings.desktop = UpperCased(ReadSetting(file, "PPP", "Desktop")) == "YES";
    settings.user = ReadSetting(file, "PPP", "User");
    settings.password = ReadSetting(file, "PPP", "Password");
    return settings;
}

PppSettingTexts ReadPppSettingTexts(ProfileFile& file) {
    PppSettingTexts read;
    for (std::size_t i = 0; i < kPppKeys.size(); ++i) {
        read[i] = ReadSettingText(file, "PPP", kPppKeys[i]);
    }
    if (read[0].shown.empty()) {
        read[0] = {"10.0.2.0/24", "10.0.2.0/24"};
    }
    read[1].shown = UpperCased(read[1].shown) == "YES" ? "YES" : "NO";
    if (read[1].stored.empty()) {
        read[1].stored = read[1].shown;
    }
    return read;
}

bool SavePppSettings(ProfileFile& file, const PppSettingTexts& read, const PppTexts& texts,
                     std::string& problem) {
    if (!ParsePppNetwork(texts[0], problem)) {
        return false;
    }
    for (std::size_t i = 0; i < kPppKeys.size(); ++i) {
        WriteSettingText(file, "PPP", kPppKeys[i], read[i], texts[i]);
    }
    return true;
}

} // namespace loomway
