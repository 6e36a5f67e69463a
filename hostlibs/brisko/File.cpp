// Plain binary files, paths, and the small file helpers: sizes, byte-order marks, the text test.
#include "host/brisko/File.h"

#include "host/brisko/EncodingDetection.h"

#include "FileOffsets.h"
#include "UntouchedTargets.h"
#include "host/brisko/ReplacementFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <wchar.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace brisko {

namespace {

#if defined(_WIN32)
std::wstring WidePath(const RString& path) {
    static_assert(sizeof(wchar_t) == 2);
    WString w = path.ToWide();
    return std::wstring(reinterpret_cast<const wchar_t*>(w.c_str()), w.size());
}
#endif

bool StatPath(const RString& path, int64_t& size, bool& isDirectory) {
#if defined(_WIN32)
    struct _stat64 st;
    if (_wstat64(WidePath(path).c_str(), &st) != 0)
        return false;
    isDirectory = (st.st_mode & _S_IFDIR) != 0;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    isDirectory = S_ISDIR(st.st_mode);
#endif
    size = static_cast<int64_t>(st.st_size);
    return true;
}

bool IsSpaceUnit(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}
bool IsDigitUnit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

}  // namespace

int64_t Tell64(std::FILE* f) {
#if defined(_WIN32)
    return _ftelli64(f);
#else
    return ftello(f);
#endif
}

int Seek64(std::FILE* f, int64_t offset, int origin) {
#if defined(_WIN32)
    return _fseeki64(f, offset, origin);
#else
    return fseeko(f, offset, origin);
#endif
}

std::FILE* OpenFile(const RString& path, const char* mode) {
#if defined(_WIN32)
    WString m = RString(mode).ToWide();
    return _wfopen(WidePath(path).c_str(), reinterpret_cast<const wchar_t*>(m.c_str()));
#else
    return std::fopen(path.c_str(), mode);
#endif
}

bool IsDirectory(const RString& path) {
    int64_t size;
    bool dir = false;
    return StatPath(path, size, dir) && dir;
}

CFile::CFile(const RString& path, int, int, int) {
    if (!IsDirectory(path))
        file_ = OpenFile(path, "rb");
}

CFile::~CFile() {
    Close();
}

int64_t CFile::GetLength() {
    if (!file_)
        return -1;
    const int64_t here = Tell64(file_);
    if (here < 0 || Seek64(file_, 0, SEEK_END) != 0)
        return -1;
    const int64_t length = Tell64(file_);
    Seek64(file_, here, SEEK_SET);
    return length;
}

int64_t CFile::Seek(int64_t offset, int origin) {
    if (!file_)
        return -1;
    const int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    if (Seek64(file_, offset, whence) != 0)
        return -1;
    return Tell64(file_);
}

uint32_t CFile::Read(void* buffer, uint32_t count) {
    if (!file_)
        return 0;
    return static_cast<uint32_t>(std::fread(buffer, 1, count, file_));
}

void CFile::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

RString CPath::GetNameAndExtension() const {
    const std::string& s = path_.str();
    const size_t slash = s.find_last_of("/\\");
    return RString(slash == std::string::npos ? s : s.substr(slash + 1));
}

RString CPath::GetExtension() const {
    const std::string name = GetNameAndExtension().str();
    const size_t dot = name.find_last_of('.');
    return RString(dot == std::string::npos ? std::string() : name.substr(dot));
}

int GetBOMInfo(const RString& path) {
    std::FILE* f = OpenFile(path, "rb");
    if (!f)
        return 0;
    unsigned char b[3] = {0, 0, 0};
    const size_t n = std::fread(b, 1, 3, f);
    std::fclose(f);
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return 3;
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE)
        return 2;
    return 0;
}

bool IsWritable(const RString& path) {
#if defined(_WIN32)
    return _waccess(WidePath(path).c_str(), 2) == 0;
#else
    // A regular file without any write bit was made read-only on purpose, even for root.
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)
        return false;
    return access(path.c_str(), W_OK) == 0;
#endif
}

bool MoveFileOver(const RString& from, const RString& to) {
#if defined(_WIN32)
    if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = EACCES;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

namespace {

std::mutex untouchedMutex;
std::set<std::string> untouchedTargets;

}  // namespace

void NoteUntouchedTarget(const std::string& path) {
    std::lock_guard lock(untouchedMutex);
    untouchedTargets.insert(path);
}

bool TakeUntouchedTarget(const std::string& path) {
    std::lock_guard lock(untouchedMutex);
    return untouchedTargets.erase(path) > 0;
}

bool RemoveFile(const RString& path) {
    // The output that was to replace it was never made: there is nothing of it to remove.
    if (TakeUntouchedTarget(path.str()))
        return true;
#if defined(_WIN32)
    return _wremove(WidePath(path).c_str()) == 0;
#else
    // What a writer made is the file a link names, not the user's link; a device, FIFO, socket
    // or open descriptor that was written in place is no file of ours to delete.
    const WriteTarget target = WriteTarget::Resolve(path.str());
    if (target.exists && (target.inPlace || target.directory)) {
        errno = EPERM;
        return false;
    }
    return std::remove(target.path.c_str()) == 0;
#endif
}

int64_t GetFileSize(const RString& path) {
    int64_t size = -1;
    bool dir = false;
    if (!StatPath(path, size, dir))
        return -1;
    return size;
}

ConfidenceLevel JudgeTextSample(const uint8_t* data, size_t size, bool complete) {
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        return CONF_TEXT;
    if (size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF)))
        return CONF_TEXT;
    if (UnmarkedUnicodeForm(data, size, complete) != FORM_8BIT)
        return CONF_TEXT;
    size_t odd = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        if (b == 0)
            return CONF_BINARY;
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\f' && b != '\r' && b != 0x1B)
            ++odd;
        else if (b == 0x7F)
            ++odd;
    }
    if (odd * 10 > size)
        return CONF_BINARY;
    return odd > 0 ? CONF_TEXT_LOW : CONF_TEXT;
}

ConfidenceLevel IsFileBinary(const RString& path, int sampleSize) {
    if (IsDirectory(path))
        return CONF_UNREADABLE;
    std::FILE* f = OpenFile(path, "rb");
    if (!f)
        return CONF_UNREADABLE;
    std::vector<uint8_t> sample(static_cast<size_t>(sampleSize > 0 ? sampleSize : 512));
    const size_t n = std::fread(sample.data(), 1, sample.size(), f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return CONF_UNREADABLE;
    return JudgeTextSample(sample.data(), n, n < sample.size());
}

bool IsNumber(const char16_t* p) {
    while (IsSpaceUnit(*p))
        ++p;
    if (*p == u'+' || *p == u'-')
        ++p;
    size_t digits = 0;
    while (IsDigitUnit(*p))
        ++p, ++digits;
    if (*p == u'.') {
        ++p;
        while (IsDigitUnit(*p))
            ++p, ++digits;
    }
    if (digits == 0)
        return false;
    if (*p == u'e' || *p == u'E') {
        const char16_t* q = p + 1;
        if (*q == u'+' || *q == u'-')
            ++q;
        if (IsDigitUnit(*q)) {
            while (IsDigitUnit(*q))
                ++q;
            p = q;
        }
    }
    return *p == 0 || IsSpaceUnit(*p);
}

}  // namespace brisko
