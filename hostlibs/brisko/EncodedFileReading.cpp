// Reading an encoded file: the detection of its encoding, and its blocks decoded ahead.
#include "host/brisko/EncodedBufferedFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "AsciiRuns.h"
#include "EncodedFileParts.h"
#include "FileOffsets.h"
#include "host/brisko/EncodingDetection.h"
#include "host/brisko/File.h"

namespace brisko {

void CEncodedBufferedFile::OpenForReading(int encoding, uint32_t codePage, bool impose,
                                          bool keepSignature) {
    int64_t size = GetFileSize(path_);
    length_ = size < 0 ? 0 : size;
    // The sample is the file's first kDetectionSampleBytes bytes, or all of a shorter file. It
    // starts at the length the file says it has and one byte more, which shows its end: every
    // import opens its file, and most files are short. A pipe, or a file that grew, has more,
    // and the sample grows until it has all of it or enough.
    size_t sampleSize = size >= 0 && static_cast<uint64_t>(size) < kDetectionSampleBytes
                            ? static_cast<size_t>(size) + 1
                            : kDetectionSampleBytes;
    std::unique_ptr<uint8_t[]> sample(new uint8_t[sampleSize]);
    size_t n = std::fread(sample.get(), 1, sampleSize, file_);
    while (n == sampleSize && sampleSize < kDetectionSampleBytes && !std::ferror(file_)) {
        const size_t grown =
            std::min(kDetectionSampleBytes, std::max<size_t>(sampleSize * 8, 4096));
        std::unique_ptr<uint8_t[]> larger(new uint8_t[grown]);
        std::memcpy(larger.get(), sample.get(), n);
        sample = std::move(larger);
        sampleSize = grown;
        n += std::fread(sample.get() + n, 1, sampleSize - n, file_);
    }
    if (std::ferror(file_))
        ThrowFileError(__LINE__, SHARED_ERR_READ, path_, "cannot read", errno);
    const uint8_t* head = sample.get();
    const bool utf8Bom = n >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF;
    const bool utf16Bom = n >= 2 && head[0] == 0xFF && head[1] == 0xFE;
    codePage_ = codePage;
    dataStart_ = 0;
    detected_ = false;
    decidesLate_ = false;
    if (impose) {
        encoding_ = encoding == TE_UTF8 || encoding == TE_UTF16LE || encoding == FORM_UTF16BE ||
                            encoding == FORM_UTF32LE || encoding == FORM_UTF32BE
                        ? encoding
                        : TE_ANSI;
        const bool utf8 = encoding_ == TE_UTF8 ||
                          (encoding_ == TE_ANSI && ResolveCodePage(codePage) == kCodePageUtf8);
        if ((utf8 && utf8Bom) || (encoding_ == TE_UTF16LE && utf16Bom))
            dataStart_ = utf8Bom ? 3 : 2;
        decision_ = EncodingDecision{};
        decision_.form = encoding_;
        decision_.codePage = encoding_ == TE_ANSI ? codePage : 0;
        decision_.markBytes = static_cast<int>(dataStart_);
        decision_.why = "imposed";
    } else {
        decision_ = DecideEncoding(head, n, n < sampleSize);
        encoding_ = decision_.form;
        dataStart_ = decision_.markBytes;
        // A page the caller names wins over one the detector chose.
        if (encoding_ == TE_ANSI) {
            if (codePage != 0)
                decision_.codePage = codePage, decision_.why = "imposed";
            codePage_ = decision_.codePage;
        }
        detected_ = decision_.why == "detected" || decision_.why == "guessed";
        decidesLate_ = decision_.why == "ascii" && n == sampleSize;
    }
    provisional_ = decidesLate_;
    if (keepSignature)
        dataStart_ = 0;
    m_isUnicode = decision_.Wide() ? 1 : 0;
    decoder_.reset();
    if (encoding_ == TE_UTF8)
        decoder_ = CodePageDecoder::Create(kCodePageUtf8);
    else if (encoding_ == TE_ANSI)
        decoder_ = CodePageDecoder::Create(codePage_);
    // A short file is read in one block of about its size: most files are short, and every
    // import opens one. The block still ends past the file's last byte, so that the first read
    // shows the end. A length of nothing says nothing: pipes and the system's own files give it.
    if (size > 0 && static_cast<uint64_t>(size) < blockSize_)
        blockSize_ = std::min(blockSize_, (static_cast<size_t>(size) + 1 + 4095) / 4096 * 4096);
    bytes_.assign(blockSize_ + 8, 0);
    // One unit before the block for UnGetc, room for a few units more than the bytes (a
    // sequence carried from the block before), and the units that may be read after the end.
    units_.assign(1 + blockSize_ + 8 + kReadableAfterLimit, 0);
    ResetDecoding();
    NotifyReader(path_.str(), decision_, ReaderEvent::kOpened);
}

void CEncodedBufferedFile::ResetDecoding() {
    StopReadAhead();
    // The first block decodes from the page's first state, whatever the last one read left.
    if (decoder_)
        decoder_->Restart();
    cur_ = end_ = units_.data() + 1;
    carry_ = 0;
    atEnd_ = false;
    decision_.undecodable = 0;
    decision_.firstUndecodable = -1;
    position_ = dataStart_;
    blockStart_ = dataStart_;
    blockEnd_ = dataStart_;
    if (file_ && !writing_) {
        std::clearerr(file_);
        std::fseek(file_, 0, SEEK_SET);
        if (dataStart_ > 0) {
            uint8_t skip[4];
            if (std::fread(skip, 1, static_cast<size_t>(dataStart_), file_) !=
                static_cast<size_t>(dataStart_))
                position_ = 0;
        }
    }
}

void CEncodedBufferedFile::StopReadAhead() {
    if (!ahead_)
        return;
    const int64_t resume = ahead_->Stop();
    ahead_.reset();
    // Blocks decoded but not reached are read again, so that what comes next is decoded as
    // if the reader had been alone.
    if (resume >= 0 && file_) {
        std::clearerr(file_);
        Seek64(file_, resume, SEEK_SET);
        position_ = resume;
        carry_ = 0;
        atEnd_ = false;
    }
}

void CEncodedBufferedFile::SetReadAhead(bool allowed) {
    if (!allowed)
        StopReadAhead();
    aheadRefused_ = !allowed;
}

char16_t CEncodedBufferedFile::Refill() {
    if (!file_ || writing_)
        return kEndOfFile;
    if (!ahead_ && !atEnd_ && !aheadRefused_ &&
        length_ - position_ > kReadAheadBlocks * static_cast<int64_t>(blockSize_)) {
        try {
            ahead_ = std::make_unique<ReadAhead>(*this);
        } catch (const std::system_error&) {
            // No thread to be had: the file is decoded here, as a short one is.
            aheadRefused_ = true;
        }
    }
    BlockNotes notes;
    const size_t produced =
        ahead_ ? ahead_->Take(units_, blockStart_, blockEnd_, notes)
               : DecodeBlock(units_.data() + 1, units_.size() - 1 - kReadableAfterLimit,
                             blockStart_, blockEnd_, notes);
    if (notes.undecodable > 0 || notes.decided) [[unlikely]]
        TakeNotes(notes);
    if (produced == 0)
        return kEndOfFile;
    cur_ = units_.data() + 1;
    end_ = cur_ + produced;
    return *cur_++;
}

void CEncodedBufferedFile::TakeNotes(BlockNotes& notes) {
    if (notes.undecodable > 0) {
        if (decision_.undecodable == 0)
            decision_.firstUndecodable = notes.firstUndecodable;
        decision_.undecodable += notes.undecodable;
    }
    if (notes.decided && decidesLate_) {
        notes.decision.undecodable = decision_.undecodable;
        notes.decision.firstUndecodable = decision_.firstUndecodable;
        decision_ = std::move(notes.decision);
        codePage_ = decision_.codePage;
        detected_ = true;
        decidesLate_ = false;
        NotifyReader(path_.str(), decision_, ReaderEvent::kChanged);
    }
}

void CEncodedBufferedFile::DecideAtFirstByteBeyondAscii(size_t have, BlockNotes& notes) {
    const uint8_t* bytes = bytes_.data();
    const size_t high = FirstBeyondAscii(bytes, have);
    if (high == have)
        return;
    // The bytes from the start of that line to the end of the block are the sample: they are
    // what the file holds beyond ASCII, as far as it has been read.
    const size_t from = LastLineStart(bytes, high);
    notes.decision = DecideByteText(bytes + from, have - from, atEnd_);
    notes.decision.decidedAt = position_ - static_cast<int64_t>(have) + static_cast<int64_t>(high);
    notes.decided = true;
    provisional_ = false;
    decoder_ = CodePageDecoder::Create(notes.decision.form == FORM_UTF8 ? kCodePageUtf8
                                                                        : notes.decision.codePage);
}

size_t CEncodedBufferedFile::DecodeBlock(char16_t* data, size_t room, int64_t& start, int64_t& end,
                                         BlockNotes& notes) {
    while (!atEnd_) {
        const size_t got = std::fread(bytes_.data() + carry_, 1, blockSize_, file_);
        if (got < blockSize_) {
            if (std::ferror(file_))
                ThrowFileError(__LINE__, SHARED_ERR_READ, path_, "cannot read", errno);
            atEnd_ = true;
            // Data that was there at the opening and is gone now was cut by someone else.
            if (position_ + static_cast<int64_t>(got) < length_)
                throw Exception("brisko", "CEncodedBufferedFile", __LINE__, SHARED_ERR_READ,
                                "the file '" + path_.str() + "' became shorter while it was read");
        }
        start = position_ - static_cast<int64_t>(carry_);
        position_ += static_cast<int64_t>(got);
        const size_t have = carry_ + got;
        size_t used = 0, produced = 0;
        if (encoding_ == TE_UTF16LE || encoding_ == FORM_UTF16BE) {
            const size_t pairs = have / 2;
            const int low = encoding_ == TE_UTF16LE ? 0 : 1;
            for (size_t i = 0; i < pairs; ++i) {
                const char16_t u =
                    static_cast<char16_t>(bytes_[2 * i + low] | (bytes_[2 * i + 1 - low] << 8));
                data[i] = u == 0xFFFF ? kReplacement : u;
            }
            produced = pairs;
            used = pairs * 2;
        } else if (encoding_ == FORM_UTF32LE || encoding_ == FORM_UTF32BE) {
            const bool little = encoding_ == FORM_UTF32LE;
            const size_t quads = have / 4;
            for (size_t i = 0; i < quads; ++i) {
                const uint8_t* q = bytes_.data() + 4 * i;
                const uint32_t cp = little ? q[0] | q[1] << 8 | q[2] << 16 | uint32_t(q[3]) << 24
                                           : q[3] | q[2] << 8 | q[1] << 16 | uint32_t(q[0]) << 24;
                if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFF) {
                    data[produced++] = kReplacement;
                } else if (cp >= 0x10000) {
                    data[produced++] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                    data[produced++] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
                } else {
                    data[produced++] = static_cast<char16_t>(cp);
                }
            }
            used = quads * 4;
        } else {
            if (provisional_) [[unlikely]]
                DecideAtFirstByteBeyondAscii(have, notes);
            produced = decoder_->Decode(bytes_.data(), have, data, room, used, atEnd_);
            if (decoder_->Invalid() > 0) [[unlikely]]
                notes.NoteUndecodable(start + static_cast<int64_t>(decoder_->FirstInvalid()),
                                      decoder_->Invalid());
        }
        carry_ = have - used;
        if (carry_ > 0)
            std::memmove(bytes_.data(), bytes_.data() + used, carry_);
        if (atEnd_ && carry_ > 0) {
            // A character cut off by the end of the file.
            notes.NoteUndecodable(start + static_cast<int64_t>(used), carry_);
            data[produced++] = kReplacement;
            carry_ = 0;
        }
        end = position_ - static_cast<int64_t>(carry_);
        if (produced > 0)
            return produced;
    }
    return 0;
}

