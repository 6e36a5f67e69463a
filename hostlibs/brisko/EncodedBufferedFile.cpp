// Block decoding and encoding of text files.
#include "host/brisko/EncodedBufferedFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "host/brisko/Exception.h"
#include "host/brisko/EncodingDetection.h"
#include "host/brisko/File.h"

#include "FileOffsets.h"
#include "host/brisko/ReplacementFile.h"
#include "UntouchedTargets.h"
#include "Utf8.h"

namespace brisko {

namespace {

std::atomic<size_t> defaultBlockSize{64 * 1024};
// Blocks decoded ahead of the reader. The thread sleeps until half of them are free again, so
// that it is woken once per several blocks: a wake-up costs more than decoding a small block.
constexpr size_t kBlocksAhead = 8;
// Output: encoded into a block of kOutCapacity bytes, written out once kOutFlushAt are there.
// A piece of kOutPieceUnits units always fits in what is left.
constexpr size_t kOutPieceUnits = 16 * 1024;
constexpr size_t kOutFlushAt = 64 * 1024;
constexpr size_t kOutCapacity = kOutFlushAt + kOutPieceUnits * kUtf8BytesPerUnit;
// Shorter files are read on the reader's own thread: a thread would cost more than it saves.
constexpr int64_t kReadAheadBlocks = 4;
constexpr char16_t kReplacement = 0xFFFD;

[[noreturn]] void ThrowFileError(int line, int code, const RString& path, const char* what,
                                 int err) {
    std::string message = std::string(what) + " '" + path.str() + "'";
    if (err != 0)
        message += std::string(": ") + std::strerror(err);
    throw Exception("brisko", "CEncodedBufferedFile", line, code, message);
}

}  // namespace

/// Where written bytes go: a file that replaces the target when complete, or a device, FIFO or
/// socket written as it is.
class CEncodedBufferedFile::Output {
  public:
    WriteTarget target;
    ReplacementFile part;
};

/// Decodes the blocks after the reader's on a thread of its own. Blocks travel by swapping
/// buffers, so nothing is copied; the thread alone touches the file and the decoder while it
/// runs.
class CEncodedBufferedFile::ReadAhead {
  public:
    explicit ReadAhead(CEncodedBufferedFile& file) : file_(file) {
        for (size_t i = 0; i < kBlocksAhead; ++i)
            free_.emplace_back().units.assign(file.units_.size(), 0);
        thread_ = std::thread([this] { Run(); });
    }

    ~ReadAhead() { Stop(); }

    /// Hands the reader the next block in exchange for its current buffer; 0 at the end.
    /// Throws what decoding the block threw.
    size_t Take(std::vector<char16_t>& units, int64_t& start, int64_t& end) {
        if (finished_)
            return 0;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty(); });
        Block block = std::move(ready_.front());
        ready_.pop_front();
        const size_t count = block.count;
        if (count == 0)
            finished_ = true;
        else {
            units.swap(block.units);
            start = block.start;
            end = block.end;
        }
        const std::exception_ptr error = std::move(block.error);
        free_.push_back(std::move(block));
        lock.unlock();
        changed_.notify_all();
        if (error)
            std::rethrow_exception(error);
        return count;
    }

    /// Stops the thread; returns where the first block the reader has not taken began, or -1
    /// when it has taken them all.
    int64_t Stop() {
        if (thread_.joinable()) {
            {
                std::lock_guard lock(mutex_);
                stop_ = true;
            }
            changed_.notify_all();
            thread_.join();
        }
        return ready_.empty() ? -1 : ready_.front().start;
    }

  private:
    struct Block {
        std::vector<char16_t> units;
        size_t count = 0;
        int64_t start = 0;
        int64_t end = 0;
        std::exception_ptr error;
    };

    void Run() {
        for (;;) {
            Block block;
            {
                std::unique_lock lock(mutex_);
                if (free_.empty())
                    changed_.wait(lock,
                                  [this] { return free_.size() >= kBlocksAhead / 2 || stop_; });
                if (stop_)
                    return;
                block = std::move(free_.back());
                free_.pop_back();
            }
            block.start = file_.position_ - static_cast<int64_t>(file_.carry_);
            block.error = nullptr;
            try {
                block.count = file_.DecodeBlock(block.units.data() + 1, block.units.size() - 2,
                                                block.start, block.end);
            } catch (...) {
                block.count = 0;
                block.error = std::current_exception();
            }
            const bool last = block.count == 0;
            {
                std::lock_guard lock(mutex_);
                ready_.push_back(std::move(block));
            }
            changed_.notify_all();
            if (last)
                return;
        }
    }

    CEncodedBufferedFile& file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> ready_;  // decoded, in file order
    std::vector<Block> free_;  // buffers to decode into
    bool stop_ = false;
    bool finished_ = false;  // the reader has taken the last block
    std::thread thread_;
};

