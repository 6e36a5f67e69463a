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
    /// page), "imposed".
    std::string why;

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
/// 2. UTF-16 of either order by its zero bytes: Latin text has a zero high byte in nearly every
///    unit and never a zero low byte.
/// 3. UTF-8 when the sample is valid UTF-8 and holds at least one multi-byte sequence, whatever
///    the system page; a sequence cut off by the end of an incomplete sample is not invalid.
/// 4. Otherwise 8-bit text. On a UTF-8 system page (where the bytes cannot be that page) a
///    legacy page is chosen by a charset detector, windows-1252 when it is unsure; on a
///    legacy system page, the system page. Text with nothing beyond ASCII stays on the system
///    page.
BRISKO_API EncodingDecision DecideEncoding(const uint8_t* sample, size_t size, bool complete);

/// Decides for the file at path (code page 0) as a reader opening it would, without opening
/// a reader; false when the file cannot be read.
BRISKO_API bool DecideFileEncoding(const RString& path, EncodingDecision& decision);

/// Called on the opening thread each time a reader opens a file for reading, once it has
/// decided; for a host that reports what was decided. One for the process; null for none.
using ReaderObserver = void (*)(void* context, const std::string& path,
                                const EncodingDecision& decision);
BRISKO_API void SetReaderObserver(ReaderObserver observer, void* context);
BRISKO_API void NotifyReaderOpened(const std::string& path, const EncodingDecision& decision);

/// Whether the bytes are valid UTF-8 (a cut sequence at the end is allowed unless complete),
/// and whether any multi-byte sequence was seen.
BRISKO_API bool IsValidUtf8(const uint8_t* data, size_t size, bool complete, bool& multiByte);

}  // namespace brisko
