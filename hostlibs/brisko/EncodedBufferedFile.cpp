// Block decoding and encoding of text files.
#include "host/brisko/EncodedBufferedFile.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "host/brisko/Exception.h"
#include "host/brisko/File.h"

namespace brisko {

namespace {

std::atomic<size_t> defaultBlockSize{64 * 1024};
constexpr size_t kSniffBytes = 512;
constexpr char16_t kReplacement = 0xFFFD;

[[noreturn]] void ThrowFileError(int line, int code, const RString& path, const char* what,
                                 int err) {
    std::string message = std::string(what) + " '" + path.str() + "'";
    if (err != 0)
        message += std::string(": ") + std::strerror(err);
    throw Exception("brisko", "CEncodedBufferedFile", line, code, message);
}

}  // namespace

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
    // A file the user may not change stays as it is.
    if (GetFileSize(path_) >= 0 && !IsWritable(path_))
        ThrowFileError(__LINE__, SHARED_ERR_OPEN, path_, "cannot open", EACCES);
    // The text goes to a file beside the target and takes the target's name only when it is
    // complete, so that a failed or abandoned export never leaves a truncated file there.
    partPath_ = RString(path_.str() + ".part");
    file_ = OpenFile(partPath_, "wb");
    if (!file_)
        ThrowFileError(__LINE__, SHARED_ERR_OPEN, path_, "cannot open", errno);
    m_isUnicode = encoding_ == TE_UTF16LE;
    utf8Output_ = encoding_ == TE_UTF8 ||
                  (encoding_ == TE_ANSI && ResolveCodePage(codePage_) == kCodePageUtf8);
    length_ = 0;
    out_.clear();
    wideOut_.clear();
    if (encoding_ == TE_UTF8)
        out_ = "\xEF\xBB\xBF";
    else if (encoding_ == TE_UTF16LE)
        out_ = "\xFF\xFE";
}

void CEncodedBufferedFile::OpenForReading(int encoding, uint32_t codePage, bool impose,
                                          bool keepSignature) {
    int64_t size = GetFileSize(path_);
    length_ = size < 0 ? 0 : size;
    uint8_t head[kSniffBytes];
    const size_t n = std::fread(head, 1, sizeof head, file_);
    if (std::ferror(file_))
        ThrowFileError(__LINE__, SHARED_ERR_READ, path_, "cannot read", errno);
    const bool utf8Bom = n >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF;
    const bool utf16Bom = n >= 2 && head[0] == 0xFF && head[1] == 0xFE;
    codePage_ = codePage;
    dataStart_ = 0;
    if (impose) {
        encoding_ = encoding == TE_UTF8 || encoding == TE_UTF16LE ? encoding : TE_ANSI;
        const bool utf8 = encoding_ == TE_UTF8 ||
                          (encoding_ == TE_ANSI && ResolveCodePage(codePage) == kCodePageUtf8);
        if ((utf8 && utf8Bom) || (encoding_ == TE_UTF16LE && utf16Bom))
            dataStart_ = utf8Bom ? 3 : 2;
    } else if (utf8Bom) {
        encoding_ = TE_UTF8, dataStart_ = 3;
    } else if (utf16Bom) {
        encoding_ = TE_UTF16LE, dataStart_ = 2;
    } else if (LooksLikeUtf16Le(head, n)) {
        encoding_ = TE_UTF16LE;
    } else {
        encoding_ = TE_ANSI;
    }
    if (keepSignature)
        dataStart_ = 0;
    m_isUnicode = encoding_ == TE_UTF16LE;
    decoder_.reset();
    if (encoding_ == TE_UTF8)
        decoder_ = CodePageDecoder::Create(kCodePageUtf8);
    else if (encoding_ == TE_ANSI)
        decoder_ = CodePageDecoder::Create(codePage_);
    bytes_.assign(blockSize_ + 8, 0);
    units_.assign(blockSize_ + 16, 0);
    ResetDecoding();
}