void CEncodedBufferedFile::SetDefaultBlockSize(size_t bytes) {
    defaultBlockSize.store(bytes == 0 ? 1 : bytes);
}

size_t CEncodedBufferedFile::GetDefaultBlockSize() {
    return defaultBlockSize.load();
}

CEncodedBufferedFile::CEncodedBufferedFile() : blockSize_(defaultBlockSize.load()) {}

CEncodedBufferedFile::CEncodedBufferedFile(const RString& path, const char* mode, int sharing,
                                           int encoding, uint32_t codePage, bool imposeEncoding,
                                           bool keepSignature)
    : CEncodedBufferedFile() {
    Open(path, mode, sharing, encoding, codePage, imposeEncoding, keepSignature);
}

CEncodedBufferedFile::~CEncodedBufferedFile() {
    if (file_)
        Abort(false);
}

void CEncodedBufferedFile::Open(const RString& path, const char* mode, int, int encoding,
                                uint32_t codePage, bool imposeEncoding, bool keepSignature) {
    if (file_)
        Abort(false);
    path_ = path;
    writing_ = mode && (mode[0] == 'w' || mode[0] == 'a');
    blockSize_ = defaultBlockSize.load();
    m_isUnicode = 0;
    if (IsDirectory(path))
        ThrowFileError(__LINE__, SHARED_ERR_OPEN, path, "cannot open", EISDIR);
    if (writing_) {
        TakeUntouchedTarget(path.str());
        OpenForWriting(encoding, codePage);
        return;
    }
    file_ = OpenFile(path, "rb");
    if (!file_)
        ThrowFileError(__LINE__, SHARED_ERR_OPEN, path, "cannot open", errno);
    try {
        OpenForReading(encoding, codePage, imposeEncoding && encoding != TE_ANY, keepSignature);
    } catch (...) {
        Abort(false);
        throw;
    }
}

void CEncodedBufferedFile::OpenForWriting(int encoding, uint32_t codePage) {
    encoding_ = encoding == TE_UTF8 || encoding == TE_UTF16LE ? encoding : TE_ANSI;
    codePage_ = codePage;
    if (encoding_ == TE_ANSI && !IsCodePageAvailable(codePage_))
        throw Exception(
            "brisko", "CEncodedBufferedFile", __LINE__, SHARED_ERR_CODEPAGE,
            "code page " + std::to_string(codePage_) + " cannot be converted on this system");
    auto output = std::make_unique<Output>();
    output->target = WriteTarget::Resolve(path_.str());
    // A file the user may not change stays as it is.
    if (output->target.exists && output->target.readOnly)
        ThrowFileError(__LINE__, SHARED_ERR_OPEN, path_, "cannot open", EACCES);
    if (output->target.inPlace) {
        file_ = OpenFile(RString(output->target.path), "wb");
    } else {
        // The text goes to a file beside the target and takes the target's place only when it
        // is complete, so that a failed or abandoned export never leaves a truncated file there.
        if (output->part.Create(output->target))
            file_ = output->part.Stream();
    }
    if (!file_)
        ThrowFileError(__LINE__, SHARED_ERR_OPEN, path_, "cannot open", errno);
    output_ = std::move(output);
    m_isUnicode = encoding_ == TE_UTF16LE;
    utf8Output_ = encoding_ == TE_UTF8 ||
                  (encoding_ == TE_ANSI && ResolveCodePage(codePage_) == kCodePageUtf8);
    directAscii_ = utf8Output_;
    length_ = 0;
    if (!out_)
        out_ = std::make_unique<char[]>(kOutCapacity);
    outSize_ = 0;
    pendingHigh_ = 0;
    wideOut_.clear();
    if (encoding_ == TE_UTF8)
        PutBytes("\xEF\xBB\xBF", 3);
    else if (encoding_ == TE_UTF16LE)
        PutBytes("\xFF\xFE", 2);
}

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
                decision_.codePage = codePage, decision_.why = "given";
            codePage_ = decision_.codePage;
        }
        detected_ = decision_.why == "detected" || decision_.why == "guessed";
    }
    if (keepSignature)
        dataStart_ = 0;
    m_isUnicode = decision_.Wide() ? 1 : 0;
    decoder_.reset();
    if (encoding_ == TE_UTF8)
        decoder_ = CodePageDecoder::Create(kCodePageUtf8);
    else if (encoding_ == TE_ANSI)
        decoder_ = CodePageDecoder::Create(codePage_);
    bytes_.assign(blockSize_ + 8, 0);
    // One unit before the block for UnGetc, room for a few units more than the bytes (a
    // sequence carried from the block before), and the units that may be read after the end.
    units_.assign(1 + blockSize_ + 8 + kReadableAfterLimit, 0);
    ResetDecoding();
    NotifyReaderOpened(path_.str(), decision_);
}

