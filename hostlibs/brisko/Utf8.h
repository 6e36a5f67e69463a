// UTF-8 encoding into a caller's buffer. Internal to brisko.
#pragma once

#include <cstddef>

namespace brisko {

/// What stands for a character that cannot be decoded.
constexpr char16_t kReplacement = 0xFFFD;

/// The most bytes one UTF-16 unit can take in UTF-8 (a surrogate pair takes four for two).
constexpr size_t kUtf8BytesPerUnit = 3;

/// Writes length units as UTF-8 to out (room for length * kUtf8BytesPerUnit bytes); returns
/// the bytes written. A lone surrogate becomes U+FFFD.
size_t EncodeUtf8(const char16_t* text, size_t length, char* out);

}  // namespace brisko
