// Writing an encoded file: text encoded into blocks that go to a file replacing the target.
#include "host/brisko/EncodedBufferedFile.h"

#include <cerrno>
#include <cstdlib>
#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include "EncodedFileParts.h"
#include "UntouchedTargets.h"
#include "host/brisko/File.h"

namespace brisko {

namespace {

/// The descriptor a name such as /proc/self/fd/1 stands for, written through a copy of it: a
/// new opening of the name would write from an offset of its own, and the bytes the shell then
/// writes after ours, as "{ …; } > out" does, would land on top of them.
std::FILE* OpenDescriptor(const std::string& path) {
#if defined(_WIN32)
    return OpenFile(RString(path), "wb");
#else
    const int fd = std::atoi(path.c_str() + path.find_last_of('/') + 1);
    const int copy = dup(fd);
    if (copy < 0)
        return nullptr;
    std::FILE* file = fdopen(copy, "wb");
    if (!file)
        close(copy);
    return file;
#endif
}

}  // namespace

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
        file_ = output->target.descriptor ? OpenDescriptor(output->target.path)
                                          : OpenFile(RString(output->target.path), "wb");
    } else {
        // The text goes to a file beside the target and takes the target's place only when it
        // is complete, so that a failed or abandoned export never leaves a truncated file there.
        if (output->part.Create(output->target))
            file_ = output->part.Stream();
    }
    if (!file_)
        ThrowFileError(__LINE__, SHARED_ERR_OPEN, path_, "cannot open", errno);
    // Only a file that replaces another is flushed whole as it takes the other's place; any other
    // is left to the system to write out when it will, and starting that early would only make
    // the writer wait for a slow disk.
    replacesFile_ = output->target.exists && !output->target.inPlace;
    writtenBack_ = 0;
    output_ = std::move(output);
    m_isUnicode = encoding_ == TE_UTF16LE;
    utf8Output_ = encoding_ == TE_UTF8 ||
                  (encoding_ == TE_ANSI && ResolveCodePage(codePage_) == kCodePageUtf8);
    directAscii_ = utf8Output_;
    length_ = 0;
    if (!out_)
        out_ = std::make_unique_for_overwrite<char[]>(kOutCapacity);
    outSize_ = 0;
    pendingHigh_ = 0;
    wideOut_.clear();
    if (encoding_ == TE_UTF8)
        PutBytes("\xEF\xBB\xBF", 3);
    else if (encoding_ == TE_UTF16LE)
        PutBytes("\xFF\xFE", 2);
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

char* CEncodedBufferedFile::MakeAsciiRoom(size_t bytes) {
    static_assert(kAsciiRoomMost <= kDirectEnd);
    if (!directAscii_ || pendingHigh_ != 0 || bytes > kAsciiRoomMost)
        return nullptr;
    FlushOutput();
    return out_.get() + outSize_;
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
    if (replacesFile_ && length_ - writtenBack_ >= kWritebackBytes)
        StartWriteback();
}

void CEncodedBufferedFile::StartWriteback() {
#if defined(__linux__)
    // The bytes written so far start on their way to the disk while the rest is made. Left
    // dirty, all of them would be flushed at once when the finished file is renamed over its
    // target, which the file system does before the rename returns: a tenth of a second for
    // a hundred megabytes, with nothing else to do.
    // A failed flush is a failed write: left to the close, its bytes could be dropped unsaid.
    if (std::fflush(file_) != 0)
        ThrowFileError(__LINE__, SHARED_ERR_WRITE, path_, "cannot write", errno);
    (void)sync_file_range(fileno(file_), writtenBack_, length_ - writtenBack_,
                          SYNC_FILE_RANGE_WRITE);
#endif
    writtenBack_ = length_;
}

void CEncodedBufferedFile::CloseOutput() {
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

}  // namespace brisko
