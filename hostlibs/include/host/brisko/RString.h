// The shared library's 8-bit string, and its conversions to and from UTF-16 through code page 0.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/HostApi.h"

#if defined(__clang__)
#define DORNEL_PRINTF(f, a) __attribute__((format(printf, f, a)))
#elif defined(__GNUC__)
#define DORNEL_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define DORNEL_PRINTF(f, a)
#endif

namespace brisko {

/// Wide text is UTF-16 on every build (wchar_t is four bytes on Linux).
using WString = std::u16string;

/// An 8-bit string in the system's ANSI code page (code page 0).
/// Conversions to and from wide text go through that page: characters it cannot represent
/// become '?' on the way to 8 bits; bytes that are not valid in it become U+FFFD on the way back.
class BRISKO_API RString {
  public:
    RString() = default;
    RString(const char* s) : text_(s ? s : "") {}
    RString(const char* s, size_t n) : text_(s, n) {}
    RString(const std::string& s) : text_(s) {}
    RString(std::string&& s) : text_(std::move(s)) {}

    const char* c_str() const { return text_.c_str(); }
    bool empty() const { return text_.empty(); }
    size_t size() const { return text_.size(); }
    size_t length() const { return text_.size(); }
    char& operator[](size_t i) { return text_[i]; }
    char operator[](size_t i) const { return text_[i]; }
    RString& operator+=(const RString& s) {
        text_ += s.text_;
        return *this;
    }
    RString& operator+=(const char* s) {
        text_ += s;
        return *this;
    }
    RString& operator+=(char c) {
        text_ += c;
        return *this;
    }
    void erase(size_t pos, size_t n = std::string::npos) { text_.erase(pos, n); }
    char* end() { return text_.data() + text_.size(); }
    void clear() { text_.clear(); }
    /// Replaces the content with n bytes, keeping the room the string has.
    void assign(const char* s, size_t n) {
        // An export's record takes a text this way for every text cell: appending to the cleared
        // string takes half the work of the general assignment, which allows for bytes of the
        // string itself, and is open whenever s lies outside it.
        const uintptr_t own = reinterpret_cast<uintptr_t>(text_.data());
        if (reinterpret_cast<uintptr_t>(s) - own > text_.capacity()) {
            text_.clear();
            text_.append(s, n);
        } else {
            text_.assign(s, n);
        }
    }
    const std::string& str() const { return text_; }
    bool operator==(const RString& o) const { return text_ == o.text_; }
    bool operator!=(const RString& o) const { return text_ != o.text_; }

    /// printf-style: replaces the content with the formatted text and returns it.
    const char* FormatString(const char* format, ...) DORNEL_PRINTF(2, 3);
    const char* FormatStringV(const char* format, va_list args);

    /// The text widened through code page 0.
    WString ToWide() const;
    /// Replaces the content with the wide text narrowed through code page 0.
    void FromWide(const char16_t* text);
    void FromWide(const WString& text) { FromWide(text.c_str()); }
    /// The same for a text whose length is known: its first zero unit is at length or later
    /// (a zero before length still ends it). Plain ASCII is narrowed many units at a time.
    void FromWide(const char16_t* text, size_t length);
    /// The same for a text of ASCII characters other than zero (1 to 0x7F) given as length
    /// bytes, as a caller that narrowed them already has it: the usual pages keep them as they
    /// are, and any other page narrows them as it would their UTF-16.
    void FromAscii(const char* text, size_t length);

  private:
    std::string text_;
};

/// printf-style into a standard string.
BRISKO_API std::string FormatString(const char* format, ...) DORNEL_PRINTF(1, 2);

}  // namespace brisko
