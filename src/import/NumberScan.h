// One pass over a field that tells a plain number from a text and converts the number.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/Runtime.h"

namespace dornel {

/// What one pass over a field could decide.
enum class ScannedField : uint8_t {
    Number,     ///< one number and nothing else: the value is set
    Text,       ///< no number at its start: the number test says no
    Unsure,     ///< white space in it, or a form the pass does not settle: take the plain path
    Unscanned,  ///< not looked at yet
};

/// Four digits at once: true when the four units at p are all digits, with their value.
inline bool FourDigits(const char16_t* p, uint64_t& value) {
    // The units' order in a word is the little-endian one.
    if constexpr (std::endian::native != std::endian::little)
        return false;
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    // Each unit between '0' and '9': 0x30 to 0x3F, and still so after adding 6.
    constexpr uint64_t kHigh = 0xFFF0FFF0FFF0FFF0ull, kZeros = 0x0030003000300030ull;
    if ((v & kHigh) != kZeros || ((v + 0x0006000600060006ull) & kHigh) != kZeros)
        return false;
    // The first unit in the lowest bits: one multiplication sums d0*1000 + d1*100 + d2*10 + d3
    // into the top unit, and no unit below it grows past 999.
    value = ((v - kZeros) * (1 + (10ull << 16) + (100ull << 32) + (1000ull << 48))) >> 48;
    return true;
}

/// Decides, in one pass and with the same answers, what the plain path decides in three: the
/// number test (white space, a sign, digits with an optional '.', an optional exponent, then the
/// end or white space), that the field holds one token only, and WideToDouble's value. The
/// decimal point is '.'.
///
/// The value of a field with at most 15 significant digits and a power of ten within 1e22 is
/// the digits as a whole number times or divided by that exact power, which is correctly
/// rounded; WideToDouble takes the same path for it. Any other number goes to WideToDouble.
/// The field holds length units and a zero after them; a zero before its end still ends it.
inline ScannedField ScanNumberField(const char16_t* field, size_t length, double& value) {
    const char16_t* const end = field + length;
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char16_t* p = field;
    if (IsSpace16(*p))
        return ScannedField::Unsure;
    const bool negative = *p == u'-';
    if (*p == u'+' || *p == u'-')
        ++p;
    // The digit's value as unsigned: anything below '0' wraps past 9.
    const auto digit = [](char16_t c) { return static_cast<unsigned>(c) - u'0'; };
    const char16_t* first = p;
    while (*p == u'0')
        ++p;
    const char16_t* start = p;
    uint64_t mantissa = 0;
    for (uint64_t four; end - p >= 4 && FourDigits(p, four); p += 4)
        mantissa = mantissa * 10000 + four;
    for (unsigned d; (d = digit(*p)) <= 9; ++p)
        mantissa = mantissa * 10 + d;
    int significant = static_cast<int>(p - start);
    int digits = static_cast<int>(p - first);
    int scale = 0;
    if (*p == u'.') {
        const char16_t* fraction = ++p;
        // The zeros right after the point of a number below one only move the point.
        if (significant == 0)
            while (*p == u'0')
                ++p;
        start = p;
        for (uint64_t four; end - p >= 4 && FourDigits(p, four); p += 4)
            mantissa = mantissa * 10000 + four;
        for (unsigned d; (d = digit(*p)) <= 9; ++p)
            mantissa = mantissa * 10 + d;
        significant += static_cast<int>(p - start);
        digits += static_cast<int>(p - fraction);
        scale = -static_cast<int>(p - fraction);
    }
    if (digits == 0)
        return ScannedField::Text;
    bool exact = significant <= 15;
    if (*p == u'e' || *p == u'E') {
        const char16_t* r = p + 1;
        const bool expNegative = *r == u'-';
        if (*r == u'+' || *r == u'-')
            ++r;
        if (digit(*r) <= 9) {
            int e = 0;
            for (unsigned d; (d = digit(*r)) <= 9; ++r)
                if (e < 1000)
                    e = e * 10 + static_cast<int>(d);
            exact = exact && e < 1000;
            scale += expNegative ? -e : e;
            p = r;
        }
    }
    if (*p != 0)
        return IsSpace16(*p) ? ScannedField::Unsure : ScannedField::Text;
    if (!exact || scale < -22 || scale > 22) {
        value = WideToDouble(field);
        return ScannedField::Number;
    }
    const double m = static_cast<double>(mantissa);
    const double v = scale >= 0 ? m * kPowers[scale] : m / kPowers[-scale];
    value = negative ? -v : v;
    return ScannedField::Number;
}

}  // namespace dornel
