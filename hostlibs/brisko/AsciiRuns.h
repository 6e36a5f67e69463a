// Runs of plain ASCII between 8-bit text and UTF-16, many units at a time. Internal to brisko.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisko {

/// Widens the leading ASCII bytes of in to UTF-16, sixteen at a time where the processor
/// allows; returns how many it widened (a multiple of the step, up to size).
inline size_t WidenAscii(const uint8_t* in, size_t size, char16_t* out) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= size) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        if (_mm_movemask_epi8(bytes) != 0)
            return i;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(bytes, zero));
        i += 16;
    }
#endif
    while (i + 8 <= size) {
        uint64_t word;
        std::memcpy(&word, in + i, 8);
        if (word & 0x8080808080808080ull)
            return i;
        for (int k = 0; k < 8; ++k)
            out[i + k] = in[i + k];
        i += 8;
    }
    return i;
}

/// The index of the first byte above 0x7F in data, or size when there is none; many bytes at
/// a time, since it runs over every block of a file that is ASCII so far.
inline size_t FirstBeyondAscii(const uint8_t* data, size_t size) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 32 <= size; i += 32) {
        __m128i a, b;
        std::memcpy(&a, data + i, 16);
        std::memcpy(&b, data + i + 16, 16);
        if (_mm_movemask_epi8(_mm_or_si128(a, b)) != 0)
            break;
    }
#endif
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        if (word & 0x8080808080808080ull)
            break;
    }
    while (i < size && data[i] < 0x80)
        ++i;
    return i;
}

/// The index just after the last line feed before end, or 0 when there is none.
inline size_t LastLineStart(const uint8_t* data, size_t end) {
    while (end > 0 && data[end - 1] != '\n')
        --end;
    return end;
}

/// Narrows the leading units of in that are ASCII other than zero (1 to 0x7F) to bytes, eight
/// at a time where the processor allows; returns how many it narrowed (up to size).
inline size_t NarrowAscii(const char16_t* in, size_t size, char* out) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi16(0x7F);
    while (i + 8 <= size) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        // A unit is out when it is zero or, less 0x7F with saturation, not zero.
        const __m128i above = _mm_subs_epu16(units, top);
        const __m128i out8 =
            _mm_or_si128(_mm_cmpeq_epi16(units, zero),
                         _mm_andnot_si128(_mm_cmpeq_epi16(above, zero), _mm_set1_epi16(-1)));
        const int mask = _mm_movemask_epi8(out8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(units, units));
        if (mask != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
        i += 8;
    }
#endif
    for (; i < size && static_cast<unsigned>(in[i]) - 1 < 0x7F; ++i)
        out[i] = static_cast<char>(in[i]);
    return i;
}

}  // namespace brisko
