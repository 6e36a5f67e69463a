// Files written beside their target and renamed over it, and the files a signal must remove.
#include "host/brisko/ReplacementFile.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "host/brisko/File.h"
#include "host/brisko/RString.h"

#if defined(_WIN32)
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#endif

namespace brisko {

namespace {

// Pending paths live in fixed slots, so that neither registering nor the signal handler ever
// allocates or frees: a slot is free, being written, or holds a path.
constexpr size_t kPendingSlots = 64;
constexpr size_t kPendingPathBytes = 4096;
enum SlotState : int { kSlotFree, kSlotBusy, kSlotHeld };
struct PendingSlot {
    std::atomic<int> state{kSlotFree};
    char path[kPendingPathBytes];
};
PendingSlot pendingFiles[kPendingSlots];

#if defined(_WIN32)
std::wstring Wide(const std::string& path) {
    const WString w = RString(path).ToWide();
    return std::wstring(w.begin(), w.end());
}
#endif

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

#if defined(_WIN32)
std::string Narrow(const wchar_t* text) {
    RString r;
    r.FromWide(reinterpret_cast<const char16_t*>(text));
    return r.str();
}
#endif

bool RenameOver(const std::string& from, const std::string& to) {
#if defined(_WIN32)
    // A reader that has the target open makes the rename fail for a moment; try again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
            break;
        Sleep(10);
    }
    errno = EACCES;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

void Unlink(const std::string& path) {
#if defined(_WIN32)
    _wunlink(Wide(path).c_str());
#else
    unlink(path.c_str());
#endif
}

}  // namespace

WriteTarget WriteTarget::Resolve(const std::string& path) {
    WriteTarget t;
    t.path = path;
#if defined(_WIN32)
    struct _stat64 st;
    if (_wstat64(Wide(path).c_str(), &st) != 0)
        return t;
    t.exists = true;
    t.directory = (st.st_mode & _S_IFDIR) != 0;
    t.inPlace = (st.st_mode & _S_IFCHR) != 0;
    t.mode = st.st_mode & 0777;
    t.readOnly = !t.directory && !IsWritable(RString(path));
#else
    // A chain of links ends at the file the user means; a loop stops after 40 steps, and the
    // open then fails with the system's own word for it.
    for (int step = 0; step < 40; ++step) {
        struct stat ls;
        if (lstat(t.path.c_str(), &ls) != 0 || !S_ISLNK(ls.st_mode))
            break;
        char buffer[PATH_MAX];
        const ssize_t n = readlink(t.path.c_str(), buffer, sizeof buffer);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer)
            break;
        const std::string next(buffer, static_cast<size_t>(n));
        if (next[0] == '/') {
            t.path = next;
        } else {
            const size_t slash = t.path.find_last_of('/');
            t.path = slash == std::string::npos ? next : t.path.substr(0, slash + 1) + next;
        }
    }
    struct stat st;
    if (stat(t.path.c_str(), &st) != 0)
        return t;
    t.exists = true;
    t.directory = S_ISDIR(st.st_mode);
    t.inPlace = S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
    t.mode = st.st_mode & 07777;
    t.owner = st.st_uid;
    t.group = st.st_gid;
    t.readOnly = !t.directory && !IsWritable(RString(t.path));
#endif
    return t;
}

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

std::vector<std::string> TemporaryFolders() {
    std::vector<std::string> folders;
#if defined(_WIN32)
    wchar_t buffer[MAX_PATH + 2];
    const DWORD length = GetTempPathW(MAX_PATH + 2, buffer);
    if (length > 0 && length < MAX_PATH + 2) {
        std::string path = Narrow(buffer);
        while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
            path.pop_back();
        folders.push_back(path);
    }
#else
    const char* given = std::getenv("TMPDIR");
    if (given && *given) {
        std::string path = given;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        folders.push_back(path);
    }
    // What other tools fall back on; never the working folder, which may be anything.
    if (folders.empty() || folders.front() != "/tmp")
        folders.push_back("/tmp");
#endif
    return folders;
}

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
        const int fd = _wopen(Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                              _S_IREAD | _S_IWRITE);
        (void)mode;
#else
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
#endif
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

ReplacementFile::~ReplacementFile() {
    Discard();
}

