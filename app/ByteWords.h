// The bytes of a text eight at a time, as a word: the views copy most texts as they are, and
// look at each byte only where a word holds one that needs a second look.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dornel::app {

/// Whether a word loaded from bytes has the first of them lowest, as the flags below assume.
inline constexpr bool kLowByteFirst = std::endian::native == std::endian::little;

inline uint64_t LoadWord(const void* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline void StoreWord(void* p, uint64_t w) {
    std::memcpy(p, &w, sizeof w);
}

inline constexpr uint64_t kEachByte = 0x0101'0101'0101'0101;
inline constexpr uint64_t kHighBits = 0x8080'8080'8080'8080;

// The flags set the high bit of each byte of a word that is c, or below c. The subtraction
// that finds one such byte may borrow from the byte above it and flag that one too, but never
// a byte below: the lowest flag is exact, and a word has a flag only if it has such a byte.

inline uint64_t BytesEqualTo(uint64_t w, unsigned char c) {
    const uint64_t x = w ^ (kEachByte * c);
    return (x - kEachByte) & ~x & kHighBits;
}

/// c at most 0x80.
inline uint64_t BytesBelow(uint64_t w, unsigned char c) {
    return (w - kEachByte * c) & ~w & kHighBits;
}

/// The bytes before the lowest flag, with the first byte lowest.
inline int BytesBeforeFlag(uint64_t flags) {
    return std::countr_zero(flags) / 8;
}

}  // namespace dornel::app
