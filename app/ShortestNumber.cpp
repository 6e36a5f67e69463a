// Numbers as the shortest text that reads back to the same double.
#include "ShortestNumber.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <system_error>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "EightDigits.h"

namespace dornel::app {

namespace {

/// The fifteen digits of n (from 10^14 to below 10^15) at out[1] to out[15], and how many of
/// them at the end are zeros.
inline int FifteenDigits(uint64_t n, char* out) {
#if defined(__SSE2__)
    // Each quarter of n (four digits) fills four lanes with four times itself; two high
    // multiplications make them n / 1000, n / 100, n / 10 and n, and each lane less ten times
    // the lane before it is one digit. No loop: one that ends at a different place for every
    // number mispredicts its end.
    const auto lanes = [](uint32_t eight) {
        const __m128i x = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<short>(eight / 10000 * 4)),
                                             _mm_set1_epi16(static_cast<short>(eight % 10000 * 4)));
        const __m128i divisors =
            _mm_setr_epi16(8389, 5243, 13108, -32768, 8389, 5243, 13108, -32768);
        const __m128i scales =
            _mm_setr_epi16(1 << 7, 1 << 11, 1 << 13, -32768, 1 << 7, 1 << 11, 1 << 13, -32768);
        const __m128i q = _mm_mulhi_epu16(_mm_mulhi_epu16(x, divisors), scales);
        return _mm_sub_epi16(q, _mm_slli_epi64(_mm_mullo_epi16(q, _mm_set1_epi16(10)), 16));
    };
    const __m128i digits =
        _mm_add_epi8(_mm_packus_epi16(lanes(static_cast<uint32_t>(n / 100000000)),
                                      lanes(static_cast<uint32_t>(n % 100000000))),
                     _mm_set1_epi8('0'));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), digits);
    // A bit a digit, the last highest: the leading ones are the trailing zeros.
    const auto zeros =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(digits, _mm_set1_epi8('0'))));
    return std::countl_one(zeros << 16);
#else
    for (int i = 15; i >= 0; --i, n /= 10)
        out[i] = static_cast<char>('0' + n % 10);
    int zeros = 0;
    while (out[15 - zeros] == '0')
        ++zeros;
    return zeros;
#endif
}

constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                              1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};

/// A number with a fraction, of at least 1e-5 and below 1e15, rounded to 15 digits: the value
/// times 10^scale, rounded, is the whole number digits of 15 digits, with e the value's decimal
/// exponent and scale 14 - e. False where that fails (an exponent found one too high puts the
/// product below 1E+14, the rounding may carry to 16 digits) and a general writer must decide.
struct Decimal15 {
    int64_t digits;
    int scale;
};