bool ReplacementFile::Create(const WriteTarget& target) {
    Discard();
    target_ = target;
    // A new file gets what the umask allows; an existing one is given its own mode on commit,
    // and until then nobody else may read what is being written.
    const uint32_t mode = target.exists ? 0600 : 0666;
    const int fd =
        CreateUniqueFile(FolderOf(target.path), NameOf(target.path), "part", mode, path_);
    if (fd < 0)
        return false;
    RegisterPendingFile(path_);
#if defined(_WIN32)
    file_ = _fdopen(fd, "wb");
#else
    file_ = fdopen(fd, "wb");
#endif
    if (!file_) {
        const int err = errno;
#if defined(_WIN32)
        _close(fd);
#else
        close(fd);
#endif
        Discard();
        errno = err;
        return false;
    }
    return true;
}

bool ReplacementFile::Commit(bool sync) {
    if (!file_) {
        errno = EBADF;
        return false;
    }
    bool ok = std::fflush(file_) == 0;
    int err = ok ? 0 : errno;
#if defined(_WIN32)
    if (ok && sync && _commit(_fileno(file_)) != 0)
        ok = false, err = errno;
#else
    if (ok && sync && fsync(fileno(file_)) != 0)
        ok = false, err = errno;
    if (ok && target_.exists) {
        fchmod(fileno(file_), static_cast<mode_t>(target_.mode));
        // Only a privileged caller can give a file away; anyone else writes it as their own.
        if (static_cast<int64_t>(geteuid()) != target_.owner && target_.owner >= 0)
            (void)!fchown(fileno(file_), static_cast<uid_t>(target_.owner),
                          static_cast<gid_t>(target_.group));
    }
#endif
    if (std::fclose(file_) != 0 && ok)
        ok = false, err = errno;
    file_ = nullptr;
    if (ok && !RenameOver(path_, target_.path))
        ok = false, err = errno;
    if (!ok) {
        Discard();
        errno = err;
        return false;
    }
    UnregisterPendingFile(path_);
    path_.clear();
    return true;
}

void ReplacementFile::Discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!path_.empty()) {
        Unlink(path_);
        UnregisterPendingFile(path_);
        path_.clear();
    }
}

ScratchFolder::~ScratchFolder() {
    Remove();
}

bool ScratchFolder::Create(const std::string& fileName, const std::vector<std::string>& folders) {
    Remove();
    failure_.clear();
    int err = ENOENT;
    for (const std::string& parent : folders) {
        if (CreateUniqueFolder(parent, "dornel", folder_)) {
            failure_.clear();
            RegisterPendingFile(folder_);
            path_ = folder_ + "/" + fileName;
            RegisterPendingFile(path_);
            return true;
        }
        err = errno;
        failure_ += (failure_.empty() ? "cannot create a folder in '" : "; nor in '") + parent +
                    "': " + std::strerror(err);
    }
    if (folders.empty())
        failure_ = "the system names no temporary folder";
    folder_.clear();
    errno = err;
    return false;
}

void ScratchFolder::Remove() noexcept {
    if (folder_.empty())
        return;
    RemoveFile(RString(path_));
    UnregisterPendingFile(path_);
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(folder_), ec);
    UnregisterPendingFile(folder_);
    folder_.clear();
    path_.clear();
}

void RegisterPendingFile(const std::string& path) {
    if (path.size() >= kPendingPathBytes)
        return;
    for (PendingSlot& slot : pendingFiles) {
        int expected = kSlotFree;
        if (slot.state.compare_exchange_strong(expected, kSlotBusy)) {
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.state.store(kSlotHeld);
            return;
        }
    }
}

void UnregisterPendingFile(const std::string& path) {
    for (PendingSlot& slot : pendingFiles) {
        int expected = kSlotHeld;
        if (slot.state.load() != kSlotHeld || path != slot.path)
            continue;
        if (slot.state.compare_exchange_strong(expected, kSlotBusy)) {
            slot.state.store(kSlotFree);
            return;
        }
    }
}

void RemovePendingFiles() noexcept {
    // Files first, so that the folders they lie in are empty when their turn comes.
    for (PendingSlot& slot : pendingFiles) {
#if defined(_WIN32)
        if (slot.state.load() == kSlotHeld && _unlink(slot.path) == 0)
#else
        if (slot.state.load() == kSlotHeld && unlink(slot.path) == 0)
#endif
            slot.state.store(kSlotFree);
    }
    for (PendingSlot& slot : pendingFiles) {
        if (slot.state.load() != kSlotHeld)
            continue;
#if defined(_WIN32)
        _rmdir(slot.path);
#else
        rmdir(slot.path);
#endif
        slot.state.store(kSlotFree);
    }
}

}  // namespace brisko
