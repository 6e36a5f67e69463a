// Number text as the Windows runtime writes "%.14lG".
#include "export/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace dornel {

namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                   1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

/// The common case, a short decimal between 1E-4 and 1E+14: the value times 10^k, rounded,
/// is a whole number t of at most 14 digits. Then t / 10^k is what rounding the value to 14
/// digits gives: the value lies within a rounding step of the product (about 1E-16 of it),
/// far inside half a step of the 14th digit, and t / 10^k lies on the 14-digit grid. Such a
/// decimal is written without an exponent. False for anything else.
bool FormatShortDecimal(double value, char* out, size_t& n) {
    const double a = std::fabs(value);
    if (!(a >= 1e-4 && a < 1e14))
        return false;
    for (int k = 0; k < 18; ++k) {
        const double t = a * kPowersOfTen[k];
        if (t >= 1e14)
            return false;
        const auto whole = static_cast<int64_t>(t);
        if (static_cast<double>(whole) != t)
            continue;
        char digits[20];
        int count = 0;
        for (int64_t rest = whole; rest > 0; rest /= 10)
            digits[count++] = static_cast<char>('0' + rest % 10);
        // digits holds the number backwards; the point goes k places from its end.
        int fraction = k;
        int skip = 0;
        while (fraction > 0 && digits[skip] == '0')
            ++skip, --fraction;
        char* p = out;
        if (value < 0)
            *p++ = '-';
        if (count <= k) {
            *p++ = '0';
            *p++ = '.';
            for (int i = count; i < k; ++i)
                *p++ = '0';
            for (int i = count - 1; i >= skip; --i)
                *p++ = digits[i];
        } else {
            for (int i = count - 1; i >= k; --i)
                *p++ = digits[i];
            if (fraction > 0) {
                *p++ = '.';
                for (int i = k - 1; i >= skip; --i)
                    *p++ = digits[i];
            }
        }
        n = static_cast<size_t>(p - out);
        return true;
    }
    return false;
}

}  // namespace

size_t FormatNumber14G(double value, char16_t* out) {
    char buf[40];
    size_t n;
    if (std::isnan(value)) {
        std::memcpy(buf, "NAN", 3);
        n = 3;
    } else if (std::isinf(value)) {
        n = value < 0 ? 4 : 3;
        std::memcpy(buf, value < 0 ? "-INF" : "INF", n);
    } else if (!FormatShortDecimal(value, buf, n)) {
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
