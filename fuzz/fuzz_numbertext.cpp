// Arbitrary settings texts as numbers, against the C library. LeadingNumber
// reads what strtol reads after the blanks. ToWholeNumber takes exactly the
// texts that strtold reads whole between blanks (decimal digits, point,
// exponent, nothing else) and gives the nearest whole number, saturating: the
// one nearbyint gives where strtold's value is clear of a half, one of the
// two neighbours where it is not. Every long read back from its text, and
// halves (exactly written) go to the even neighbour, however they are written.
#include "config/numbertext.h"
#include "fuzz/fuzzcheck.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

using namespace loomway;

namespace {

std::size_t BlanksAt(const std::string& text, std::size_t at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
        ++at;
    }
    return at;
}

long ExpectedLeading(const std::string& text) {
    const char* start = text.c_str() + BlanksAt(text, 0);
    // strtol skips more kinds of white space than blanks: a number after them is none.
    if (*start != '\0' && std::strchr("\n\v\f\r", *start) != nullptr) {
        return 0;
    }
    return std::strtol(start, nullptr, 10);
}

// The value strtold reads from the whole text between blanks, if it does.
std::optional<long double> ReadWhole(const std::string& text) {
    if (text.find_first_not_of(" \t+-.0123456789eE") != std::string::npos) {
        return std::nullopt; // strtold would also read hexadecimal, "inf" and "nan"
    }
    const char* start = text.c_str() + BlanksAt(text, 0);
    char* end = nullptr;
    const long double value = std::strtold(start, &end);
    if (end == start || BlanksAt(text, std::size_t(end - text.c_str())) != text.size()) {
        return std::nullopt;
    }
    return value;
}

void CheckWhole(const std::string& text) {
    const std::optional<long> got = ToWholeNumber(text);
    const std::optional<long double> read = ReadWhole(text);
    CHECK(got.has_value() == read.has_value());
    if (!read) {
        return;
    }
    const long double value =
        std::fmax(std::fmin(*read, static_cast<long double>(LONG_MAX)), LONG_MIN);
    const long double fraction = std::fabs(value - std::trunc(value));
    // strtold's value is within a few parts in 10^19 of the text's.
    if (std::fabs(value) < 0x1p40L && std::fabs(fraction - 0.5L) > 1e-6L) {
        CHECK(*got == static_cast<long>(std::nearbyint(value)));
    } else {
        CHECK(std::fabs(static_cast<long double>(*got) - value) <= 1);
    }
}

long EvenNeighbourOfHalf(long whole, bool negative) { // of whole ± 0.5
    if (whole % 2 == 0 || whole == LONG_MAX || whole == LONG_MIN) {
        return whole;
    }
    return negative ? whole - 1 : whole + 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CHECK(LeadingNumber(text) == ExpectedLeading(text));
    CheckWhole(text);
    if (size >= sizeof(long) + 1) {
        long number = 0;
        std::memcpy(&number, data, sizeof number);
        const std::string zeros(data[sizeof number] % 40, '0');
        const std::string written = std::to_string(number);
        CHECK(LeadingNumber(written + ".9") == number);
        CHECK(ToWholeNumber(" " + written + "\t") == number);
        CHECK(ToWholeNumber(written + "." + zeros) == number);
        CHECK(ToWholeNumber(written + zeros + "e-" + std::to_string(zeros.size())) == number);
        const bool negative = number < 0;
        const long half = EvenNeighbourOfHalf(number, negative);
        CHECK(ToWholeNumber(written + ".5" + zeros) == half);
        CHECK(ToWholeNumber(written + "5" + zeros + "e-" + std::to_string(zeros.size() + 1)) ==
              half);
        CHECK(ToWholeNumber(written + ".5" + zeros + "1") ==
              (negative ? (number == LONG_MIN ? LONG_MIN : number - 1)
                        : (number == LONG_MAX ? LONG_MAX : number + 1)));
    }
    return 0;
}
