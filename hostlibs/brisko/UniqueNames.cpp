// Names for new files and folders that no file has, each made exclusively.
#include "host/brisko/ReplacementFile.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <random>

#include "OwnFiles.h"

#if defined(_WIN32)
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace brisko {

namespace {

std::string RandomPart() {
    static std::atomic<uint64_t> counter{0};
    static const uint64_t seed = [] {
        std::random_device device;
        return (static_cast<uint64_t>(device()) << 32) ^ device() ^
               static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    std::mt19937_64 random(seed ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull) ^
#if defined(_WIN32)
                           static_cast<uint64_t>(_getpid()));
#else
                           static_cast<uint64_t>(getpid()));
#endif
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string part(8, '0');
    for (char& c : part)
        c = digits[random() % 36];
    return part;
}

}  // namespace

bool IsOurName(const std::string& name, const std::string& prefix, const std::string& suffix) {
    if (name.size() != prefix.size() + 8 + suffix.size() ||
        name.compare(0, prefix.size(), prefix) ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix))
        return false;
    for (size_t i = prefix.size(); i < prefix.size() + 8; ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'z')))
            return false;
    return true;
}

#if !defined(_WIN32)
bool HoldNew(int fd, const std::string& path) {
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        // Where the file system has no such locks, no cleaner can take it either.
        return errno != EWOULDBLOCK;
    }
    struct stat mine, named;
    return fstat(fd, &mine) == 0 && lstat(path.c_str(), &named) == 0 &&
           mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
}
#endif

bool CreateUniqueFolder(const std::string& parent, const std::string& name, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = parent + "/" + name + "." + RandomPart();
#if defined(_WIN32)
        if (_wmkdir(Wide(path).c_str()) == 0)
#else
        if (mkdir(path.c_str(), 0700) == 0)
#endif
            return true;
        if (errno != EEXIST)
            return false;
    }
    errno = EEXIST;
    return false;
}

int CreateUniqueFile(const std::string& folder, const std::string& name, const std::string& suffix,
                     uint32_t mode, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = (folder == "." ? std::string() : folder + "/") + name + "." + RandomPart() + "." +
               suffix;
#if defined(_WIN32)
        (void)mode;
        // Shared for reading only: nobody can delete or rename it while it is open, and the
        // delete access lets the owner rename it without closing it first.
        const HANDLE handle =
            CreateFileW(Wide(path).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            errno = error == ERROR_ACCESS_DENIED                                   ? EACCES
                    : error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ? ENOENT
                    : error == ERROR_DISK_FULL                                     ? ENOSPC
                                                                                   : EIO;
            return -1;
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            CloseHandle(handle);
            DeleteFileW(Wide(path).c_str());
            errno = EMFILE;
            return -1;
        }
        return fd;
#else
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            if (HoldNew(fd, path))
                return fd;
            close(fd);
            continue;
        }
        if (errno != EEXIST)
            return -1;
#endif
    }
    errno = EEXIST;
    return -1;
}

}  // namespace brisko
