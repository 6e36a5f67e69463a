// Number text as the Windows runtime writes "%.14lG".
#include "export/NumberText.h"

#include <array>
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

/// The decimal digits of whole, ending just before end; returns where they begin.
char16_t* DigitsBefore(uint64_t whole, char16_t* end) {
    while (whole >= 100) {
        const size_t pair = 2 * static_cast<size_t>(whole % 100);
        whole /= 100;
        *--end = kDigitPairs[pair + 1];
        *--end = kDigitPairs[pair];
    }
    if (whole >= 10) {
        *--end = kDigitPairs[2 * whole + 1];
        *--end = kDigitPairs[2 * whole];
    } else {
        *--end = static_cast<char16_t>(u'0' + whole);
    }
    return end;
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
    for (int k = 0; k < 18; ++k) {
        const double t = a * kPowersOfTen[k];
        if (t >= 1e14)
            return 0;
        const auto whole = static_cast<uint64_t>(t);
        if (static_cast<double>(whole) != t)
            continue;
        char16_t digits[20];
        char16_t* const end = digits + sizeof digits / sizeof digits[0];
        const char16_t* first = DigitsBefore(whole, end);
        const int count = static_cast<int>(end - first);
        // The last k digits are the fraction; its trailing zeros are not written.
        const char16_t* last = end;
        int fraction = k;
        while (fraction > 0 && last[-1] == u'0')
            --last, --fraction;
        char16_t* p = out;
        if (value < 0)
            *p++ = u'-';
        if (count <= k) {
            *p++ = u'0';
            *p++ = u'.';
            for (int i = count; i < k; ++i)
                *p++ = u'0';
        } else {
            const char16_t* point = end - k;
            while (first < point)
                *p++ = *first++;
            if (fraction > 0)
                *p++ = u'.';
        }
        while (first < last)
            *p++ = *first++;
        *p = 0;
        return static_cast<size_t>(p - out);
    }
    return 0;
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
