// Runtime text functions the plug-in relies on, the same on every build.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dornel {

/// What the runtime's isspace reports for a UTF-16 unit: space, tab, LF, VT, FF, CR.
inline bool IsSpace16(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

/// The rest of WideToDouble: any number of digits and any exponent, through the standard
/// reader (Runtime.cpp). Apart, so that the common case needs no stack frame. p is past the
/// white space.
double WideToDoubleInGeneral(const char16_t* p);

/// _wtof: the leading decimal number of the text ('.' as decimal point), 0 when there is none.
/// Reads leading white space, an optional sign, digits with an optional '.', an optional
/// exponent; ignores whatever follows. Overflow gives infinity, underflow 0, as strtod does.

inline double WideToDouble(const char16_t* p) {
    while (IsSpace16(*p))
        ++p;
    {
        // Most numbers in data have few digits and a small exponent: then the digits as a whole
        // number and one exact power of ten give the correctly rounded value with one
        // multiplication or division (Clinger's fast path), without building a text for the
        // general reader.
        static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const char16_t* q = p;
        const bool negative = *q == u'-';
        if (*q == u'+' || *q == u'-')
            ++q;
        // The digit's value as unsigned: anything below '0' wraps past 9.
        const auto digit = [](char16_t c) { return static_cast<unsigned>(c) - u'0'; };
        // Leading zeros count as digits but not as significant ones; neither do the zeros
        // right after the point of a number below one, which only move the point.
        const char16_t* first = q;
        while (*q == u'0')
            ++q;
        const char16_t* start = q;
        uint64_t mantissa = 0;
        for (unsigned d; (d = digit(*q)) <= 9; ++q)
            mantissa = mantissa * 10 + d;
        int significant = static_cast<int>(q - start);
        int digits = static_cast<int>(q - first);
        int scale = 0;
        if (*q == u'.') {
            const char16_t* fraction = ++q;
            if (significant == 0)
                while (*q == u'0')
                    ++q;
            start = q;
            for (unsigned d; (d = digit(*q)) <= 9; ++q)
                mantissa = mantissa * 10 + d;
            significant += static_cast<int>(q - start);
            digits += static_cast<int>(q - fraction);
            scale = -static_cast<int>(q - fraction);
        }
        bool simple = digits > 0 && significant <= 15;
        if (simple && (*q == u'e' || *q == u'E')) {
            const char16_t* r = q + 1;
            const bool expNegative = *r == u'-';
            if (*r == u'+' || *r == u'-')
                ++r;
            if (*r >= u'0' && *r <= u'9') {
                int e = 0;
                for (; *r >= u'0' && *r <= u'9'; ++r)
                    if (e < 1000)
                        e = e * 10 + (*r - u'0');
                // A longer exponent is left to the general reader.
                simple = e < 1000;
                scale += expNegative ? -e : e;
                q = r;
            }
        }
        if (simple && scale >= -22 && scale <= 22) {
            const double m = static_cast<double>(mantissa);
            const double v = scale >= 0 ? m * kPowers[scale] : m / kPowers[-scale];
            return negative ? -v : v;
        }
    }
    return WideToDoubleInGeneral(p);
}

/// Lower-cases ASCII letters; other bytes stay.
inline char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

/// Case-blind comparison of two 8-bit texts (ASCII letters), as the multibyte comparison does.
inline int CompareNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const unsigned char ca = static_cast<unsigned char>(LowerAscii(*a));
        const unsigned char cb = static_cast<unsigned char>(LowerAscii(*b));
        if (ca != cb || ca == 0)
            return ca < cb ? -1 : (ca > cb ? 1 : 0);
    }
}

}  // namespace dornel
