#include "config/numbertext.h"

#include "base/asciitext.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace loomway {

long LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a negative number so that LONG_MIN fits; saturates.
    long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (value < (LONG_MIN + digit) / 10) {
            value = LONG_MIN;
        } else {
            value = value * 10 - digit;
        }
    }
    if (negative) {
        return value;
    }
    return value == LONG_MIN ? LONG_MAX : -value;
}

std::optional<long> ToWholeNumber(const std::string& text) {
    // Accepts: blanks, optional sign, digits with an optional decimal point
    // (at least one digit), an optional exponent, blanks. Nothing else.
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The digits without leading zeros, and where the decimal point stands
    // among them: rounding is done on the decimal digits themselves, exactly,
    // however many there are.
    std::string digits;
    std::int64_t point = 0;
    bool anyDigit = false;
    bool afterPoint = false;
    for (; i < n && (IsDigit(text[i]) || (text[i] == '.' && !afterPoint)); ++i) {
        if (text[i] == '.') {
            afterPoint = true;
            continue;
        }
        anyDigit = true;
        if (!digits.empty() || text[i] != '0') {
            digits += text[i];
            point += afterPoint ? 0 : 1;
        } else if (afterPoint) {
            --point;
        }
    }
    if (!anyDigit) {
        return std::nullopt;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        if (i >= n || !IsDigit(text[i])) {
            return std::nullopt;
        }
        // Past this, a number is 0 or beyond any long whatever its digits.
        constexpr std::int64_t kFarthest = 1'000'000'000'000'000;
        std::int64_t exponent = 0;
        for (; i < n && IsDigit(text[i]); ++i) {
            exponent = std::min(kFarthest, exponent * 10 + (text[i] - '0'));
        }
        point += negativeExponent ? -exponent : exponent;
    }
    while (i < n && IsBlank(text[i])) {
        ++i;
    }
    if (i != n) {
        return std::nullopt;
    }
    if (digits.empty() || point < 0) {
        return 0; // zero, or less than a tenth
    }
    const long saturated = negative ? LONG_MIN : LONG_MAX;
    if (point > std::numeric_limits<unsigned long>::digits10) {
        return saturated;
    }
    unsigned long whole = 0; // at most digits10 digits: no overflow
    for (std::int64_t d = 0; d < point; ++d) {
        whole = whole * 10 + (d < std::int64_t(digits.size()) ? digits[std::size_t(d)] - '0' : 0);
    }
    // Halves go to the even neighbour, as the default rounding mode does.
    const std::size_t next = std::size_t(point);
    const char first = next < digits.size() ? digits[next] : '0';
    const bool beyondHalf =
        next + 1 < digits.size() && digits.find_first_not_of('0', next + 1) != std::string::npos;
    if (first > '5' || (first == '5' && (beyondHalf || whole % 2 == 1))) {
        ++whole;
    }
    const unsigned long limit =
        negative ? static_cast<unsigned long>(LONG_MAX) + 1 : static_cast<unsigned long>(LONG_MAX);
    if (whole >= limit) {
        return saturated;
    }
    return negative ? -static_cast<long>(whole) : static_cast<long>(whole);
}

std::optional<long> PortNumberOfText(const std::string& text) {
    return ToWholeNumber(text);
}

} // namespace loomway