void CEncodedBufferedFile::SeekToBegin() {
    if (!file_)
        return;
    if (writing_) {
        FlushOutput();
        return;
    }
    ResetDecoding();
}

int64_t CEncodedBufferedFile::GetPosition() const {
    if (writing_)
        return position_ - static_cast<int64_t>(carry_);
    if (!cur_ || end_ == cur_)
        return blockEnd_;
    const char16_t* data = units_.data() + 1;
    return blockStart_ + (blockEnd_ - blockStart_) * (cur_ - data) / (end_ - data);
}

int64_t CEncodedBufferedFile::GetLength() const {
    return writing_ ? length_ + static_cast<int64_t>(outSize_ + wideOut_.size()) : length_;
}

void CEncodedBufferedFile::SetCodePage(uint32_t codePage) {
    // Page 0 is "the default for this file": what was detected, or what the first bytes beyond
    // ASCII will decide.
    if (codePage == 0 && (detected_ || decidesLate_))
        return;
    if (!file_ || writing_ || encoding_ != TE_ANSI) {
        codePage_ = codePage;
        return;
    }
    auto decoder = CodePageDecoder::Create(codePage);
    StopReadAhead();
    const bool untouched = position_ == dataStart_;
    codePage_ = codePage;
    decoder_ = std::move(decoder);
    provisional_ = decidesLate_ = false;
    const bool imposed =
        codePage != 0 && !(decision_.why == "imposed" && decision_.form == FORM_8BIT &&
                           decision_.codePage == codePage);
    if (imposed) {
        decision_.form = FORM_8BIT;
        decision_.codePage = codePage;
        decision_.why = "imposed";
        detected_ = false;
    }
    // Text already decoded keeps its old page; at the start nothing has been decoded yet.
    if (untouched)
        ResetDecoding();
    if (imposed)
        NotifyReader(path_.str(), decision_, ReaderEvent::kChanged);
}

