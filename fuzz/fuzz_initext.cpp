// Arbitrary INI text, names and values through the reader and the writer: a
// value written reads back (trimmed, without line breaks), no other key's
// value changes, a new key only adds bytes, writing the same again changes
// nothing, and plain names are never refused.
#include "base/asciitext.h"
#include "config/initext.h"
#include "fuzz/fuzzcheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace loomway;

namespace {

std::string WithoutLineBreaks(std::string text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    return text;
}

bool Plain(const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char c) {
        return IsDigit(c) || (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z');
    });
}

// Whether every byte of text stands in longer, in order.
bool KeptIn(const std::string& text, const std::string& longer) {
    std::size_t at = 0;
    for (char c : text) {
        at = longer.find(c, at);
        if (at == std::string::npos) {
            return false;
        }
        ++at;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(24);
    const std::string key = in.ConsumeRandomLengthString(24);
    const std::string value = in.ConsumeRandomLengthString(64);
    const std::string otherSection = in.ConsumeRandomLengthString(24);
    const std::string otherKey = in.ConsumeRandomLengthString(24);
    const std::string text = in.ConsumeRemainingBytesAsString();

    const auto otherBefore = ReadIniValue(text, otherSection, otherKey);
    const auto updated = WriteIniValue(text, section, key, value);
    if (!updated) {
        CHECK(!(Plain(section) && Plain(key) && !key.empty()));
        return 0;
    }
    const std::string writtenSection = WithoutLineBreaks(section);
    const std::string writtenKey = WithoutLineBreaks(key);
    const std::string writtenValue = WithoutLineBreaks(value);
    const auto back = ReadIniValue(*updated, writtenSection, writtenKey);
    CHECK(back && *back == Trimmed(writtenValue));

    if (!SameIniName(writtenSection, otherSection) || !SameIniName(writtenKey, otherKey)) {
        CHECK(ReadIniValue(*updated, otherSection, otherKey) == otherBefore);
    }
    if (!ReadIniValue(text, writtenSection, writtenKey)) {
        CHECK(KeptIn(text, *updated));
    }
    if (writtenValue.empty() || !IsBlank(writtenValue.front())) {
        CHECK(WriteIniValue(*updated, section, key, value) == updated);
    }
    return 0;
}
