// UTF-16 and UTF-32 without a byte-order mark, told by the shape of their bytes.
#include "host/brisko/EncodingDetection.h"
#include "host/brisko/File.h"

#include <cstring>

namespace brisko {

namespace {

/// A character that a text file holds: no NUL, no control but tab, line feed, form feed and
/// carriage return, no C1 control and no non-character U+FFFE or U+FFFF. Binary data read in
/// pairs or fours of bytes soon gives one that is not.
bool TextCharacter(uint32_t c) {
    if (c < 0x20)
        return c == '\t' || c == '\n' || c == '\r' || c == '\f';
    if (c >= 0x7F && c <= 0x9F)
        return false;
    return c != 0xFFFE && c != 0xFFFF;
}

/// Text of any script in UTF-16 holds some characters below U+0100 (spaces, digits,
/// delimiters, line ends), whose high byte is zero, and its low bytes are seldom zero (only
/// characters such as U+0100 or U+0400 have one). 8-bit and UTF-8 text has no zero byte at all.
/// So the units must all be characters of text, surrogates in pairs, at least one unit in a
/// hundred must have a zero high byte, and zero high bytes must outnumber zero low bytes.
bool LooksLikeUtf16(const uint8_t* data, size_t size, bool bigEndian, bool complete) {
    const size_t units = size / 2;
    if (units < 2 || (complete && size % 2 != 0))
        return false;
    const size_t high = bigEndian ? 0 : 1;
    size_t highZeros = 0, lowZeros = 0;
    for (size_t i = 0; i < units; ++i) {
        const uint8_t h = data[2 * i + high], l = data[2 * i + 1 - high];
        const uint32_t u = static_cast<uint32_t>(h) << 8 | l;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 == units) {
                if (complete)
                    return false;
                break;  // the pair is cut by the end of the sample
            }
            const uint32_t next =
                static_cast<uint32_t>(data[2 * i + 2 + high]) << 8 | data[2 * i + 3 - high];
            if (next < 0xDC00 || next > 0xDFFF)
                return false;
            ++i;
            continue;
        }
        if ((u >= 0xDC00 && u <= 0xDFFF) || !TextCharacter(u))
            return false;
        highZeros += h == 0;
        lowZeros += l == 0;
    }
    return highZeros > 0 && highZeros * 100 >= units && highZeros > lowZeros;
}

/// UTF-32: every four bytes a character of text, never a surrogate, and in the planes that hold
/// characters (up to U+3FFFF, and the tags and variation selectors of U+E0000 on): other text
/// read in fours gives values that are no character.
bool LooksLikeUtf32(const uint8_t* data, size_t size, bool bigEndian, bool complete) {
    const size_t count = size / 4;
    if (count < 1 || (complete && size % 4 != 0))
        return false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* q = data + 4 * i;
        const uint32_t c = bigEndian ? (uint32_t(q[0]) << 24 | q[1] << 16 | q[2] << 8 | q[3])
                                     : (uint32_t(q[3]) << 24 | q[2] << 16 | q[1] << 8 | q[0]);
        if ((c > 0x3FFFF && !(c >= 0xE0000 && c <= 0xE0FFF)) || (c >= 0xD800 && c <= 0xDFFF) ||
            !TextCharacter(c))
            return false;
    }
    return true;
}

}  // namespace

int UnmarkedUnicodeForm(const uint8_t* data, size_t size, bool complete) {
    // Both forms have zero bytes, which the common case, 8-bit or UTF-8 text, lacks.
    if (std::memchr(data, 0, size) == nullptr)
        return FORM_8BIT;
    // UTF-32 first: its text read in pairs gives U+0000, which no UTF-16 text has.
    if (LooksLikeUtf32(data, size, false, complete))
        return FORM_UTF32LE;
    if (LooksLikeUtf32(data, size, true, complete))
        return FORM_UTF32BE;
    if (LooksLikeUtf16(data, size, false, complete))
        return FORM_UTF16LE;
    if (LooksLikeUtf16(data, size, true, complete))
        return FORM_UTF16BE;
    return FORM_8BIT;
}

bool LooksLikeUtf16Le(const uint8_t* data, size_t size) {
    return LooksLikeUtf16(data, size, false, false);
}

bool LooksLikeUtf16Be(const uint8_t* data, size_t size) {
    return LooksLikeUtf16(data, size, true, false);
}

}  // namespace brisko