void CEncodedBufferedFile::ReportUndecodable() {
    if (writing_ || !file_ || decision_.undecodable == 0)
        return;
    StopReadAhead();
    // The line of the first: line feeds counted in the file's own units up to it.
    const size_t unit = decision_.form == FORM_UTF16LE || decision_.form == FORM_UTF16BE   ? 2
                        : decision_.form == FORM_UTF32LE || decision_.form == FORM_UTF32BE ? 4
                                                                                           : 1;
    const size_t low = decision_.form == FORM_UTF16BE ? 1 : decision_.form == FORM_UTF32BE ? 3 : 0;
    int64_t line = 1;
    std::clearerr(file_);
    if (std::fseek(file_, 0, SEEK_SET) == 0) {
        std::vector<uint8_t> chunk(64 * 1024);
        int64_t offset = 0;
        const int64_t until = decision_.firstUndecodable;
        while (offset < until) {
            const size_t want = static_cast<size_t>(
                std::min<int64_t>(static_cast<int64_t>(chunk.size()), until - offset));
            const size_t got = std::fread(chunk.data(), 1, want - want % unit, file_);
            if (got == 0)
                break;
            for (size_t i = 0; i + unit <= got; i += unit) {
                bool lineFeed = chunk[i + low] == '\n';
                for (size_t k = 0; k < unit && lineFeed; ++k)
                    lineFeed = k == low || chunk[i + k] == 0;
                line += lineFeed;
            }
            offset += static_cast<int64_t>(got);
        }
        decision_.firstUndecodableLine = offset >= until ? line : 0;
    }
    NotifyReader(path_.str(), decision_, ReaderEvent::kClosed);
}

}  // namespace brisko