void CEncodedBufferedFile::ResetDecoding() {
    StopReadAhead();
    cur_ = end_ = units_.data() + 1;
    carry_ = 0;
    atEnd_ = false;
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
    const size_t produced =
        ahead_ ? ahead_->Take(units_, blockStart_, blockEnd_)
               : DecodeBlock(units_.data() + 1, units_.size() - 1 - kReadableAfterLimit,
                             blockStart_, blockEnd_);
    if (produced == 0)
        return kEndOfFile;
    cur_ = units_.data() + 1;
    end_ = cur_ + produced;
    return *cur_++;
}

size_t CEncodedBufferedFile::DecodeBlock(char16_t* data, size_t room, int64_t& start,
                                         int64_t& end) {
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
            produced = decoder_->Decode(bytes_.data(), have, data, room, used);
        }
        carry_ = have - used;
        if (carry_ > 0)
            std::memmove(bytes_.data(), bytes_.data() + used, carry_);
        if (atEnd_ && carry_ > 0) {
            // A character cut off by the end of the file.
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
    // Page 0 is "the default for this file": on a detected file, what was detected.
    if (codePage == 0 && detected_)
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
    // Text already decoded keeps its old page; at the start nothing has been decoded yet.
    if (untouched)
        ResetDecoding();
}

void CEncodedBufferedFile::WriteEncoded(const char16_t* text, size_t length) {
    // The inline road of WriteString fills the block up to where it is written out.
    static_assert(kDirectEnd == kOutFlushAt);
    if (!file_ || !writing_)
        throw Exception("brisko", "CEncodedBufferedFile", __LINE__, SHARED_ERR_WRITE,
                        "the file '" + path_.str() + "' is not open for writing");
    if (encoding_ == TE_UTF16LE || utf8Output_) {
        if (utf8Output_ && length > 0) {
            // A pair split between two calls is encoded whole.
            if (pendingHigh_ != 0) {
                const char16_t pair[2] = {pendingHigh_, text[0]};
                const bool whole = text[0] >= 0xDC00 && text[0] <= 0xDFFF;
                pendingHigh_ = 0;
                PutUtf8(pair, whole ? 2 : 1);
                text += whole ? 1 : 0;
                length -= whole ? 1 : 0;
            }
            if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
                pendingHigh_ = text[--length];
        }
        // Encoded straight into the output block, in pieces that always fit in it.
        while (length > 0) {
            size_t units = length < kOutPieceUnits ? length : kOutPieceUnits;
            // A surrogate pair is never split between two pieces.
            if (units < length && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF)
                --units;
            if (outSize_ + units * kUtf8BytesPerUnit > kOutCapacity)
                FlushOutput();
            char* out = out_.get() + outSize_;
            if (encoding_ == TE_UTF16LE) {
                for (size_t i = 0; i < units; ++i) {
                    out[2 * i] = static_cast<char>(text[i] & 0xFF);
                    out[2 * i + 1] = static_cast<char>(text[i] >> 8);
                }
                outSize_ += 2 * units;
            } else {
                outSize_ += EncodeUtf8(text, units, out);
            }
            text += units;
            length -= units;
        }
    } else {
        // Other pages convert in large pieces: one conversion per call would be slow.
        wideOut_.append(text, length);
        if (wideOut_.size() >= kOutPieceUnits)
            EncodeWide(false);
    }
    if (outSize_ >= kOutFlushAt)
        FlushOutput();
}

