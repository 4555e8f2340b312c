#include "config/numbertext.h"

#include "base/asciitext.h"

#include <climits>
#include <cmath>
#include <cstddef>

namespace loomway {

namespace {

long Saturated(long double value) {
    if (value >= static_cast<long double>(LONG_MAX)) {
        return LONG_MAX;
    }
    if (value <= static_cast<long double>(LONG_MIN)) {
        return LONG_MIN;
    }
    return static_cast<long>(value);
}

} // namespace

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
    long double mantissa = 0;
    int scale = 0;
    bool anyDigit = false;
    // Only the first digits count; later integer digits scale the value.
    constexpr int kSignificant = 40;
    int significant = 0;
    for (; i < n && IsDigit(text[i]); ++i) {
        if (significant < kSignificant) {
            mantissa = mantissa * 10 + (text[i] - '0');
            significant += mantissa != 0 ? 1 : 0;
        } else if (scale < 100000) {
            ++scale;
        }
        anyDigit = true;
    }
    if (i < n && text[i] == '.') {
        ++i;
        for (; i < n && IsDigit(text[i]); ++i) {
            if (significant < kSignificant) {
                mantissa = mantissa * 10 + (text[i] - '0');
                significant += mantissa != 0 ? 1 : 0;
                --scale;
            }
            anyDigit = true;
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
        long exponent = 0;
        for (; i < n && IsDigit(text[i]); ++i) {
            if (exponent < 100000) {
                exponent = exponent * 10 + (text[i] - '0');
            }
        }
        scale += static_cast<int>(negativeExponent ? -exponent : exponent);
    }
    while (i < n && IsBlank(text[i])) {
        ++i;
    }
    if (i != n) {
        return std::nullopt;
    }
    // The mantissa is finite and the scale bounded, so this is never NaN.
    long double value = mantissa;
    if (value != 0) {
        value *= std::pow(10.0L, static_cast<long double>(scale));
    }
    // Halves go to the even neighbour, as the default rounding mode does.
    value = std::nearbyint(value);
    if (negative) {
        value = -value;
    }
    return Saturated(value);
}

std::optional<long> PortNumberOfText(const std::string& text) {
    return ToWholeNumber(text);
}

} // namespace loomway
