// Number text as the Windows runtime writes "%.14lG".
#include "export/NumberText.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dornel {

namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                   1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

/// The four digits of each number below 10^4 as the bytes of a word, the first lowest.
constexpr auto kFourDigits = [] {
    std::array<uint32_t, 10000> t{};
    for (uint32_t n = 0; n < 10000; ++n)
        t[n] = n / 1000 | (n / 100 % 10) << 8 | (n / 10 % 10) << 16 | (n % 10) << 24;
    return t;
}();

/// The eight decimal digits of n (below 10^8, with leading zeros) as the bytes of a word, the
/// first digit lowest, each from 0 to 9. Digits in a register, not in memory: text read back
/// from a buffer a moment after its digits were stored there, at an offset of its own, waited
/// for the stores to reach the cache. Two loads from a table of four-digit groups: splitting the
/// digits by multiplications took some twenty instructions.
inline uint64_t EightDigits(uint32_t n) {
    return kFourDigits[n / 10000] | uint64_t{kFourDigits[n % 10000]} << 32;
}

constexpr uint64_t kAsciiZeros = 0x3030303030303030u;

/// The bytes of word (the first lowest) from the byte at skip on, skip from 0 to 7, and those of
/// next after them.
inline uint64_t BytesFrom(uint64_t word, uint64_t next, int skip) {
    // In two steps, so that no shift is by 64.
    return word >> (8 * skip) | (next << 1) << (63 - 8 * skip);
}

/// Stores the eight bytes of word, the first lowest.
inline void Put8(char* out, uint64_t word) {
    std::memcpy(out, &word, 8);
}

/// A whole number from 1 to below 1E+14 and its sign; returns the length.
size_t FormatWhole(bool negative, uint64_t n, char* out) {
    char* p = out;
    *p = '-';
    p += negative ? 1 : 0;
    const uint64_t low = EightDigits(static_cast<uint32_t>(n % 100000000));
    if (n < 100000000) {
        // n is not zero, so neither is some digit.
        const int leading = std::countr_zero(low) / 8;
        Put8(p, (low >> (8 * leading)) + kAsciiZeros);
        p += 8 - leading;
    } else {
        const uint64_t high = EightDigits(static_cast<uint32_t>(n / 100000000));
        const int leading = std::countr_zero(high) / 8;
        Put8(p, BytesFrom(high, low, leading) + kAsciiZeros);
        Put8(p + 8, (low >> (8 * leading)) + kAsciiZeros);
        p += 16 - leading;
    }
    *p = 0;
    return static_cast<size_t>(p - out);
}

