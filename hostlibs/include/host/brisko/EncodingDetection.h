// How a reader whose encoding is not imposed decides what a file's bytes are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/HostApi.h"
#include "host/brisko/RString.h"

namespace brisko {

/// The forms in which a file's text can be read. The first three are the TextEncoding values
/// of EncodedBufferedFile.h; the others are only ever read, decoded into the same UTF-16.
enum TextForm : int {
    FORM_8BIT = 0,  ///< 8-bit text through a code page
    FORM_UTF8 = 1,
    FORM_UTF16LE = 2,
    FORM_UTF16BE = 5,
    FORM_UTF32LE = 6,
    FORM_UTF32BE = 7,
};

/// What was decided about a file, and why.
struct BRISKO_API EncodingDecision {
    int form = FORM_8BIT;
    uint32_t codePage = 0;  ///< 8-bit text: the page (0: the system page)
    int markBytes = 0;      ///< bytes of the byte-order mark at the start
    /// "mark", "no mark" (UTF-8 or UTF-16 told by their bytes), "detected" (a legacy page
    /// chosen by the detector), "guessed" (the detector was unsure: windows-1252), "ascii"
    /// (nothing beyond ASCII: the system page), "system page" (8-bit text on a legacy system
    /// page), "imposed" (the caller named the encoding, at the opening or later through a
    /// code page).
    std::string why;
    /// The offset of the byte where the decision was made: 0 for the start of the file; for a
    /// file that is plain ASCII for longer than the sample, the first byte beyond ASCII, where
    /// the decision "ascii" is made again from the bytes there.
    int64_t decidedAt = 0;
    /// Bytes read so far that are not valid in the encoding and became U+FFFD, where the first of
    /// them is (its offset, and its line counted from 1; 0 when the line is not known).
    uint64_t undecodable = 0;
    int64_t firstUndecodable = -1;
    int64_t firstUndecodableLine = 0;

    /// "UTF-8", "UTF-16BE", "windows-1252", ...: the name of the encoding decided.
    std::string Name() const;
    /// Read as 16-bit units: UTF-16 of either order, or UTF-32 decoded to it.
    bool Wide() const {
        return form == FORM_UTF16LE || form == FORM_UTF16BE || form == FORM_UTF32LE ||
               form == FORM_UTF32BE;
    }
};

/// How many bytes from the start of a file the decision looks at: enough to meet a rare
/// accented letter deep in a file, and what a reader decodes ahead anyway (eight 64 KB blocks).
constexpr size_t kDetectionSampleBytes = 512 * 1024;

/// Decides from the first bytes of a file (complete: the sample is the whole file):
/// 1. A byte-order mark: UTF-32LE (FF FE 00 00), UTF-32BE (00 00 FE FF), UTF-8 (EF BB BF),
///    UTF-16LE (FF FE), UTF-16BE (FE FF).
/// 2. UTF-32 or UTF-16 of either order by the shape of its bytes (UnmarkedUnicodeForm).
/// 3. DecideByteText.
BRISKO_API EncodingDecision DecideEncoding(const uint8_t* sample, size_t size, bool complete);

/// The decision for bytes that are neither marked nor UTF-16 or UTF-32:
/// 1. UTF-8 when the sample is mostly valid UTF-8: at least one multi-byte sequence, and at
///    most one invalid byte sequence for every kMostlyValidUtf8 valid ones (a sequence cut off
///    by the end of an incomplete sample is not invalid). A few broken bytes in a UTF-8 file
///    are read as U+FFFD and counted; text in an 8-bit page has hardly a valid sequence.
/// 2. Otherwise 8-bit text. On a UTF-8 system page (where the bytes cannot be that page) a
///    charset detector names a legacy page, and MostPlausiblePage checks its answer against
///    the pages it is known to confuse; windows-1252 when it has no answer. On a legacy system
///    page, the system page. Text with nothing beyond ASCII stays on the system page ("ascii").
BRISKO_API EncodingDecision DecideByteText(const uint8_t* sample, size_t size, bool complete);

/// Valid UTF-8 sequences of more than one byte in a sample, and invalid ones.
struct Utf8Census {
    size_t valid = 0;
    size_t invalid = 0;
};
BRISKO_API Utf8Census CountUtf8(const uint8_t* data, size_t size, bool complete);
constexpr size_t kMostlyValidUtf8 = 10;

/// UTF-32 or UTF-16 without a byte-order mark, told by the shape of the bytes; FORM_8BIT when
/// they are neither. Every unit must be a character of text (no NUL, no control but tab, line
/// feed, form feed and carriage return, no U+FFFE or U+FFFF, surrogates in pairs). UTF-32:
/// every four bytes a character of a plane that holds characters (up to U+3FFFF, U+E0000 on).
/// UTF-16 of any script: at least one unit in a hundred has a zero high byte (spaces, digits,
/// delimiters and line ends do), and zero high bytes outnumber zero low bytes; 8-bit and UTF-8 text
/// has no zero byte at all.
BRISKO_API int UnmarkedUnicodeForm(const uint8_t* data, size_t size, bool complete);

/// Decides for the file at path (code page 0) as a reader opening it would, without opening
/// a reader: a file that is ASCII for longer than the sample is read on to its first byte
/// beyond ASCII, which decides. False when the file cannot be read.
BRISKO_API bool DecideFileEncoding(const RString& path, EncodingDecision& decision);

/// What a reader tells its observer: that it opened a file and decided; that the decision
/// changed (a code page imposed after the opening, or a file ASCII beyond its sample that
/// met its first other byte); that it closed after reading bytes it could not decode.
enum class ReaderEvent { kOpened, kChanged, kClosed };

/// Called on the reader's thread (the one that calls Getc, never a decoding thread), for a host
/// that reports what was decided. One for the process; null for none.
using ReaderObserver = void (*)(void* context, const std::string& path,
                                const EncodingDecision& decision, ReaderEvent event);
BRISKO_API void SetReaderObserver(ReaderObserver observer, void* context);
BRISKO_API void NotifyReader(const std::string& path, const EncodingDecision& decision,
                             ReaderEvent event);

/// Whether the bytes are valid UTF-8 (a cut sequence at the end is allowed unless complete),
/// and whether any multi-byte sequence was seen.
BRISKO_API bool IsValidUtf8(const uint8_t* data, size_t size, bool complete, bool& multiByte);

}  // namespace brisko