inline bool RoundToFifteenDigits(double a, Decimal15& d) {
    static constexpr double kDecades[] = {1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1,
                                          1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                          1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr int kFirstDecade = -6;
    // Whole by a round trip through an integer, which the range allows: floor is a call.
    if (!(a >= 1e-5 && a < 1e15) || a == static_cast<double>(static_cast<int64_t>(a)))
        return false;
    // log10(2) is about 78913/2^18; the estimate is the exponent or one below it.
    const int binary = static_cast<int>(std::bit_cast<uint64_t>(a) >> 52) - 1023;
    const int guess = (binary * 78913) >> 18;
    const int e = guess + (a >= kDecades[guess + 1 - kFirstDecade] ? 1 : 0);
    d.scale = 14 - e;
    const double y = a * kPowers[d.scale];
    d.digits = static_cast<int64_t>(y + 0.5);
    return y >= 1e14 && d.digits < 1000000000000000;
}

/// How the decimal d reads without its trailing zeros (zeros of its fifteen digits) and without
/// an exponent: its digits, those after the point, those before it, and its length unsigned.
/// At least one digit after the point, as the value is not whole.
struct FixedForm {
    int total, k, whole, length;
    /// True when the exponent form is the longer, or as long.
    bool Shortest() const {
        const int exponent = total - k - 1;
        return length <= 1 + (total > 1 ? total : 0) + 2 + (exponent <= -100 ? 3 : 2);
    }
};

inline FixedForm FixedFormOf(Decimal15 d, int zeros) {
    FixedForm f;
    f.total = 15 - zeros;
    f.k = d.scale - zeros;
    f.whole = f.total > f.k ? f.total - f.k : 0;
    f.length = (f.whole > 0 ? f.whole : 1) + 1 + f.k;
    return f;
}

/// How many zeros end n (not zero), without writing its digits: a halving search of divisions
/// by constants, which become multiplications, and no branch on the data.
inline int TrailingZeros(uint64_t n) {
    int zeros = 0;
    const auto strip = [&](uint64_t power, int count) {
        const bool divides = n % power == 0;
        n = divides ? n / power : n;
        zeros += divides ? count : 0;
    };
    strip(100000000, 8);
    strip(10000, 4);
    strip(100, 2);
    strip(10, 1);
    return zeros;
}

/// Writes at out (room for kNumberRoom bytes) the decimal d, negative or not, without its
/// trailing zeros and without an exponent, and returns its end; null where the exponent form
/// is shorter and that is wanted.
char* WriteFixed(char* out, bool negative, Decimal15 d, bool unlessExponentShorter) {
    // Room after the digits: pieces are copied sixteen bytes at a time, whatever their length.
    char buffer[40] = {};
    const int zeros = FifteenDigits(static_cast<uint64_t>(d.digits), buffer);
    const char* const digits = buffer + 1;
    const FixedForm form = FixedFormOf(d, zeros);
    const int total = form.total, k = form.k, whole = form.whole;
    if (unlessExponentShorter && !form.Shortest())
        return nullptr;
    char* p = out;
    *p = '-';
    p += negative ? 1 : 0;
    constexpr size_t kPiece = 16;
    if (whole > 0) {
        std::memcpy(p, digits, kPiece);
        p += whole;
        *p++ = '.';
        std::memcpy(p, digits + whole, kPiece);
        p += k;
    } else {
        *p++ = '0';
        *p++ = '.';
        std::memset(p, '0', kPiece);
        p += k - total;
        std::memcpy(p, digits, kPiece);
        p += total;
    }
    return p;
}

/// Writes at out (room for kNumberRoom bytes) the shortest text of a number with a fraction and at
/// most 15 digits, in the form the general writer gives it, and returns its end; null where that
/// writer must decide. The value rounded to 15 digits, t / 10^scale, has both operands exact, so
/// the quotient is the double that decimal reads as. Decimals of 15 digits lie at least 1E-15 of
/// the value apart, more than a double's step, so at most one of them reads back: if t does, it is
/// the value rounded to 15 digits, and that with its trailing zeros dropped is the shortest text,
/// since any shorter decimal that reads back would be that rounding too. The general writer takes
/// the exponent form where it is shorter.
inline bool ShortDecimal(double a, Decimal15& d) {
    return RoundToFifteenDigits(a, d) && static_cast<double>(d.digits) / kPowers[d.scale] == a;
}

char* WriteShortDecimal(char* out, double value) {
    Decimal15 d;
    if (!ShortDecimal(std::fabs(value), d))
        return nullptr;
    return WriteFixed(out, value < 0, d, true);
}

/// The powers of ten a whole number of 64 bits can hold.
constexpr uint64_t kPowersOfTen[] = {1,
                                     10,
                                     100,
                                     1000,
                                     10000,
                                     100000,
                                     1000000,
                                     10000000,
                                     100000000,
                                     1000000000,
                                     10000000000,
                                     100000000000,
                                     1000000000000,
                                     10000000000000,
                                     100000000000000,
                                     1000000000000000,
                                     10000000000000000,
                                     100000000000000000,
                                     1000000000000000000,
                                     10000000000000000000u};

/// How far from a a decimal may lie, as a share of the half gap to a's neighbour on its side, and
/// still be the JSON writer's digits: 63/64, the share over 2^kInsideShift. That writer scales
/// the boundaries of the doubles that read back as a into a word, by a power of ten that is
/// itself rounded; there the half gaps are at least 2^8 units (2^9, and 2^8 below a power of
/// two). The scaled boundaries are off by less than two units (the power's rounding and the
/// product's), and it narrows them by one unit more each side. So a decimal within 253/256 of
/// the half gap lies inside the narrowed interval, where that writer finds the shortest decimal
/// there is, which is this one. 63/64 leaves a unit to spare; the first decimals that writer
/// misses lie past 0.998.
constexpr uint64_t kInsideShare = 63;
constexpr int kInsideShift = 6;

/// True when the decimal d lies well inside the interval of the doubles that read back as a
/// (not whole, from 1e-4 on), by kInsideShare. Reckoned exactly: with a = m * 2^-shift and
/// P = 10^scale, d - a is (digits * 2^shift - m * P) / (P * 2^shift), and the half gaps are
/// P / 2 above and below, P / 4 below a power of two, in the same units.
bool WellInside(double a, Decimal15 d) {
#if defined(__SIZEOF_INT128__)
    using Wide = unsigned __int128;
    constexpr uint64_t kFraction = (uint64_t{1} << 52) - 1;
    const auto bits = std::bit_cast<uint64_t>(a);
    // From 1e-4 to 1e15 and not whole: a shift of 3 to 66, a scale of 0 to 18; no product
    // passes 2^124; the distance, at most half a unit of the fifteenth digit and so
    // below 2^66, shifted by 8 stays below 2^74.
    const int shift = 1075 - static_cast<int>(bits >> 52);
    const uint64_t m = (bits & kFraction) | (kFraction + 1);
    const uint64_t power = kPowersOfTen[d.scale];
    const Wide decimal = static_cast<Wide>(d.digits) << shift;
    const Wide value = static_cast<Wide>(m) * power;
    const bool below = decimal < value;
    const Wide distance = below ? value - decimal : decimal - value;
    // distance <= share * P / 2 (P / 4 below a power of two), without a division.
    const int gapShift = kInsideShift + (below && (bits & kFraction) == 0 ? 2 : 1);
    return distance << gapShift <= static_cast<Wide>(power) * kInsideShare;
#else
    static_cast<void>(a);
    static_cast<void>(d);
    return false;
#endif
}

/// WellInside for eight digits that read back as a (not whole, from 1e-4 on), the decimal
/// d.digits / 10^(7 - d.exponent): their distance from a is then at most a half gap, P / 2 in
/// the units WellInside reckons in, far below 2^63. So the difference of the two products is
/// exact modulo 2^64, however large they are, and one word holds each.
inline bool EightDigitsWellInside(double a, const EightDigits& d) {
    constexpr uint64_t kFraction = (uint64_t{1} << 52) - 1;
    const auto bits = std::bit_cast<uint64_t>(a);
    // From 1e-4 to 2^26: a shift of 27 to 66, a power of ten up to 10^11.
    const int shift = 1075 - static_cast<int>(bits >> 52);
    const uint64_t m = (bits & kFraction) | (kFraction + 1);
    const uint64_t power = kPowersOfTen[7 - d.exponent];
    const uint64_t decimal = shift < 64 ? uint64_t{d.digits} << shift : 0;
    const auto difference = static_cast<int64_t>(decimal - m * power);
    const bool below = difference < 0;
    const uint64_t distance =
        below ? 0 - static_cast<uint64_t>(difference) : static_cast<uint64_t>(difference);
    // The same bound as WellInside's, rounded down.
    const int gapShift = kInsideShift + (below && (bits & kFraction) == 0 ? 2 : 1);
    return distance <= (kInsideShare * power) >> gapShift;
}

/// The digits of n, not zero.
inline int DigitCount(uint64_t n) {
    // The numbers of one bit length have one of two counts of digits: 1233/4096, about log10(2),
    // finds the power of ten they may reach, and one comparison with it decides.
    const int guess = (static_cast<int>(std::bit_width(n)) * 1233) >> 12;
    return guess + 1 - (n < kPowersOfTen[guess] ? 1 : 0);
}

/// True when the general writer gives a whole number (not zero, below 1e15) as its digits: always
/// when it does not end in 0, since its exponent form is then longer, and otherwise when that form
/// (one digit, a point and the rest of the significant digits, and e+ with two digits) is no
/// shorter: a tie goes to the digits.
inline bool WholeAsDigits(int64_t whole, int& digits) {
    const auto magnitude = static_cast<uint64_t>(whole < 0 ? -whole : whole);
    digits = DigitCount(magnitude);
    if (whole % 10 != 0)
        return true;
    const int significant = digits - TrailingZeros(magnitude);
    return digits <= (significant == 1 ? 1 : significant + 1) + 4;
}

/// The numbers the quick road of eight digits leaves, out of line: the usual one needs no stack
/// frame for them.
[[gnu::noinline]] char* WriteOtherNumber(char* out, double value) {
    // Whole numbers below 1e15 as the general writer writes them: zero by its sign, the others by
    // their digits where the exponent form is no shorter.
    if (std::fabs(value) < 1e15) {
        const auto whole = static_cast<int64_t>(value);
        if (static_cast<double>(whole) == value) {
            int digits;
            if (whole != 0 && WholeAsDigits(whole, digits))
                return std::to_chars(out, out + kNumberRoom, whole).ptr;
            if (whole == 0)
                return std::signbit(value) ? std::copy_n("-0", 2, out) : std::copy_n("0", 1, out);
        }
    }
    if (char* const end = WriteShortDecimal(out, value))
        return end;
    if (std::isnan(value))
        return std::copy_n("NaN", 3, out);
    if (std::isinf(value))
        return value > 0 ? std::copy_n("Infinity", 8, out) : std::copy_n("-Infinity", 9, out);
    // Past 2^53 a double holds only some whole numbers: all the digits of the one it holds would
    // look exact, and are not what the file said.
    if (std::fabs(value) > 9007199254740992.0)
        return std::to_chars(out, out + kNumberRoom, value, std::chars_format::scientific).ptr;
    return std::to_chars(out, out + kNumberRoom, value).ptr;
}

/// The JSON numbers the quick road of eight digits leaves, out of line: the usual one needs no
/// stack frame for them.
[[gnu::noinline]] char* WriteOtherJsonNumber(char* out, double value) {
    const double a = std::fabs(value);
    if (a < 1e15) {
        // A whole number: its digits, and a fraction of zero to show it is not an integer.
        const auto whole = static_cast<int64_t>(value);
        if (static_cast<double>(whole) == value) {
            *out = '-';
            out += whole == 0 && std::signbit(value) ? 1 : 0;
            out = std::to_chars(out, out + kNumberRoom, whole).ptr;
            return std::copy_n(".0", 2, out);
        }
        Decimal15 d;
        if (a >= 1e-4 && RoundToFifteenDigits(a, d) && WellInside(a, d))
            return WriteFixed(out, value < 0, d, false);
    }
    if (std::isnan(value))
        return std::copy_n("\"NaN\"", 5, out);
    if (std::isinf(value))
        return value > 0 ? std::copy_n("\"Infinity\"", 10, out)
                         : std::copy_n("\"-Infinity\"", 11, out);
    return nlohmann::detail::to_chars(out, out + kNumberRoom, value);
}

}  // namespace

