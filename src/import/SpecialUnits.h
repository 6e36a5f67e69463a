// The units that end a run of ordinary ones (delimiters, qualifiers, line ends), found eight
// units of text at a time.
#pragma once

#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dornel {

/// The units whose class is not ordinary, when there are at most eight of them, each repeated
/// across eight lanes for the search; the list is padded with its first unit.
struct SpecialUnits {
    alignas(16) char16_t lanes[8][8] = {};
    int count = -1;  ///< how many units lanes lists, -1 when there are more
};

/// Compares eight units of text with every special unit at once: the reader's search for the end
/// of an ordinary run and the block splitter's masks both ask it. Made where it is used, so that
/// the lanes stay in registers. Without SSE2 there is no such search, and it holds nothing.
class SpecialUnitMatcher {
  public:
#if defined(__SSE2__)
    explicit SpecialUnitMatcher(const SpecialUnits& units) : eight_(units.count > 4) {
        for (int k = 0; k < 8; ++k)
            lanes_[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(units.lanes[k]));
    }

    /// All ones in each lane whose unit is special.
    [[gnu::always_inline]] __m128i Hits(__m128i units) const {
        // The list is padded with its first unit, so four or eight comparisons cover it.
        __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(units, lanes_[0]), _mm_cmpeq_epi16(units, lanes_[1])),
            _mm_or_si128(_mm_cmpeq_epi16(units, lanes_[2]), _mm_cmpeq_epi16(units, lanes_[3])));
        if (eight_) [[unlikely]]
            hit = _mm_or_si128(hit, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, lanes_[4]),
                                                              _mm_cmpeq_epi16(units, lanes_[5])),
                                                 _mm_or_si128(_mm_cmpeq_epi16(units, lanes_[6]),
                                                              _mm_cmpeq_epi16(units, lanes_[7]))));
        return hit;
    }

  private:
    __m128i lanes_[8];
    bool eight_;
#else
    explicit SpecialUnitMatcher(const SpecialUnits&) {}
#endif
};

}  // namespace dornel
