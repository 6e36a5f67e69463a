// A text file read or written through an encoding, decoded in blocks into UTF-16.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "host/HostApi.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/EncodingDetection.h"
#include "host/brisko/RString.h"

namespace brisko {

/// Encodings of text files.
enum TextEncoding : int {
    TE_ANSI = 0,     ///< 8-bit text through a code page (0: the system page), no signature
    TE_UTF8 = 1,     ///< UTF-8, written with its byte-order mark
    TE_UTF16LE = 2,  ///< UTF-16 little-endian, written with its byte-order mark
    TE_ANY = 4,      ///< reading only: as TE_ANSI, the encoding is never imposed
};

constexpr char16_t kEndOfFile = 0xFFFF;

/// Reading. Open decides the encoding once:
/// - imposed (first flag true): the encoding given is used; a byte-order mark of that same
///   encoding at the start is skipped, any other bytes are text.
/// - not imposed: DecideEncoding (EncodingDetection.h) looks at the first 512 KB: a byte-order
///   mark of UTF-8, UTF-16 or UTF-32 of either order wins and is skipped; then UTF-16 by its
///   zero bytes, valid UTF-8 with a multi-byte sequence, and otherwise 8-bit text (a detected
///   legacy page where the system page is UTF-8). A non-zero code page given to Open, or later
///   to SetCodePage, imposes itself on 8-bit text; SetCodePage(0) keeps a detected page.
///   GetDecision tells what was decided and why.
/// - The 16-bit indicator (m_isUnicode, IsUnicode()) is set exactly when the text is read as
///   16-bit units: UTF-16 of either order, or UTF-32 decoded into UTF-16.
/// - Imposing accepts the read-only forms of EncodingDetection.h (5 UTF-16BE, 6 UTF-32LE,
///   7 UTF-32BE) too.
/// - The second flag keeps the byte-order mark as a U+FEFF character instead of skipping it.
///
/// Getc returns one UTF-16 code unit, 0xFFFF at the end of the file. Block boundaries:
/// - A UTF-8 or other multibyte sequence split between two blocks is held back and completed by
///   the next block; one cut off by the end of the file becomes U+FFFD.
/// - A UTF-16 file is passed on unit by unit, so a surrogate pair split between blocks arrives as
///   its two units in order; an odd last byte becomes U+FFFD. Lone surrogates pass unchanged.
///   UTF-32 gives one unit or a surrogate pair per character; a value that is no character
///   (a surrogate, beyond U+10FFFF) and 1-3 bytes left at the end become U+FFFD.
/// - A CR LF pair split between blocks is simply two units; pairing them is the reader's business.
/// - A missing final newline changes nothing: the last unit is followed by 0xFFFF.
/// - Bytes not valid in the encoding become U+FFFD; a real U+FFFF becomes U+FFFD, so 0xFFFF only
///   ever means the end.
/// - At most one unit may be pushed back with UnGetc after each Getc.
/// - A file that becomes shorter than it was at the opening while it is read is an error; one
///   that grows is read to its new end.
/// - A file longer than four blocks is read and decoded on a second thread, a few blocks ahead
///   of Getc, unless SetReadAhead(false) said not to. Nothing else changes: errors arrive when
///   Getc reaches the block where they happened, and SeekToBegin or SetCodePage first take the
///   file back to the first block Getc has not reached.
///
/// Writing (mode "w"): TE_UTF8 and TE_UTF16LE write their byte-order mark first. WriteString
/// encodes; line feeds are written as they are (no CR is added). A surrogate pair may be split
/// between two calls; a half without its partner becomes U+FFFD in 8-bit output. The bytes go to
/// a new file with a unique name beside the target ("NAME.XXXXXXXX.part", created exclusively);
/// Close flushes, and only then does the file take the target's place, with the mode (and owner,
/// where the caller may keep it) of the file it replaces, so the bytes can be read at once. A
/// failed write, a failed Close or Abort removes the part file and leaves any earlier file at
/// the target untouched, so an export never leaves a truncated file that looks complete. A
/// symbolic link is followed and the file it names is written; a character device, FIFO or
/// socket is written in place and never replaced. A target that exists but may not be written
/// (no permission, or no write bit at all) is refused at Open. An output closed with no text in it
/// (nothing beyond its byte-order mark) leaves a file already at the target exactly as it was,
/// since there is nothing to replace it with; RemoveFile of the path afterwards, which is how a
/// writer drops an output it found empty, then removes nothing. Where no file was there, Close
/// makes the empty file as usual.
///
/// Errors (missing file, a directory, no permission, a failed read or write, an unknown code page)
/// throw brisko::Exception.
///
/// A reader is aligned to a cache line and fills whole lines: Getc writes its position for every
/// unit, and another thread writing an object on the same line would slow both down.
class BRISKO_API CEncodedBufferedFile {
  public:
    CEncodedBufferedFile();
    CEncodedBufferedFile(const RString& path, const char* mode, int sharing, int encoding,
                         uint32_t codePage, bool imposeEncoding, bool keepSignature);
    ~CEncodedBufferedFile();
    CEncodedBufferedFile(const CEncodedBufferedFile&) = delete;
    CEncodedBufferedFile& operator=(const CEncodedBufferedFile&) = delete;