void CEncodedBufferedFile::ResetDecoding() {
    cur_ = end_ = units_.data() + 1;
    carry_ = 0;
    atEnd_ = false;
    position_ = dataStart_;
    blockStart_ = dataStart_;
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

char16_t CEncodedBufferedFile::Refill() {
    if (!file_ || writing_)
        return kEndOfFile;
    char16_t* data = units_.data() + 1;
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
        blockStart_ = position_ - static_cast<int64_t>(carry_);
        position_ += static_cast<int64_t>(got);
        const size_t have = carry_ + got;
        size_t used = 0, produced = 0;
        if (encoding_ == TE_UTF16LE) {
            const size_t pairs = have / 2;
            for (size_t i = 0; i < pairs; ++i) {
                const char16_t u = static_cast<char16_t>(bytes_[2 * i] | (bytes_[2 * i + 1] << 8));
                data[i] = u == 0xFFFF ? kReplacement : u;
            }
            produced = pairs;
            used = pairs * 2;
        } else {
            produced = decoder_->Decode(bytes_.data(), have, data, units_.size() - 2, used);
        }
        carry_ = have - used;
        if (carry_ > 0)
            std::memmove(bytes_.data(), bytes_.data() + used, carry_);
        if (atEnd_ && carry_ > 0) {
            // A character cut off by the end of the file.
            data[produced++] = kReplacement;
            carry_ = 0;
        }
        if (produced > 0) {
            cur_ = data;
            end_ = data + produced;
            return *cur_++;
        }
    }
    return kEndOfFile;
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
    if (writing_ || !cur_ || end_ == cur_)
        return position_ - static_cast<int64_t>(carry_);
    const char16_t* data = units_.data() + 1;
    const int64_t blockBytes = position_ - static_cast<int64_t>(carry_) - blockStart_;
    return blockStart_ + blockBytes * (cur_ - data) / (end_ - data);
}

int64_t CEncodedBufferedFile::GetLength() const {
    return writing_ ? length_ + static_cast<int64_t>(out_.size() + wideOut_.size()) : length_;
}

void CEncodedBufferedFile::SetCodePage(uint32_t codePage) {
    if (!file_ || writing_ || encoding_ != TE_ANSI) {
        codePage_ = codePage;
        return;
    }
    auto decoder = CodePageDecoder::Create(codePage);
    const bool untouched = position_ == dataStart_;
    codePage_ = codePage;
    decoder_ = std::move(decoder);
    // Text already decoded keeps its old page; at the start nothing has been decoded yet.
    if (untouched)
        ResetDecoding();
}

void CEncodedBufferedFile::WriteString(const char16_t* text, size_t length) {
    if (!file_ || !writing_)
        throw Exception("brisko", "CEncodedBufferedFile", __LINE__, SHARED_ERR_WRITE,
                        "the file '" + path_.str() + "' is not open for writing");
    if (encoding_ == TE_UTF16LE) {
        for (size_t i = 0; i < length; ++i) {
            out_ += static_cast<char>(text[i] & 0xFF);
            out_ += static_cast<char>(text[i] >> 8);
        }
    } else if (utf8Output_) {
        // ASCII, the common case, needs no conversion.
        const size_t start = out_.size();
        out_.resize(start + length);
        char* dst = out_.data() + start;
        size_t i = 0;
        while (i < length && text[i] < 0x80)
            dst[i] = static_cast<char>(text[i]), ++i;
        out_.resize(start + i);
        if (i < length)
            out_ += ToUtf8(WString(text + i, length - i));
    } else {
        // Other pages convert in large pieces: one conversion per call would be slow.
        wideOut_.append(text, length);
        if (wideOut_.size() >= 16 * 1024)
            EncodeWide(false);
    }
    if (out_.size() >= 64 * 1024)
        FlushOutput();
}

void CEncodedBufferedFile::EncodeWide(bool all) {
    size_t n = wideOut_.size();
    // A surrogate pair is never split between two conversions.
    if (!all && n > 0 && wideOut_[n - 1] >= 0xD800 && wideOut_[n - 1] <= 0xDBFF)
        --n;
    out_ += EncodeCodePage(codePage_, wideOut_.data(), n);
    wideOut_.erase(0, n);
}

void CEncodedBufferedFile::FlushOutput() {
    if (!wideOut_.empty())
        EncodeWide(true);
    if (out_.empty())
        return;
    if (std::fwrite(out_.data(), 1, out_.size(), file_) != out_.size())
        ThrowFileError(__LINE__, SHARED_ERR_WRITE, path_, "cannot write", errno);
    length_ += static_cast<int64_t>(out_.size());
    out_.clear();
}

void CEncodedBufferedFile::Close() {
    if (!file_)
        return;
    if (!writing_) {
        std::fclose(file_);
        file_ = nullptr;
        return;
    }
    try {
        FlushOutput();
    } catch (...) {
        Abort(true);
        throw;
    }
    bool ok = std::fflush(file_) == 0;
    int err = ok ? 0 : errno;
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        err = errno;
    }
    file_ = nullptr;
    if (ok && !MoveFileOver(partPath_, path_)) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        RemoveFile(partPath_);
        ThrowFileError(__LINE__, SHARED_ERR_WRITE, path_, "cannot write", err);
    }
}

void CEncodedBufferedFile::Abort(bool removeFile) {
    if (!file_)
        return;
    std::fclose(file_);
    file_ = nullptr;
    out_.clear();
    wideOut_.clear();
    // An abandoned output never reaches its target name, whatever the flag says.
    (void)removeFile;
    if (writing_)
        RemoveFile(partPath_);
}

}  // namespace brisko