/// The powers of ten from 1E-5 to 1E+15, for finding a value's decimal exponent.
constexpr double kDecades[] = {1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3,  1e4, 1e5,
                               1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr int kFirstDecade = -5;

/// A value between 1E-4 and 1E+14 rounded to 14 significant digits in one multiplication, the
/// common case. With e its decimal exponent, the value times 10^(13-e) lies in [1E+13, 1E+14),
/// below 2^47, and the product is exact but for half a step of 2^-6. The power of ten is exact.
/// When the rounded product t lies within 0.49 of it, the exact value lies within 0.5 of t, so
/// that t is the value's 14-digit rounding, whatever the rounding of halves; farther from t
/// (a half to within 0.01), the general path decides. An exponent found one too high puts the
/// product just below 1E+13 and the general path takes it; a product within a step below 1E+13
/// rounds to 1E+13, which is what the 14-digit rounding one place further gives. Such a value is
/// written without an exponent. Returns the length, or 0 for anything else.
[[gnu::always_inline]] inline size_t FormatFourteenDigits(double value, char* out) {
    const double a = std::fabs(value);
    if (!(a >= 1e-4 && a < 1e14))
        return 0;
    // A whole number, the most common value in data, is its digits: below 1E+14 it has at
    // most 14 of them, so none is rounded away, and no exponent is needed.
    if (const auto whole = static_cast<int64_t>(a); static_cast<double>(whole) == a)
        return FormatWhole(value < 0, static_cast<uint64_t>(whole), out);
    // log10(2) is about 78913/2^18; the estimate is the exponent or one below it.
    const int binary = static_cast<int>(std::bit_cast<uint64_t>(a) >> 52) - 1023;
    const int guess = (binary * 78913) >> 18;
    const int e = guess + (a >= kDecades[guess + 1 - kFirstDecade] ? 1 : 0);
    const double y = a * kPowersOfTen[13 - e];
    const auto t = static_cast<int64_t>(y + 0.5);
    const double off = y - static_cast<double>(t);
    if (!(y >= 1e13 && t < 100000000000000 && off <= 0.49 && off >= -0.49))
        return 0;
    char* p = out;
    *p = '-';
    p += value < 0 ? 1 : 0;
    // Digits as bytes from 0 to 9 in words, the first digit lowest, kept in registers as
    // EightDigits says why. The last digit is a word's highest byte, so zeros at the end are zero
    // bytes at the top. They go out eight bytes at a time, whatever their count: out holds 32
    // bytes, and what lies past the text is not part of it.
    const uint64_t head = static_cast<uint64_t>(t) / 1000000;
    const uint64_t rest = static_cast<uint64_t>(t) - head * 1000000;
    uint64_t first, last;
    int significant;
    if (rest == 0) [[likely]] {
        // At most eight significant digits, as most numbers in data have: one word of them.
        first = EightDigits(static_cast<uint32_t>(head));
        last = 0;
        significant = 8 - std::countl_zero(first) / 8;
    } else {
        // Eight digits in first, six in last; rest is not zero, and so neither is low.
        const uint64_t high = EightDigits(static_cast<uint32_t>(t / 100000000));  // 00dddddd
        const uint64_t low = EightDigits(static_cast<uint32_t>(t % 100000000));
        first = high >> 16 | low << 48;
        last = low >> 16;
        significant = 14 - std::countl_zero(low) / 8;
    }
    if (e < 0) {
        Put8(p, 0x3030303030302E30u);  // "0.000000"
        p += 2 + (-e - 1);
        Put8(p, first + kAsciiZeros);
        Put8(p + 8, last + kAsciiZeros);
        p += significant;
    } else {
        // The whole part is the first e + 1 digits; the fraction, if any, follows the point.
        const int whole = e + 1;
        const int fraction = significant - whole;
        Put8(p, first + kAsciiZeros);
        Put8(p + 8, last + kAsciiZeros);
        p += whole;
        *p = '.';
        const int skip = whole & 7;
        const uint64_t tail = last >> (8 * skip);
        const bool inFirst = whole < 8;
        Put8(p + 1, (inFirst ? BytesFrom(first, last, skip) : tail) + kAsciiZeros);
        Put8(p + 9, (inFirst ? tail : 0) + kAsciiZeros);
        p += fraction > 0 ? fraction + 1 : 0;
    }
    *p = 0;
    return static_cast<size_t>(p - out);
}

/// Any other value, printf's way. Out of line, so that the common case needs no room for it.
[[gnu::noinline]] size_t FormatGeneral(double value, char* out) {
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
    std::memcpy(out, buf, n);
    out[n] = 0;
    return n;
}

}  // namespace

size_t FormatNumber14G(double value, char16_t* out) {
    // Made in bytes and widened, terminator and all: the text is ASCII.
    char bytes[32];
    const size_t n = FormatNumber14G(value, bytes);
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (size_t i = 0; i <= n; i += 16) {
        const __m128i piece = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(piece, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(piece, zero));
    }
#else
    for (size_t i = 0; i <= n; ++i)
        out[i] = static_cast<unsigned char>(bytes[i]);
#endif
    return n;
}

size_t FormatNumber14G(double value, char* out) {
    if (const size_t n = FormatFourteenDigits(value, out)) [[likely]]
        return n;
    return FormatGeneral(value, out);
}

}  // namespace dornel
