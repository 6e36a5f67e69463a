// Streams spooled into files that the plug-in can open, measure and read again.
#include "InputFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "host/brisko/ReplacementFile.h"
#include "host/brisko/File.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/vfs.h>
#include <unistd.h>
#endif

namespace dornel::app {

namespace {

constexpr size_t kChunk = 1 << 16;

/// The name the spooled file takes, so that the plug-in's messages read as the user's input.
std::string SpoolName(const std::string& given) {
    if (given == "-")
        return "stdin";
    const size_t slash = given.find_last_of("/\\");
    std::string name = slash == std::string::npos ? given : given.substr(slash + 1);
    return name.empty() || name == "." || name == ".." ? std::string("input") : name;
}

int ReadSome(int fd, char* buffer, size_t size) {
#if defined(_WIN32)
    return _read(fd, buffer, static_cast<unsigned>(size));
#else
    for (;;) {
        const ssize_t n = read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return static_cast<int>(n);
    }
#endif
}

#if !defined(_WIN32)
/// Whether a regular file's size says nothing of its content, so that it must be read as a
/// stream is: the files of the kernel's pseudo file systems (most of /proc and /sys say 0 or
/// 4096 bytes and give something else), and any file of 0 bytes that still gives bytes.
bool SizeMisleads(const std::string& path, const struct stat& st) {
    struct statfs fs;
    if (statfs(path.c_str(), &fs) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
            case 0x9fa0:      // proc
            case 0x62656572:  // sysfs
            case 0x64626720:  // debugfs
            case 0x74726163:  // tracefs
            case 0x73636673:  // securityfs
            case 0x27e0eb:    // cgroup
            case 0x63677270:  // cgroup2
            case 0x62656570:  // configfs
            case 0x6165676c:  // pstore
            case 0xde5e81e4:  // efivarfs
            case 0xcafe4a11:  // bpf
                return true;
            default:
                break;
        }
    }
    if (st.st_size != 0)
        return false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    char byte;
    const bool gives = read(fd, &byte, 1) == 1;
    close(fd);
    return gives;
}
#endif

}  // namespace

InputFile::InputFile(const std::string& given) : given_(given), path_(given) {
    if (given == "-") {
        bool isDevice = false;
#if !defined(_WIN32)
        // "< /dev/zero" is the same device as the path /dev/zero, and is judged the same way.
        struct stat st;
        isDevice = fstat(0, &st) == 0 && S_ISCHR(st.st_mode) && !isatty(0);
#endif
        try {
            Spool(0, isDevice);
        } catch (...) {
            Remove();
            throw;
        }
        return;
    }
#if !defined(_WIN32)
    struct stat st;
    if (stat(given.c_str(), &st) != 0 || (S_ISREG(st.st_mode) && !SizeMisleads(given, st)) ||
        S_ISDIR(st.st_mode))
        return;
    const int fd = open(given.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot read '" + given + "': " + std::strerror(errno));
    try {
        Spool(fd, S_ISCHR(st.st_mode) && !isatty(fd));
    } catch (...) {
        close(fd);
        Remove();
        throw;
    }
    close(fd);
#endif
}

InputFile::~InputFile() {
    Remove();
}

void InputFile::Remove() noexcept {
    spool_.Remove();
}

void InputFile::Spool(int fd, bool isDevice) {
#if defined(_WIN32)
    _setmode(fd, _O_BINARY);
#endif
    if (!spool_.Create(SpoolName(given_)))
        throw std::runtime_error("cannot read '" + given_ +
                                 "': no temporary folder to spool it in: " + spool_.Failure());
    path_ = spool_.FilePath();
    std::FILE* out = brisko::OpenFile(brisko::RString(path_), "wb");
    if (!out)
        throw std::runtime_error("cannot spool '" + given_ + "' into '" + spool_.Folder() +
                                 "': " + std::strerror(errno));
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    bool first = true;
    for (;;) {
        const int n = ReadSome(fd, buffer.get(), kChunk);
        if (n < 0) {
            const int err = errno;
            std::fclose(out);
            throw std::runtime_error("cannot read '" + given_ + "': " + std::strerror(err));
        }
        if (n == 0)
            break;
        // A device such as /dev/zero never ends: its first block tells what it gives.
        if (first && isDevice &&
            brisko::JudgeTextSample(reinterpret_cast<const uint8_t*>(buffer.get()),
                                    static_cast<size_t>(n)) == brisko::CONF_BINARY) {
            std::fclose(out);
            throw std::runtime_error("cannot import '" + given_ +
                                     "': it is a device that gives binary data, not text");
        }
        first = false;
        if (std::fwrite(buffer.get(), 1, static_cast<size_t>(n), out) != static_cast<size_t>(n)) {
            const int err = errno;
            std::fclose(out);
            throw std::runtime_error("cannot spool '" + given_ + "' into '" + spool_.Folder() +
                                     "': " + std::strerror(err));
        }
    }
    if (std::fclose(out) != 0)
        throw std::runtime_error("cannot spool '" + given_ + "' into '" + spool_.Folder() +
                                 "': " + std::strerror(errno));
}

std::string InputFile::Describe(std::string text) const {
    if (!Spooled())
        return text;
    for (size_t at = text.find(path_); at != std::string::npos;
         at = text.find(path_, at + given_.size()))
        text.replace(at, path_.size(), given_);
    return text;
}

brisko::Exception InputFile::Renamed(const brisko::Exception& error) const {
    brisko::Exception renamed(error.Module().c_str(), error.File().c_str(), error.Line(),
                              error.Code(), Describe(error.what()));
    renamed.SetCodeName(error.CodeName());
    return renamed;
}

}  // namespace dornel::app
