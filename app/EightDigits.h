// Numbers of at most eight significant digits, as most numbers in data are: the quick road of
// the views' number text, inline for their loops over cells.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__) && (defined(__x86_64__) || defined(_M_X64))
#include <emmintrin.h>
#endif

namespace dornel::app {

namespace detail {

/// Stores the eight bytes of word at out, the lowest first, whatever the machine's order.
inline void PutWord(char* out, uint64_t word) {
    if constexpr (std::endian::native != std::endian::little) {
        for (int i = 0; i < 8; ++i)
            out[i] = static_cast<char>(word >> (8 * i));
    } else {
        std::memcpy(out, &word, sizeof word);
    }
}

/// The four digits of each number below 10^4 as the bytes of a word, the first lowest, each
/// from 0 to 9: two loads make eight digits, where splitting them by multiplications took some
/// twenty instructions.
inline constexpr auto kFourDigits = [] {
    std::array<uint32_t, 10000> t{};
    for (uint32_t n = 0; n < 10000; ++n)
        t[n] = n / 1000 | (n / 100 % 10) << 8 | (n / 10 % 10) << 16 | (n % 10) << 24;
    return t;
}();

/// The eight decimal digits of n (below 10^8, with leading zeros) as the bytes of a word, the
/// first digit lowest, each from 0 to 9: in registers, as the text is stored from a register.
inline uint64_t EightDigitBytes(uint32_t n) {
    return kFourDigits[n / 10000] | uint64_t{kFourDigits[n % 10000]} << 32;
}

inline constexpr uint64_t kAsciiZeros = 0x3030'3030'3030'3030;

/// The binary exponents of the numbers the quick road takes: from those whose first digit may
/// be at 10^-15, which makes eight digits with 10^22, the last power of ten a double holds, to
/// those below 2^26, whose eight digits need no scaling.
inline constexpr int kFirstBinary = -49, kLastBinary = 25;

/// A binary exponent b spans at most two decades, as 2 < 10. For each, the power of ten that
/// begins the upper one (none lies inside most), as a double, and for each of the two decades
/// the power of ten that makes eight digits of a number whose first digit is in it, and the
/// exponent of that first digit. A number from the double on is of the upper decade; one
/// within a rounding below it, where the double lies below the exact power, is taken as of the
/// upper decade too, and its eight digits, 10^7 as they round, say so.
struct Binade {
    double upper;
    double powers[2];
    int32_t exponents[2];
};

inline constexpr auto kBinades = [] {
    constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    std::array<Binade, kLastBinary - kFirstBinary + 1> t{};
    for (int b = kFirstBinary; b <= kLastBinary; ++b) {
        // The decade of 2^b, g with 10^g <= 2^b < 10^(g+1), all exact in doubles.
        double two = 1;
        for (int i = 0; i < (b < 0 ? -b : b); ++i)
            two *= 2;
        int g = 0;
        if (b >= 0) {
            while (kPowers[g + 1] <= two)
                ++g;
        } else {
            while (kPowers[-g] < two)
                --g;
        }
        Binade& binade = t[static_cast<size_t>(b - kFirstBinary)];
        // Powers of ten below 1 are not exact: the double nearest each, by one division.
        binade.upper = g + 1 >= 0 ? kPowers[g + 1] : 1.0 / kPowers[-(g + 1)];
        // The upper decade of the last exponents would need no power at all; no number of
        // theirs reaches it.
        binade.powers[0] = kPowers[7 - g];
        binade.powers[1] = kPowers[7 - g - 1 >= 0 ? 7 - g - 1 : 0];
        binade.exponents[0] = g;
        binade.exponents[1] = g + 1;
    }
    return t;
}();

/// x rounded to the nearest whole number, x from 0 to below 2^62.
inline int64_t RoundedToWhole(double x) {
#if defined(__SSE2__) && (defined(__x86_64__) || defined(_M_X64))
    // One instruction, in the rounding mode in force, which is to the nearest: were it another,
    // the number found would not read back, and the general road would take the value.
    return _mm_cvtsd_si64(_mm_set_sd(x));
#else
    return static_cast<int64_t>(x + 0.5);
#endif
}

}  // namespace detail

/// A number of at most eight significant digits, found by one scaling: its digits as text in a
/// word (the first lowest, then those up to the eighth place, zeros standing for the places
/// past the last significant one), how many are significant, and the power of ten of the first.
struct EightDigits {
    uint64_t text;
    uint32_t digits;  // the eight digits as a whole number
    int count;
    int exponent;
    bool negative;
};

/// Finds value's digits where its magnitude a is at least 2^-49 and below 2^26, and a times
/// 10^k, with 10^(7-k) the power of ten of a's first digit, rounds to a whole number m that
/// reads back as a when divided by 10^k: m and 10^k are exact, so the quotient is the double the
/// decimal m / 10^k reads as. m has eight digits, and no two decimals of at most fifteen
/// significant digits read as the same double: m without its trailing zeros is the shortest
/// text there is, and the general writer's digits. False for any other number: zero, the
/// subnormal ones, infinities and NaN too, whose exponents lie outside.
[[gnu::always_inline]] inline bool FindEightDigits(double value, EightDigits& d) {
    using namespace detail;
    const auto bits = std::bit_cast<uint64_t>(value);
    const auto index = static_cast<uint32_t>(bits >> 52 & 0x7FF) - (1023 + kFirstBinary);
    if (index > kLastBinary - kFirstBinary)
        return false;
    const double a = std::fabs(value);
    const Binade& binade = kBinades[index];
    const int upper = a >= binade.upper ? 1 : 0;
    const double power = binade.powers[upper];
    const int64_t m = RoundedToWhole(a * power);
    if (static_cast<double>(m) / power != a)
        return false;
    // From 10^7 to below 10^8 (10^8 would read back as a power of ten, which a is below), so
    // that the first digit is the first byte, which is not zero.
    const uint64_t digits = EightDigitBytes(static_cast<uint32_t>(m));
    d.text = digits + kAsciiZeros;
    d.digits = static_cast<uint32_t>(m);
    // The bytes up to the last that is not zero.
    d.count = static_cast<int>(std::bit_width(digits | 1) + 7) >> 3;
    d.exponent = binade.exponents[upper];
    d.negative = static_cast<int64_t>(bits) < 0;
    return true;
}

namespace detail {

/// The length of d without an exponent: its whole part, or "0." and the zeros after the point,
/// and the fraction's digits after a point if there are any.
inline int FixedLength(const EightDigits& d) {
    if (d.exponent < 0)
        return 1 - d.exponent + d.count;
    return d.count > d.exponent + 1 ? d.count + 1 : d.exponent + 1;
}

/// The length of d in the exponent form: the first digit, a point and the others if there are
/// others, and e, a sign and two digits, as the quick road's exponents all are.
inline int ExponentLength(const EightDigits& d) {
    return d.count + (d.count > 1 ? 1 : 0) + 4;
}

}  // namespace detail

/// The length of what WriteEightDigits writes: the general writer takes the shorter form, and
/// the form without an exponent where they tie.
[[gnu::always_inline]] inline size_t EightDigitsLength(const EightDigits& d) {
    return static_cast<size_t>(std::min(detail::FixedLength(d), detail::ExponentLength(d)) +
                               (d.negative ? 1 : 0));
}

// The writers of the forms of d, at p, which has room for 32 bytes; each returns the end. The
// digits go out eight bytes at a time, whatever their count: what lies past the text is no part
// of it.

/// A whole number, d's first exponent + 1 digits.
inline char* WriteEightDigitsWhole(char* p, const EightDigits& d) {
    detail::PutWord(p, d.text);
    return p + d.exponent + 1;
}

/// A number from 1 on with a fraction: the whole part, which is shorter than the count and so
/// shorter than 8, a point, and the rest.
inline char* WriteEightDigitsFraction(char* p, const EightDigits& d) {
    const int whole = d.exponent + 1;
    detail::PutWord(p, d.text);
    p[whole] = '.';
    detail::PutWord(p + whole + 1, d.text >> (8 * whole));
    return p + d.count + 1;
}

/// A number below 1 with at most three zeros after the point.
inline char* WriteEightDigitsBelowOne(char* p, const EightDigits& d) {
    detail::PutWord(p, 0x3030'3030'3030'2E30);  // "0.000000"
    detail::PutWord(p + 1 - d.exponent, d.text);
    return p + 1 - d.exponent + d.count;
}

/// The exponent form.
inline char* WriteEightDigitsExponent(char* p, const EightDigits& d) {
    p[0] = static_cast<char>(d.text);
    p[1] = '.';
    detail::PutWord(p + 2, d.text >> 8);
    p += d.count > 1 ? d.count + 1 : 1;
    const int e = d.exponent < 0 ? -d.exponent : d.exponent;
    p[0] = 'e';
    p[1] = d.exponent < 0 ? '-' : '+';
    p[2] = static_cast<char>('0' + e / 10);
    p[3] = static_cast<char>('0' + e % 10);
    return p + 4;
}

/// Writes d at out as the general writer would: in the shorter form, the one without an
/// exponent where they tie.
[[gnu::always_inline]] inline char* WriteEightDigits(char* out, const EightDigits& d) {
    char* p = out;
    *p = '-';
    p += d.negative ? 1 : 0;
    if (d.exponent >= 0) {
        // A fraction is never shorter with an exponent.
        if (d.count > d.exponent + 1) [[likely]]
            return WriteEightDigitsFraction(p, d);
        if (d.exponent + 1 <= detail::ExponentLength(d)) [[likely]]
            return WriteEightDigitsWhole(p, d);
        return WriteEightDigitsExponent(p, d);
    }
    if (detail::FixedLength(d) <= detail::ExponentLength(d))
        return WriteEightDigitsBelowOne(p, d);
    return WriteEightDigitsExponent(p, d);
}

}  // namespace dornel::app
