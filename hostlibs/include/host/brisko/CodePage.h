// Code pages: the system's ANSI page (code page 0) and conversions between 8-bit text and UTF-16.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/HostApi.h"
#include "host/brisko/RString.h"

namespace brisko {

constexpr uint32_t kCodePageUtf8 = 65001;

/// The page that code page 0 stands for. The host program sets it (its --acp switch); until then it
/// is 65001 (UTF-8) on Linux and the system's ANSI page on Windows.
BRISKO_API uint32_t GetSystemCodePage();
BRISKO_API void SetSystemCodePage(uint32_t page);
/// Code page 0 becomes the system page; every other number stays.
BRISKO_API uint32_t ResolveCodePage(uint32_t page);
/// Whether text can be converted through the page on this system.
BRISKO_API bool IsCodePageAvailable(uint32_t page);

/// A streaming decoder from one code page into UTF-16. Decode consumes whole characters only and
/// reports how many bytes it used, so a multibyte character split at the end of a block waits for
/// the next block. Bytes that are not valid in the page become U+FFFD; Flush turns what is left at
/// the end of the data into U+FFFD too. U+FFFF, which readers use for the end of a file, is never
/// produced: a real U+FFFF in the data becomes U+FFFD.
class BRISKO_API CodePageDecoder {
  public:
    virtual ~CodePageDecoder() = default;
    /// Decodes from [in, in+inSize) into out (room for outRoom units; outRoom >= inSize + 1 always
    /// suffices). Returns the number of units written; inUsed receives the bytes consumed.
    virtual size_t Decode(const uint8_t* in, size_t inSize, char16_t* out, size_t outRoom,
                          size_t& inUsed) = 0;
    /// Throws when the page cannot be converted on this system.
    static std::unique_ptr<CodePageDecoder> Create(uint32_t page);
};

/// Whole-text conversions; characters without a form in the page become '?'.
BRISKO_API std::string EncodeCodePage(uint32_t page, const char16_t* text, size_t length);
/// EncodeCodePage that appends to out, reusing its buffer.
BRISKO_API void AppendEncoded(uint32_t page, const char16_t* text, size_t length, std::string& out);
BRISKO_API WString DecodeCodePage(uint32_t page, const char* text, size_t length);

/// UTF-8 both ways, the fast path of code page 65001.
BRISKO_API std::string ToUtf8(const WString& text);
BRISKO_API WString FromUtf8(const std::string& text);

}  // namespace brisko