    void Open(const RString& path, const char* mode, int sharing, int encoding, uint32_t codePage,
              bool imposeEncoding, bool keepSignature);
    bool IsOpen() const { return file_ != nullptr; }
    /// Flushes pending output and closes; throws when the data could not be written.
    void Close();
    /// Closes without reporting errors. An output never reaches its target name, whatever the
    /// flag says: its part file is deleted, and any earlier file at the target stays.
    void Abort(bool removeFile);

    char16_t Getc() {
        if (cur_ != end_) [[likely]]
            return *cur_++;
        return Refill();
    }
    /// For a reader that takes runs of units at a time: the decoded units not read yet lie
    /// from Next() to Limit() (possibly none); Skip(p) marks those before p as read. The
    /// kReadableAfterLimit units after Limit() may be read too, so that a search can load
    /// whole registers; what they hold means nothing.
    static constexpr size_t kReadableAfterLimit = 16;
    const char16_t* Next() const { return cur_; }
    const char16_t* Limit() const { return end_; }
    void Skip(const char16_t* p) {
        assert(p >= cur_ && p <= end_);
        cur_ += p - cur_;
    }
    void UnGetc(char16_t c) {
        assert(cur_ > units_.data());
        *--cur_ = c;
    }
    void SeekToBegin();
    /// The byte offset of the next character, the byte-order mark included. Within a block of
    /// variable-width text it is interpolated, so it grows steadily and is exact at block ends.
    int64_t GetPosition() const;
    /// The file's length in bytes (when reading, as it was when opened).
    int64_t GetLength() const;
    /// The code page of 8-bit text (0: the system page); ignored for UTF-8 and UTF-16 files.
    void SetCodePage(uint32_t codePage);
    /// Whether a long file may be decoded ahead on a thread of its own (the default). A reader
    /// that already runs on a thread beside the work that follows it decodes faster itself,
    /// where the cores are few. Takes effect from the next block that is not decoded yet.
    void SetReadAhead(bool allowed);
    void WriteString(const char16_t* text, size_t length) {
        // Short ASCII pieces, as an export writes them cell by cell, go straight into the
        // output block: they are the same bytes in UTF-8 and cost no call.
        if (directAscii_ && pendingHigh_ == 0 && length <= kDirectUnits &&
            outSize_ + length <= kDirectEnd) [[likely]] {
            if (CopyAscii(text, length, out_.get() + outSize_)) {
                outSize_ += length;
                return;
            }
        }
        WriteEncoded(text, length);
    }
    void WriteString(const WString& text) { WriteString(text.data(), text.size()); }
    /// Room for up to bytes (at most kAsciiRoomMost) bytes of ASCII in the output block, for a
    /// writer to put its text there itself rather than build it in units first: where ASCII is
    /// written as it is (UTF-8, or an 8-bit page that is UTF-8) and no half of a pair waits for
    /// its partner. Null elsewhere: the text then goes through WriteString. What is put there
    /// counts once AsciiWritten says how much of it; until then the room may be given up.
    char* AsciiRoom(size_t bytes) {
        if (directAscii_ && pendingHigh_ == 0 && outSize_ + bytes <= kDirectEnd) [[likely]]
            return out_.get() + outSize_;
        return MakeAsciiRoom(bytes);
    }
    void AsciiWritten(size_t bytes) { outSize_ += bytes; }
    static constexpr size_t kAsciiRoomMost = 4096;
    const RString& GetFilePath() const { return path_; }
    /// The encoding in use (TE_ANSI, TE_UTF8 or TE_UTF16LE, or a read-only form).
    int GetEncoding() const { return decision_.form; }
    /// What Open decided about the encoding, and why (EncodingDetection.h).
    const EncodingDecision& GetDecision() const { return decision_; }
    bool IsUnicode() const { return m_isUnicode != 0; }

