// Files written beside their target and renamed over it.
#include "host/brisko/ReplacementFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "OwnFiles.h"
#include "host/brisko/File.h"
#include "host/brisko/RString.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#endif

namespace brisko {

namespace {

#if defined(_WIN32)
/// Renames a file through a handle of it that has DELETE access, so that it is never without an
/// open handle, and so never free for a cleaner to delete, on its way to the target.
bool RenameOpenFile(HANDLE handle, const std::string& to) {
    const std::wstring wide = Wide(to);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        errno = ENOENT;
        return false;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        errno = ENOENT;
        return false;
    }
    full.resize(length);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + (full.size() + 1) * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(full.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, full.c_str(), (full.size() + 1) * sizeof(wchar_t));
    // A reader that has the target open makes the rename fail for a moment; try again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (SetFileInformationByHandle(handle, FileRenameInfo, info,
                                       static_cast<DWORD>(buffer.size())))
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
            break;
        Sleep(10);
    }
    errno = EACCES;
    return false;
}
#endif

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
    const auto namesDescriptor = [](const std::string& p) {
        return p.rfind("/dev/fd/", 0) == 0 || p.rfind("/proc/self/fd/", 0) == 0 ||
               p.rfind("/proc/thread-self/fd/", 0) == 0;
    };
    for (int step = 0; step < 40 && !namesDescriptor(t.path); ++step) {
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
    t.descriptor = namesDescriptor(t.path);
    t.inPlace = t.descriptor || S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
    t.mode = st.st_mode & 07777;
    t.owner = st.st_uid;
    t.group = st.st_gid;
    t.readOnly = !t.directory && !IsWritable(RString(t.path));
#endif
    return t;
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
    RemoveLeftoverParts(target.path);
    const int fd =
        CreateUniqueFile(FolderOf(target.path), NameOf(target.path), "part", mode, path_);
    if (fd < 0)
        return false;
    RegisterPendingFile(path_);
#if defined(_WIN32)
    file_ = _fdopen(fd, "wb");
#else
    // The stream is closed before the rename, and the part must not look abandoned meanwhile.
    lock_ = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    file_ = lock_ >= 0 ? fdopen(fd, "wb") : nullptr;
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
#if defined(_WIN32)
    if (ok &&
        !RenameOpenFile(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_))), target_.path))
        ok = false, err = errno;
    if (std::fclose(file_) != 0 && ok)
        ok = false, err = errno;
    file_ = nullptr;
#else
    if (std::fclose(file_) != 0 && ok)
        ok = false, err = errno;
    file_ = nullptr;
    if (ok && std::rename(path_.c_str(), target_.path.c_str()) != 0)
        ok = false, err = errno;
#endif
    if (!ok) {
        Discard();
        errno = err;
        return false;
    }
    UnregisterPendingFile(path_);
    path_.clear();
#if !defined(_WIN32)
    close(lock_);
    lock_ = -1;
#endif
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
#if !defined(_WIN32)
    if (lock_ >= 0) {
        close(lock_);
        lock_ = -1;
    }
#endif
}

}  // namespace brisko
