// The encoded file: opening, closing and abandoning it, for reading and writing alike.
#include "host/brisko/EncodedBufferedFile.h"

#include "EncodedFileParts.h"
#include "UntouchedTargets.h"
#include "host/brisko/File.h"

namespace brisko {

std::atomic<size_t> defaultBlockSize{64 * 1024};

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

void CEncodedBufferedFile::Close() {
    if (!file_)
        return;
    if (!writing_) {
        ReportUndecodable();
        ahead_.reset();
        std::fclose(file_);
        file_ = nullptr;
        return;
    }
    CloseOutput();
}

void CEncodedBufferedFile::Abort(bool removeFile) {
    if (!file_)
        return;
    if (!writing_) {
        try {
            ReportUndecodable();
        } catch (...) {
            // An observer that fails must not stop a reader from closing.
        }
    }
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
