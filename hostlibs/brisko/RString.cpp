// The 8-bit string: formatting and conversions through code page 0.
#include "host/brisko/RString.h"

#include <cstdio>
#include <vector>

#include "host/brisko/CodePage.h"

#include "AsciiPages.h"
#include "AsciiRuns.h"

namespace brisko {

namespace {

std::string FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return std::string();
    if (static_cast<size_t>(n) < sizeof small)
        return std::string(small, static_cast<size_t>(n));
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<size_t>(n));
}

}  // namespace

const char* RString::FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    text_ = FormatV(format, args);
    va_end(args);
    return text_.c_str();
}

const char* RString::FormatStringV(const char* format, va_list args) {
    text_ = FormatV(format, args);
    return text_.c_str();
}

WString RString::ToWide() const {
    return DecodeCodePage(0, text_.data(), text_.size());
}

void RString::FromWide(const char16_t* text) {
    // Short plain ASCII, the usual text of a data file, is narrowed in one pass without a
    // converter: it is its own encoding in the usual pages.
    char ascii[128];
    size_t n = 0;
    // One comparison per unit: 1 to 0x7F, with the terminating zero wrapping past the range.
    for (; n < sizeof ascii && static_cast<unsigned>(text[n]) - 1 < 0x7F; ++n)
        ascii[n] = static_cast<char>(text[n]);
    if (text[n] == 0 && SystemPageKeepsAscii()) {
        text_.assign(ascii, n);
        return;
    }
    while (text[n])
        ++n;
    // Encoded in place: a string used again keeps its buffer.
    text_.clear();
    AppendEncoded(0, text, n, text_);
}

void RString::FromWide(const char16_t* text, size_t length) {
    if (SystemPageKeepsAscii()) {
        // Narrowed in place: a string used again has the room already.
        text_.resize(length);
        const size_t n = NarrowAscii(text, length, text_.data());
        if (n == length && text[n] == 0)
            return;
    }
    FromWide(text);
}

void RString::FromAscii(const char* text, size_t length) {
    if (SystemPageKeepsAscii()) {
        // Once per text cell of an import: the short road of assign.
        assign(text, length);
        return;
    }
    const WString wide(text, text + length);
    text_.clear();
    AppendEncoded(0, wide.data(), wide.size(), text_);
}

std::string FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = FormatV(format, args);
    va_end(args);
    return s;
}

}  // namespace brisko
