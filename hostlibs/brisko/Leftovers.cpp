// The removal of the part files and scratch folders that killed processes left behind.
#include "host/brisko/ReplacementFile.h"

#include <cerrno>
#include <string>

#include "OwnFiles.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brisko {

namespace {

#if !defined(_WIN32)
bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

/// Removes what a dead process's scratch folder holds; fd is the folder, locked.
void EmptyFolder(int fd) {
    const int listing = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (listing < 0)
        return;
    DIR* dir = fdopendir(listing);
    if (!dir) {
        close(listing);
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            unlinkat(fd, entry->d_name, 0);
    }
    closedir(dir);
}

/// Removes parent/name, a regular file or (folder) a folder of this user's, if no live process
/// holds its lock. A link, a device or a FIFO under such a name is never opened.
void RemoveIfUnheld(int parent, const char* name, bool folder) {
    struct stat named;
    if (fstatat(parent, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || named.st_uid != geteuid() ||
        !(folder ? S_ISDIR(named.st_mode) : S_ISREG(named.st_mode)))
        return;
    const int common = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    // Some file systems lend exclusive locks only to a descriptor open for writing.
    int fd = openat(parent, name, common | (folder ? O_RDONLY | O_DIRECTORY : O_RDWR));
    if (fd < 0 && !folder && errno == EACCES)
        fd = openat(parent, name, common | O_RDONLY);
    if (fd < 0)
        return;
    struct stat opened;
    if (fstat(fd, &opened) == 0 && SameFile(opened, named) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        fstatat(parent, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named)) {
        if (folder)
            EmptyFolder(fd);
        unlinkat(parent, name, folder ? AT_REMOVEDIR : 0);
    }
    close(fd);
}

/// Calls remove(parent descriptor, name) for every name in folder that matches.
template <class Match, class Remove>
void ScanFolder(const std::string& folder, Match&& match, Remove&& remove) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir))
        if (match(entry->d_name))
            remove(dirfd(dir), entry->d_name);
    closedir(dir);
}
#else
/// Calls remove(path, found) for every name in folder that matches; links and other reparse
/// points are passed over.
template <class Match, class Remove>
void ScanFolder(const std::string& folder, Match&& match, Remove&& remove) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(Wide(folder + "/*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        const std::string name = Narrow(found.cFileName);
        if (match(name))
            remove(folder + "/" + name, found);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
#endif

}  // namespace

void RemoveLeftoverParts(const std::string& target) noexcept {
    try {
        const std::string prefix = NameOf(target) + ".";
        const auto match = [&](const std::string& name) {
            return IsOurName(name, prefix, ".part");
        };
#if defined(_WIN32)
        // A live writer's part is open without delete sharing, so deleting it fails.
        ScanFolder(FolderOf(target), match,
                   [](const std::string& path, const WIN32_FIND_DATAW& found) {
                       if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                           DeleteFileW(Wide(path).c_str());
                   });
#else
        ScanFolder(FolderOf(target), match,
                   [](int parent, const char* name) { RemoveIfUnheld(parent, name, false); });
#endif
    } catch (...) {
        // Leftovers stay for another time; the write goes on.
    }
}

void RemoveLeftoverScratchFolders(const std::string& folder) noexcept {
    try {
        const std::string prefix = std::string(kScratchName) + ".";
        const auto match = [&](const std::string& name) { return IsOurName(name, prefix, ""); };
#if defined(_WIN32)
        ScanFolder(folder, match, [](const std::string& path, const WIN32_FIND_DATAW& found) {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                return;
            // Asking for delete access fails while the folder's own process holds it open.
            const HANDLE handle = CreateFileW(
                Wide(path).c_str(), DELETE | FILE_LIST_DIRECTORY,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            if (handle == INVALID_HANDLE_VALUE)
                return;
            ScanFolder(
                path, [](const std::string& name) { return name != "." && name != ".."; },
                [](const std::string& inside, const WIN32_FIND_DATAW& entry) {
                    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                        DeleteFileW(Wide(inside).c_str());
                });
            // Its one member is named like the DeleteFile macro; left unnamed here.
            FILE_DISPOSITION_INFO gone = {TRUE};
            SetFileInformationByHandle(handle, FileDispositionInfo, &gone, sizeof gone);
            CloseHandle(handle);
        });
#else
        ScanFolder(folder, match,
                   [](int parent, const char* name) { RemoveIfUnheld(parent, name, true); });
#endif
    } catch (...) {
        // Leftovers stay for another time; the scratch folder is made all the same.
    }
}

}  // namespace brisko