/// Writes at out (room for kNumberRoom bytes) the shortest text that reads back as value, NaN
/// and the infinities by name, and returns its end.
char* WriteShortestNumber(char* out, double value) {
    EightDigits d;
    if (FindEightDigits(value, d)) [[likely]]
        return WriteEightDigits(out, d);
    return WriteOtherNumber(out, value);
}

char* WriteJsonNumber(char* out, double value) {
    // The usual numbers, from 1e-4 on, without an exponent: a whole one with a fraction of zero
    // to show it is not an integer.
    if (EightDigits d; FindEightDigits(value, d) && d.exponent >= -4) [[likely]] {
        char* p = out;
        *p = '-';
        p += d.negative ? 1 : 0;
        if (d.exponent >= 0 && d.count <= d.exponent + 1)
            return std::copy_n(".0", 2, WriteEightDigitsWhole(p, d));
        if (EightDigitsWellInside(std::fabs(value), d))
            return d.exponent >= 0 ? WriteEightDigitsFraction(p, d)
                                   : WriteEightDigitsBelowOne(p, d);
    }
    return WriteOtherJsonNumber(out, value);
}

size_t ShortestNumberLength(double value) {
    EightDigits eight;
    if (FindEightDigits(value, eight)) [[likely]]
        return EightDigitsLength(eight);
    // The forms most numbers take, measured as WriteShortestNumber chooses them; the rest are
    // written to be measured.
    if (std::fabs(value) < 1e15) {
        const auto whole = static_cast<int64_t>(value);
        if (static_cast<double>(whole) == value) {
            int digits;
            if (whole != 0 && WholeAsDigits(whole, digits))
                return static_cast<size_t>(digits) + (whole < 0 ? 1 : 0);
            if (whole == 0)
                return std::signbit(value) ? 2 : 1;
        }
    }
    Decimal15 d;
    if (ShortDecimal(std::fabs(value), d)) {
        const FixedForm form = FixedFormOf(d, TrailingZeros(static_cast<uint64_t>(d.digits)));
        if (form.Shortest())
            return static_cast<size_t>(form.length) + (value < 0 ? 1 : 0);
    }
    char text[kNumberRoom];
    return static_cast<size_t>(WriteOtherNumber(text, value) - text);
}

std::string ShortestNumber(double value) {
    char text[kNumberRoom];
    return std::string(text, WriteShortestNumber(text, value));
}

}  // namespace dornel::app