    /// Non-zero when the file is read as 16-bit text.
    int32_t m_isUnicode = 0;

    /// Bytes read from the file per block; tests shrink it to exercise block boundaries.
    static void SetDefaultBlockSize(size_t bytes);
    static size_t GetDefaultBlockSize();

  private:
    class ReadAhead;
    class Output;

    /// What decoding a block found beyond its text, for the reader's thread to take over with the
    /// block: bytes it could not decode, and a decision made at its first byte beyond ASCII.
    struct BlockNotes {
        uint64_t undecodable = 0;
        int64_t firstUndecodable = -1;
        bool decided = false;
        EncodingDecision decision;
        void NoteUndecodable(int64_t offset, uint64_t bytes) {
            if (undecodable == 0)
                firstUndecodable = offset;
            undecodable += bytes;
        }
    };

    char16_t Refill();
    size_t DecodeBlock(char16_t* data, size_t room, int64_t& start, int64_t& end,
                       BlockNotes& notes);
    /// On a file that is ASCII so far: decides again at the first byte beyond ASCII in the
    /// block's bytes, if there is one, and decodes with what is decided.
    void DecideAtFirstByteBeyondAscii(size_t have, BlockNotes& notes);
    void TakeNotes(BlockNotes& notes);
    /// Tells the observer of bytes that could not be decoded, with the line of the first.
    void ReportUndecodable();
    void StopReadAhead();
    void OpenForReading(int encoding, uint32_t codePage, bool impose, bool keepSignature);
    void OpenForWriting(int encoding, uint32_t codePage);
    /// Close of an output: flushes and puts the file in the target's place.
    void CloseOutput();
    void ResetDecoding();
    void WriteEncoded(const char16_t* text, size_t length);
    /// AsciiRoom once the output block is full: writes it out.
    char* MakeAsciiRoom(size_t bytes);
    void FlushOutput();
    void EncodeWide(bool all);
    void PutBytes(const char* bytes, size_t n);
    void PutUtf8(const char16_t* text, size_t length);
    void WriteOut(const char* bytes, size_t n);
    /// Asks the system to start writing out what was written since the last call.
    void StartWriteback();

