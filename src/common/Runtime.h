// Runtime text functions the plug-in relies on, the same on every build.
#pragma once

namespace dornel {

/// What the runtime's isspace reports for a UTF-16 unit: space, tab, LF, VT, FF, CR.
inline bool IsSpace16(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
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
