// The decimal number reader behind _wtof and the number scan: the text of a decimal, its exact
// value where one multiplication gives it, and the general reader for the rest.
#pragma once

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/Runtime.h"

namespace dornel {

/// The rest of WideToDouble: any number of digits and any exponent, through the standard
/// reader (DecimalText.cpp). Apart, so that the common case needs no stack frame. p is past the
/// white space.
double WideToDoubleInGeneral(const char16_t* p);

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

/// A decimal number as its text gives it: an optional sign, digits with an optional '.', an
/// optional exponent ('e' or 'E', an optional sign, at least one digit).
struct DecimalText {
    bool negative = false;
    uint64_t mantissa = 0;      ///< the significant digits as a whole number (exact up to 19)
    int significant = 0;        ///< digits without the leading zeros, nor the zeros right after the
                                ///< point of a number below one, which only move the point
    int digits = 0;             ///< all digits before the exponent
    int scale = 0;              ///< the power of ten the mantissa is to be multiplied by
    bool longExponent = false;  ///< an exponent of 1000 or more
    const char16_t* end = nullptr;  ///< the first unit after the number
};

/// Reads the decimal number at p, without white space before it. Where limit is given, the text
/// holds at least the units up to it, and digits are read four at a time.
///
/// Always inline, so that its branches are laid out with each caller's loop and its result
/// never passes through memory.
[[gnu::always_inline]] inline DecimalText ReadDecimalText(const char16_t* p,
                                                          const char16_t* limit = nullptr) {
    DecimalText d;
    d.negative = *p == u'-';
    if (*p == u'+' || *p == u'-')
        ++p;
    // The digit's value as unsigned: anything below '0' wraps past 9.
    const auto digit = [](char16_t c) { return static_cast<unsigned>(c) - u'0'; };
    const auto readDigits = [&] {
        if (limit)
            for (uint64_t four; limit - p >= 4 && FourDigits(p, four); p += 4)
                d.mantissa = d.mantissa * 10000 + four;
        for (unsigned v; (v = digit(*p)) <= 9; ++p)
            d.mantissa = d.mantissa * 10 + v;
    };
    const char16_t* first = p;
    while (*p == u'0')
        ++p;
    const char16_t* start = p;
    readDigits();
    d.significant = static_cast<int>(p - start);
    d.digits = static_cast<int>(p - first);
    if (*p == u'.') {
        const char16_t* fraction = ++p;
        if (d.significant == 0)
            while (*p == u'0')
                ++p;
        start = p;
        readDigits();
        d.significant += static_cast<int>(p - start);
        d.digits += static_cast<int>(p - fraction);
        d.scale = -static_cast<int>(p - fraction);
    }
    if (d.digits > 0 && (*p == u'e' || *p == u'E')) {
        const char16_t* r = p + 1;
        const bool expNegative = *r == u'-';
        if (*r == u'+' || *r == u'-')
            ++r;
        if (digit(*r) <= 9) {
            int e = 0;
            for (unsigned v; (v = digit(*r)) <= 9; ++r)
                if (e < 1000)
                    e = e * 10 + static_cast<int>(v);
            d.longExponent = e >= 1000;
            d.scale += expNegative ? -e : e;
            p = r;
        }
    }
    d.end = p;
    return d;
}

/// mantissa * 10^scale, negated where asked, for a mantissa of at most 15 digits and a scale
/// from -22 to 22: both are exact as doubles, so one multiplication or division rounds the value
/// correctly (Clinger's fast path).
inline double ExactScaled(uint64_t mantissa, int scale, bool negative) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const double m = static_cast<double>(mantissa);
    const double v = scale >= 0 ? m * kPowers[scale] : m / kPowers[-scale];
    return negative ? -v : v;
}

/// The value of a decimal with at most 15 significant digits and a power of ten within 1e22,
/// by ExactScaled. False for any other.
inline bool ExactDecimalValue(const DecimalText& d, double& value) {
    if (d.digits == 0 || d.significant > 15 || d.longExponent || d.scale < -22 || d.scale > 22)
        return false;
    value = ExactScaled(d.mantissa, d.scale, d.negative);
    return true;
}

/// _wtof: the leading decimal number of the text ('.' as decimal point), 0 when there is none.
/// Reads leading white space, an optional sign, digits with an optional '.', an optional
/// exponent; ignores whatever follows. Overflow gives infinity, underflow 0, as strtod does.
inline double WideToDouble(const char16_t* p) {
    while (IsSpace16(*p))
        ++p;
    // Most numbers in data have few digits and a small exponent; the rest go to the general
    // reader, which builds a text for the standard one.
    double value;
    if (ExactDecimalValue(ReadDecimalText(p), value))
        return value;
    return WideToDoubleInGeneral(p);
}

}  // namespace dornel
