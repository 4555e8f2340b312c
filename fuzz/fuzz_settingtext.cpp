// Arbitrary bytes as a settings value and as handheld text: a value always
// reads back as well-formed UTF-8 of at most 254 characters; well-formed UTF-8
// is kept as it is; handheld bytes survive the way to desktop text and back.
#include "config/handheldcharset.h"
#include "config/settings.h"
#include "fuzz/fuzzcheck.h"
#include "tests/support/fakes.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace loomway;

namespace {} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    test::MemoryProfileFile file;
    file.set("S", "K", bytes);
    const std::string value = ReadSetting(file, "S", "K");
    CHECK(IsUtf8(value));
    CHECK(Utf8Length(value) <= 254);
    const std::string stored = file.GetString("S", "K", "", std::string::npos);
    if (IsUtf8(stored) && stored.find('\0') == std::string::npos && Utf8Length(stored) <= 254) {
        CHECK(value.size() <= stored.size() && stored.find(value) != std::string::npos);
    }

    const std::string back = UnicodeToHandheld(HandheldToUnicode(bytes));
    CHECK(back.size() == bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        CHECK(back[i] == ((b == 0x81 || b == 0x9D) ? '?' : bytes[i]));
    }
    CHECK(IsUtf8(HandheldToUtf8(bytes)));
    return 0;
}