void CEncodedBufferedFile::PutUtf8(const char16_t* text, size_t length) {
    char bytes[8];
    PutBytes(bytes, EncodeUtf8(text, length, bytes));
}

void CEncodedBufferedFile::PutBytes(const char* bytes, size_t n) {
    if (outSize_ + n > kOutCapacity)
        FlushOutput();
    if (n > kOutCapacity) {
        WriteOut(bytes, n);
        return;
    }
    std::memcpy(out_.get() + outSize_, bytes, n);
    outSize_ += n;
}

void CEncodedBufferedFile::EncodeWide(bool all) {
    size_t n = wideOut_.size();
    // A surrogate pair is never split between two conversions.
    if (!all && n > 0 && wideOut_[n - 1] >= 0xD800 && wideOut_[n - 1] <= 0xDBFF)
        --n;
    const std::string bytes = EncodeCodePage(codePage_, wideOut_.data(), n);
    wideOut_.erase(0, n);
    PutBytes(bytes.data(), bytes.size());
}

void CEncodedBufferedFile::FlushOutput() {
    if (!wideOut_.empty())
        EncodeWide(true);
    if (outSize_ == 0)
        return;
    // Emptied first: a failed write must not leave the bytes to be written again.
    const size_t n = outSize_;
    outSize_ = 0;
    WriteOut(out_.get(), n);
}

void CEncodedBufferedFile::WriteOut(const char* bytes, size_t n) {
    if (std::fwrite(bytes, 1, n, file_) != n)
        ThrowFileError(__LINE__, SHARED_ERR_WRITE, path_, "cannot write", errno);
    length_ += static_cast<int64_t>(n);
}

void CEncodedBufferedFile::Close() {
    if (!file_)
        return;
    if (!writing_) {
        ahead_.reset();
        std::fclose(file_);
        file_ = nullptr;
        return;
    }
    directAscii_ = false;
    // An output that received no text has nothing to put in the place of a file already there.
    const int64_t markBytes = encoding_ == TE_UTF8 ? 3 : encoding_ == TE_UTF16LE ? 2 : 0;
    if (GetLength() == markBytes && pendingHigh_ == 0 && output_->target.exists &&
        !output_->target.inPlace) {
        output_->part.Discard();
        file_ = nullptr;
        output_.reset();
        outSize_ = 0;
        wideOut_.clear();
        NoteUntouchedTarget(path_.str());
        return;
    }
    try {
        // A pair that never got its second half.
        if (pendingHigh_ != 0) {
            PutUtf8(&pendingHigh_, 1);
            pendingHigh_ = 0;
        }
        FlushOutput();
    } catch (...) {
        Abort(true);
        throw;
    }
    bool ok;
    int err = 0;
    if (output_->target.inPlace) {
        ok = std::fflush(file_) == 0;
        err = ok ? 0 : errno;
        if (std::fclose(file_) != 0 && ok)
            ok = false, err = errno;
    } else {
        ok = output_->part.Commit(false);
        err = ok ? 0 : errno;
    }
    file_ = nullptr;
    output_.reset();
    if (!ok)
        ThrowFileError(__LINE__, SHARED_ERR_WRITE, path_, "cannot write", err);
}

void CEncodedBufferedFile::Abort(bool removeFile) {
    if (!file_)
        return;
    ahead_.reset();
    // An abandoned output never reaches its target name, whatever the flag says.
    (void)removeFile;
    if (writing_ && output_ && !output_->target.inPlace)
        output_->part.Discard();
    else
        std::fclose(file_);
    file_ = nullptr;
    directAscii_ = false;
    output_.reset();
    outSize_ = 0;
    wideOut_.clear();
}

}  // namespace brisko
