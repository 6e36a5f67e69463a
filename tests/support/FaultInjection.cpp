// A library the tests preload into the host program to make chosen calls of the C library fail,
// so that the error paths of whole runs can be walked as a user meets them. DORNEL_FAULTS lists
// entries CALL:N:ERROR separated by commas: the N-th call of CALL (counting from 1), or with
// "N+" every call from the N-th on, fails with ERROR (EIO, ENOSPC, EXDEV, EACCES, EROFS, EPERM or
// a number). CALL is rename, fsync, unlink, flock, open, or read0 (a read of standard input).
// Calls not named go through untouched, and without DORNEL_FAULTS nothing changes.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum Call { kRename, kFsync, kUnlink, kFlock, kOpen, kRead0, kCalls };
constexpr const char* kNames[kCalls] = {"rename", "fsync", "unlink", "flock", "open", "read0"};

struct Fault {
    long from = 0;  // 0: never
    bool onward = false;
    int error = 0;
};

Fault faults[kCalls];
std::atomic<long> counts[kCalls];

int ErrorNumber(const char* name) {
    static const struct {
        const char* name;
        int value;
    } known[] = {{"EIO", EIO},       {"ENOSPC", ENOSPC}, {"EXDEV", EXDEV},
                 {"EACCES", EACCES}, {"EROFS", EROFS},   {"EPERM", EPERM}};
    for (const auto& k : known)
        if (std::strcmp(k.name, name) == 0)
            return k.value;
    return std::atoi(name);
}

[[gnu::constructor]] void ReadFaults() {
    const char* given = std::getenv("DORNEL_FAULTS");
    if (!given)
        return;
    char entry[64];
    while (*given) {
        const char* end = std::strchr(given, ',');
        const size_t n = end ? static_cast<size_t>(end - given) : std::strlen(given);
        std::snprintf(entry, sizeof entry, "%.*s", static_cast<int>(n), given);
        given += end ? n + 1 : n;
        char* first = std::strchr(entry, ':');
        char* second = first ? std::strchr(first + 1, ':') : nullptr;
        if (!second)
            continue;
        *first = *second = '\0';
        for (int c = 0; c < kCalls; ++c) {
            if (std::strcmp(entry, kNames[c]) != 0)
                continue;
            faults[c].from = std::atol(first + 1);
            faults[c].onward = std::strchr(first + 1, '+') != nullptr;
            faults[c].error = ErrorNumber(second + 1);
        }
    }
}

/// Whether this call of c is to fail; errno is set when it is.
bool Fails(Call c) {
    const Fault& f = faults[c];
    if (f.from == 0)
        return false;
    const long n = ++counts[c];
    if (n == f.from || (f.onward && n > f.from)) {
        errno = f.error;
        return true;
    }
    return false;
}

template <class F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

/// An open, whose mode comes only with the flags that create a file.
int Open(int (*next)(const char*, int, ...), const char* path, int flags, va_list args) {
    const mode_t mode = flags & (O_CREAT | O_TMPFILE) ? static_cast<mode_t>(va_arg(args, int)) : 0;
    return Fails(kOpen) ? -1 : next(path, flags, mode);
}

}  // namespace

extern "C" {

int rename(const char* from, const char* to) {
    static auto next = Next<int (*)(const char*, const char*)>("rename");
    return Fails(kRename) ? -1 : next(from, to);
}

int fsync(int fd) {
    static auto next = Next<int (*)(int)>("fsync");
    return Fails(kFsync) ? -1 : next(fd);
}

int unlink(const char* path) {
    static auto next = Next<int (*)(const char*)>("unlink");
    return Fails(kUnlink) ? -1 : next(path);
}

int flock(int fd, int operation) {
    static auto next = Next<int (*)(int, int)>("flock");
    return Fails(kFlock) ? -1 : next(fd, operation);
}

ssize_t read(int fd, void* buffer, size_t size) {
    static auto next = Next<ssize_t (*)(int, void*, size_t)>("read");
    return fd == 0 && Fails(kRead0) ? -1 : next(fd, buffer, size);
}

int open(const char* path, int flags, ...) {
    static auto next = Next<int (*)(const char*, int, ...)>("open");
    va_list args;
    va_start(args, flags);
    const int fd = Open(next, path, flags, args);
    va_end(args);
    return fd;
}

int open64(const char* path, int flags, ...) {
    static auto next = Next<int (*)(const char*, int, ...)>("open64");
    va_list args;
    va_start(args, flags);
    const int fd = Open(next, path, flags, args);
    va_end(args);
    return fd;
}

}  // extern "C"