    std::FILE* file_ = nullptr;
    RString path_;
    std::unique_ptr<Output> output_;  // where written bytes go until Close
    bool writing_ = false;
    int encoding_ = TE_ANSI;
    EncodingDecision decision_;
    bool detected_ = false;  // the 8-bit page was chosen by the detector
    // ASCII beyond the sample, nothing imposed: the first other byte decides. decidesLate_ is the
    // reader's view, provisional_ the decoding side's (another thread while one decodes ahead).
    bool decidesLate_ = false;
    bool provisional_ = false;
    uint32_t codePage_ = 0;
    size_t blockSize_;
    int64_t length_ = 0;
    // A file that replaces another starts on its way to the disk every kWritebackBytes of it;
    // writtenBack_ is where the last start ended.
    static constexpr int64_t kWritebackBytes = 8 << 20;
    int64_t writtenBack_ = 0;
    bool replacesFile_ = false;  // the output takes the place of a file that exists
    int64_t dataStart_ = 0;      // bytes of the skipped byte-order mark
    int64_t position_ = 0;       // bytes read from the file so far
    int64_t blockStart_ = 0;     // offset of the first byte decoded into the current block
    int64_t blockEnd_ = 0;       // offset after the last byte decoded into the current block
    bool atEnd_ = false;
    std::unique_ptr<CodePageDecoder> decoder_;
    std::vector<uint8_t> bytes_;
    size_t carry_ = 0;  // undecoded bytes kept at the front of bytes_
    // One unit before the decoded data is kept free, so UnGetc always has room.
    std::vector<char16_t> units_;
    std::unique_ptr<ReadAhead> ahead_;     // while blocks are decoded on a second thread
    bool aheadRefused_ = false;            // the system gave no thread for it
    alignas(64) char16_t* cur_ = nullptr;  // the object takes whole cache lines (see above)
    char16_t* end_ = nullptr;
    std::unique_ptr<char[]> out_;  // output not written yet: its first outSize_ bytes
    size_t outSize_ = 0;
    char16_t pendingHigh_ = 0;  // UTF-8: the first half of a pair whose second half is due
    WString wideOut_;           // text waiting for conversion to an 8-bit page
    bool utf8Output_ = false;
    /// Copies length units to out as bytes if all are ASCII; false, with out in any state, if
    /// not. Eight or four units at a time where the processor allows, the last piece overlapping
    /// those before it: a loop that ends at a different place for every cell mispredicts its end.
    /// Reads and writes only the units and bytes given.
    static bool CopyAscii(const char16_t* text, size_t length, char* out) {
#if defined(__SSE2__)
#pragma GCC diagnostic push
        // Inlined where a text of fewer units is written, the piece below is never reached, but
        // GCC flags its reads all the same.
#pragma GCC diagnostic ignored "-Warray-bounds"
        const auto noneAbove7F = [](__m128i units) {
            return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(-0x80)),
                                                     _mm_setzero_si128())) == 0xFFFF;
        };
        if (length >= 8) {
            const auto piece = [&](size_t i) {
                __m128i units;
                std::memcpy(&units, text + i, sizeof units);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i),
                                 _mm_packus_epi16(units, units));
                return units;
            };
            __m128i seen = piece(length - 8);
            for (size_t i = 0; i + 8 < length; i += 8)
                seen = _mm_or_si128(seen, piece(i));
            return noneAbove7F(seen);
        }
        if (length >= 4) {
            const auto piece = [&](size_t i) {
                __m128i units = _mm_setzero_si128();
                std::memcpy(&units, text + i, 4 * sizeof(char16_t));
                const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(units, units));
                std::memcpy(out + i, &bytes, 4);
                return units;
            };
            const __m128i seen = _mm_or_si128(piece(0), piece(length - 4));
            return noneAbove7F(seen);
        }
#pragma GCC diagnostic pop
#endif
        char16_t seen = 0;
        for (size_t i = 0; i < length; ++i) {
            seen |= text[i];
            out[i] = static_cast<char>(text[i]);
        }
        return seen < 0x80;
    }
    bool directAscii_ = false;  // open for writing UTF-8: ASCII may be copied in as it is
    static constexpr size_t kDirectUnits = 256;
    static constexpr size_t kDirectEnd = 64 * 1024;  // where the output block is written out
};

}  // namespace brisko
