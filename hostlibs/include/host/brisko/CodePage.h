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
/// the next block; last says that no more data follows. Bytes that are not valid in the page
/// become U+FFFD, and Invalid() counts them (but for the few bytes a page of one byte per
/// character leaves undefined). U+FFFF, which readers use for the end of a file, is
/// never produced: a real U+FFFF in the data becomes U+FFFD.
///
/// Pages of one byte per character decode through a table, built once from whole conversions (a
/// byte, then the converter flushed), so that pages whose converter waits for a combining mark
/// after a letter still give every letter. Pages of several bytes per character (the East Asian
/// pages, EUC-JP, GB18030) and stateful ones are decoded by the system's converter. So is
/// windows-1258, whose letters and tone marks the converter joins into the letters Vietnamese is
/// written with; a block of it that ends in a letter ends before it, and the next block decodes
/// it, so that no letter is parted from its mark. A stateful page such as ISO-2022-JP
/// keeps its shift state from block to block, and Restart sets it back for a reader that goes
/// back to the beginning. UTF-7 is converted to UTF-32 a byte at a time and narrowed here: a low
/// surrogate its bits make with no high one before it is one replacement, at the byte that
/// completed it, whatever the blocks.
class BRISKO_API CodePageDecoder {
  public:
    virtual ~CodePageDecoder() = default;
    /// Decodes from [in, in+inSize) into out (room for outRoom units; outRoom >= inSize + 1 always
    /// suffices). Returns the number of units written; inUsed receives the bytes consumed.
    size_t Decode(const uint8_t* in, size_t inSize, char16_t* out, size_t outRoom, size_t& inUsed,
                  bool last = false) {
        invalid_ = 0;
        return Convert(in, inSize, out, outRoom, inUsed, last);
    }
    /// Bytes of the latest Decode that were not valid in the page, and the index of the first
    /// of them in its input (meaningful when Invalid() > 0).
    size_t Invalid() const { return invalid_; }
    size_t FirstInvalid() const { return firstInvalid_; }
    /// Forgets what the blocks decoded so far left in the converter (a shift state, bits of a
    /// character not yet whole): the next Decode starts as at the beginning of a text.
    virtual void Restart() {}
    /// Throws when the page cannot be converted on this system.
    static std::unique_ptr<CodePageDecoder> Create(uint32_t page);

  protected:
    virtual size_t Convert(const uint8_t* in, size_t inSize, char16_t* out, size_t outRoom,
                           size_t& inUsed, bool last) = 0;
    void NoteInvalid(size_t at, size_t bytes) {
        if (invalid_ == 0)
            firstInvalid_ = at;
        invalid_ += bytes;
    }

  private:
    size_t invalid_ = 0;
    size_t firstInvalid_ = 0;
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
