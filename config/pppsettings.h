#pragma once

#include "config/profilefile.h"
#include "config/settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace loomway {

// The built-in PPP gateway's [PPP] section. Addresses are IPv4 in host order.
struct PppSettings {
    static constexpr std::uint32_t kDefaultNetwork = 0x0A000200; // 10.0.2.0
    static constexpr int kDefaultPrefix = 24;

    std::uint32_t network = kDefaultNetwork;
    int prefix = kDefaultPrefix;
    // YES: the gateway address also reaches the desktop's loopback (127.0.0.1).
    bool desktop = false;
    // Both empty: any name and password are accepted.
    std::string user;
    std::string password;
    // Why Network was not taken (the default stands instead); empty when it was.
    std::string problem;

    std::uint32_t Handheld() const { return network + 15; }
    std::uint32_t Gateway() const { return network + 2; }
    std::uint32_t Dns() const { return network + 3; }
    std::uint32_t Mask() const { return ~std::uint32_t{0} << (32 - prefix); }
};

struct PppNetwork {
    std::uint32_t address = 0;
    int prefix = 0;
};

// "A.B.C.D/N": an IPv4 network address with a prefix from 8 to 24 and no host
// bits set, outside 0.0.0.0/8, 127.0.0.0/8 and 224.0.0.0 and above. Nothing
// when the text is not one; problem then says why, in one sentence.
std::optional<PppNetwork> ParsePppNetwork(const std::string& text, std::string& problem);

// Reads [PPP] Network (default 10.0.2.0/24), Desktop (only "YES", in any
// letter case, turns it on), User and Password.
PppSettings LoadPppSettings(ProfileFile& file);

// [PPP] as a dialog edits it, in this order: Network, Desktop, User, Password.
inline constexpr std::array<const char*, 4> kPppKeys = {"Network", "Desktop", "User", "Password"};
using PppTexts = std::array<std::string, 4>;
using PppSettingTexts = std::array<SettingText, 4>;

// The keys as shown: Network as stored (10.0.2.0/24 when absent), Desktop
// "YES" or "NO" as LoadPppSettings takes it, User and Password as stored. An
// absent Network or Desktop is written as shown when left alone.
PppSettingTexts ReadPppSettingTexts(ProfileFile& file);

// Writes the texts under [PPP]; a text still as read goes back byte for byte.
// Writes nothing and returns false when Network is not a network that
// ParsePppNetwork takes; problem then says why.
bool SavePppSettings(ProfileFile& file, const PppSettingTexts& read, const PppTexts& texts,
                     std::string& problem);

} // namespace loomway
