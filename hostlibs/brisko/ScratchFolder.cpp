// Scratch folders of this process's own in the temporary folders, one file in each.
#include "host/brisko/ReplacementFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "OwnFiles.h"
#include "host/brisko/File.h"
#include "host/brisko/RString.h"

#if defined(_WIN32)
#include <direct.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace brisko {

namespace {

/// Makes a scratch folder in parent and holds it as live; false with errno set.
bool MakeHeldFolder(const std::string& parent, std::string& path, intptr_t& guard) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!CreateUniqueFolder(parent, kScratchName, path))
            return false;
#if defined(_WIN32)
        // Without delete sharing, nobody can remove the folder while this handle is open.
        const HANDLE handle =
            CreateFileW(Wide(path).c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            guard = reinterpret_cast<intptr_t>(handle);
            return true;
        }
        // A cleaner has it, or has removed it already: another name. Anything else would fail
        // again for every name, each leaving a folder behind.
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_FILE_NOT_FOUND &&
            error != ERROR_PATH_NOT_FOUND) {
            _wrmdir(Wide(path).c_str());
            errno = EACCES;
            return false;
        }
#else
        const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 && HoldNew(fd, path)) {
            guard = fd;
            return true;
        }
        if (fd >= 0) {
            close(fd);
        } else if (errno != ENOENT) {
            // It would fail again for every name, each leaving a folder behind.
            const int err = errno;
            rmdir(path.c_str());
            errno = err;
            return false;
        }
#endif
    }
    errno = EEXIST;
    return false;
}

void ReleaseGuard(intptr_t& guard) {
    if (guard == -1)
        return;
#if defined(_WIN32)
    CloseHandle(reinterpret_cast<HANDLE>(guard));
#else
    close(static_cast<int>(guard));
#endif
    guard = -1;
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

ScratchFolder::~ScratchFolder() {
    Remove();
}

bool ScratchFolder::Create(const std::string& fileName, const std::vector<std::string>& folders) {
    Remove();
    failure_.clear();
    int err = ENOENT;
    for (const std::string& parent : folders) {
        RemoveLeftoverScratchFolders(parent);
        if (MakeHeldFolder(parent, folder_, guard_)) {
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
    // Windows removes no folder that is held open, this process's own hold included.
    ReleaseGuard(guard_);
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(folder_), ec);
    UnregisterPendingFile(folder_);
    folder_.clear();
    path_.clear();
}

}  // namespace brisko
