// Plain binary file access, paths, and the small file helpers of the shared library.
#pragma once

#include <cstdint>
#include <cstdio>

#include "host/HostApi.h"
#include "host/brisko/RString.h"

namespace brisko {

/// A binary file opened for reading. Access 1 is read; Mode 3 opens an existing file; sharing
/// is accepted for compatibility and not enforced. A file that cannot be opened leaves the object
/// closed: GetLength then answers -1 and Read 0.
class BRISKO_API CFile {
  public:
    CFile(const RString& path, int access, int mode, int sharing);
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    bool IsOpen() const { return file_ != nullptr; }
    /// The length in bytes, negative on failure.
    int64_t GetLength();
    /// Origin 0 is the start of the file. Returns the new position, negative on failure.
    int64_t Seek(int64_t offset, int origin);
    /// Returns the number of bytes read.
    uint32_t Read(void* buffer, uint32_t count);
    void Close();

  private:
    std::FILE* file_ = nullptr;
};

/// Path parts. Both '/' and '\\' separate folders on every build.
class BRISKO_API CPath {
  public:
    explicit CPath(const RString& path) : path_(path) {}
    /// "data.csv" of "dir/data.csv".
    RString GetNameAndExtension() const;
    /// ".csv" of "dir/data.csv"; empty when the name has no period.
    RString GetExtension() const;

  private:
    RString path_;
};

/// Opens a file for binary reading or writing with a path in code page 0; nullptr on failure
/// (errno tells why).
BRISKO_API std::FILE* OpenFile(const RString& path, const char* mode);
/// Whether the path names an existing directory.
BRISKO_API bool IsDirectory(const RString& path);

/// Bytes of the byte-order mark the file begins with (3 for UTF-8, 2 for UTF-16LE), 0 otherwise.
BRISKO_API int GetBOMInfo(const RString& path);
/// Whether an existing file may be written by this process; a regular file without any write
/// bit may not, whoever asks.
BRISKO_API bool IsWritable(const RString& path);
/// Renames from over to, replacing a file there; false on failure (errno tells why).
BRISKO_API bool MoveFileOver(const RString& from, const RString& to);
/// Deletes the file (a symbolic link itself, not what it names); false when it could not be
/// deleted. A character device, FIFO or socket is never deleted.
BRISKO_API bool RemoveFile(const RString& path);
/// The file's size in bytes; -1 when it does not exist or cannot be examined.
BRISKO_API int64_t GetFileSize(const RString& path);

/// The confidence with which a sample of a file is judged text.
enum ConfidenceLevel : int {
    CONF_BINARY = 0,      ///< certainly binary: NUL bytes or mostly control bytes
    CONF_TEXT_LOW = 1,    ///< probably text, with some odd bytes
    CONF_UNREADABLE = 2,  ///< the file could not be read
    CONF_TEXT = 3,        ///< text
};

/// Judges the first sampleSize bytes: a byte-order mark or the look of UTF-16 or UTF-32 text is
/// text (UnmarkedUnicodeForm);
/// a NUL byte elsewhere, or more than one byte in ten being a control character other than
/// tab, line feed, form feed, carriage return and escape, is binary.
BRISKO_API ConfidenceLevel IsFileBinary(const RString& path, int sampleSize);
/// The same judgement on bytes already in memory (complete: they are the whole file).
BRISKO_API ConfidenceLevel JudgeTextSample(const uint8_t* data, size_t size, bool complete = false);
/// Whether a sample without byte-order mark looks like UTF-16LE (or UTF-16BE) text.
BRISKO_API bool LooksLikeUtf16Le(const uint8_t* data, size_t size);
BRISKO_API bool LooksLikeUtf16Be(const uint8_t* data, size_t size);

/// Whether the text reads as a number, agreeing with what _wtof reads: optional leading white
/// space, an optional sign, digits with an optional '.', an optional exponent ('e' or 'E', an
/// optional sign, digits); after the number either the end or white space followed by anything.
/// "12", " 1.5e3 ", "1 2 3" and "12 kg" are numbers; "12abc", "abc", "", " kg", "." are not.
BRISKO_API bool IsNumber(const char16_t* text);

}  // namespace brisko
