// Number text as the Windows runtime writes "%.14lG".
#include "export/NumberText.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace dornel {

namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                   1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

/// Two digits at a time: "00" to "99".
constexpr auto kDigitPairs = [] {
    std::array<char16_t, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char16_t>(u'0' + i / 10);
        pairs[2 * i + 1] = static_cast<char16_t>(u'0' + i % 10);
    }
    return pairs;
}();

/// The eight decimal digits of n (below 10^8, with leading zeros) at out. The four pairs are
/// independent of each other, so they are found side by side rather than one after another.
[[gnu::always_inline]] inline void EightDigits(uint32_t n, char16_t* out) {
    const uint32_t high = n / 10000, low = n % 10000;
    std::memcpy(out, &kDigitPairs[2 * (high / 100)], 2 * sizeof(char16_t));
    std::memcpy(out + 2, &kDigitPairs[2 * (high % 100)], 2 * sizeof(char16_t));
    std::memcpy(out + 4, &kDigitPairs[2 * (low / 100)], 2 * sizeof(char16_t));
    std::memcpy(out + 6, &kDigitPairs[2 * (low % 100)], 2 * sizeof(char16_t));
}

/// How many decimal digits whole (at least 1, below 10^15) has.
int DigitCount(uint64_t whole) {
    static constexpr auto kPowers = [] {
        std::array<uint64_t, 16> powers{};
        for (uint64_t i = 0, p = 1; i < powers.size(); ++i, p *= 10)
            powers[i] = p;
        return powers;
    }();
    // log10(2) is about 1233/4096.
    const int guess = (std::bit_width(whole) * 1233) >> 12;
    return guess + (whole >= kPowers[guess] ? 1 : 0);
}

/// The smallest k for which a * 10^k is a whole number below 1E+14, or -1. The products only
/// grow with k, so the first whole one decides.
int SmallestWholeScale(double a) {
    for (int k = 0; k < 18; ++k) {
        const double t = a * kPowersOfTen[k];
        if (t >= 1e14)
            return -1;
        if (static_cast<double>(static_cast<int64_t>(t)) == t)
            return k;
    }
    return -1;
}

/// The common case, a short decimal between 1E-4 and 1E+14: the value times 10^k, rounded,
/// is a whole number t of at most 14 digits. Then t / 10^k is what rounding the value to 14
/// digits gives: the value lies within a rounding step of the product (about 1E-16 of it),
/// far inside half a step of the 14th digit, and t / 10^k lies on the 14-digit grid. Such a
/// decimal is written without an exponent. Returns the length, or 0 for anything else.
size_t FormatShortDecimal(double value, char16_t* out) {
    const double a = std::fabs(value);
    if (!(a >= 1e-4 && a < 1e14))
        return 0;
    const int k = SmallestWholeScale(a);
    if (k < 0)
        return 0;
    const auto whole = static_cast<uint64_t>(a * kPowersOfTen[k]);
    // Sixteen digits with leading zeros, and room after them: pieces are copied sixteen units
    // at a time, whatever their length, because loops that end at a different place for every
    // cell mispredict their ends.
    char16_t digits[40] = {};
    EightDigits(static_cast<uint32_t>(whole / 100000000), digits);
    EightDigits(static_cast<uint32_t>(whole % 100000000), digits + 8);
    const int count = DigitCount(whole);
    const char16_t* first = digits + 16 - count;
    // The last k digits are the fraction; its trailing zeros are not written.
    int fraction = k;
    while (fraction > 0 && digits[15 - (k - fraction)] == u'0')
        --fraction;
    char16_t* p = out;
    *p = u'-';
    p += value < 0 ? 1 : 0;
    constexpr size_t kPiece = 16 * sizeof(char16_t);
    if (count <= k) {
        static constexpr char16_t kZeros[16] = {u'0', u'0', u'0', u'0', u'0', u'0', u'0', u'0',
                                                u'0', u'0', u'0', u'0', u'0', u'0', u'0', u'0'};
        p[0] = u'0';
        p[1] = u'.';
        std::memcpy(p + 2, kZeros, kPiece);
        p += 2 + (k - count);
        std::memcpy(p, first, kPiece);
        p += count - (k - fraction);
    } else {
        std::memcpy(p, first, kPiece);
        p += count - k;
        *p = u'.';
        p += fraction > 0 ? 1 : 0;
        std::memcpy(p, digits + 16 - k, kPiece);
        p += fraction;
    }
    *p = 0;
    return static_cast<size_t>(p - out);
}

}  // namespace

size_t FormatNumber14G(double value, char16_t* out) {
    if (const size_t n = FormatShortDecimal(value, out))
        return n;
    char buf[40];
    size_t n;
    if (std::isnan(value)) {
        std::memcpy(buf, "NAN", 3);
        n = 3;
    } else if (std::isinf(value)) {
        n = value < 0 ? 4 : 3;
        std::memcpy(buf, value < 0 ? "-INF" : "INF", n);
    } else {
        // to_chars with a precision is printf's %.14g; only the exponent's form differs.
        auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 14);
        n = static_cast<size_t>(r.ptr - buf);
        // The exponent, if any, comes after at least one digit; a loop beats a call here.
        char* e = nullptr;
        for (size_t i = 1; i < n; ++i)
            if (buf[i] == 'e') {
                e = buf + i;
                break;
            }
        if (e) {
            *e = 'E';
            char* digits = e + 2;  // after the sign
            const size_t have = static_cast<size_t>(buf + n - digits);
            if (have < 3) {
                const size_t pad = 3 - have;
                std::memmove(digits + pad, digits, have);
                std::memset(digits, '0', pad);
                n += pad;
            }
        }
    }
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(buf[i]);
    out[n] = 0;
    return n;
}

}  // namespace dornel
