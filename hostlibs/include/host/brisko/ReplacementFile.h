// Writing a file so that its target is never left half written: the bytes go to a new file
// beside the target, which takes the target's place only when complete.
//
// Leftovers. A process that is killed outright (kill -9, a crash, the power) cannot remove its
// part files or scratch folders, so the next writer beside the same target, and the next scratch
// folder in the same temporary folder, removes those whose writer is gone. A writer is known to
// be gone by a lock that the system drops when the process ends, however it ends:
// - Linux and other POSIX systems: each writer holds flock(LOCK_EX) on its part file, and on its
//   scratch folder itself (a descriptor of the folder), from the moment it has made it until the
//   part has taken the target's place or the folder is removed. A cleaner opens a candidate,
//   takes the lock without waiting and, only if it got it and the name still names the file it
//   opened, removes it. A new writer takes its lock and then checks that its name still names
//   its file, so a cleaner that came between creating and locking costs the writer only a new
//   name, never its data. Where the file system offers no such locks (flock fails other than
//   with EWOULDBLOCK), writers go on unlocked and cleaners remove nothing there.
// - Windows: each writer keeps its part file, and a handle of its scratch folder, open without
//   delete sharing until done; a part is renamed over the target through that open handle.
//   Deleting fails with a sharing violation while the handle is open, and the handle goes with
//   the process, so a cleaner simply tries to delete.
// Candidates are only names of our own pattern: TARGETNAME.XXXXXXXX.part in the target's folder,
// and dornel.XXXXXXXX folders directly in the temporary folder, X being [0-9a-z]; a link, a
// FIFO or anything else of that name is left alone, and on POSIX systems so is whatever belongs
// to another user. Cleaning costs one scan of the folder and never fails what called it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/HostApi.h"

namespace brisko {

/// What writing to a path changes, as the user set it up:
/// - a symbolic link (or a chain of them) is followed, and the file it names is the target;
/// - a character device, FIFO or socket is written in place, never replaced;
/// - an existing regular file keeps its mode and, where the caller may keep them, its owner
///   and group.
struct BRISKO_API WriteTarget {
    std::string path;      ///< the file that is written or replaced
    bool exists = false;   ///< whether path exists now
    bool inPlace = false;  ///< a device, FIFO or socket: opened and written as it is
    /// A name of a descriptor this process has open (/dev/stdout, /dev/fd/N, /proc/self/fd/N):
    /// written in place from where it stands, whatever it is, so that "> out" and ">> out" on
    /// the command line keep their meaning.
    bool descriptor = false;
    bool directory = false;
    bool readOnly = false;  ///< exists, and this process may not or should not write it
    uint32_t mode = 0;      ///< permission bits of an existing file
    int64_t owner = -1;     ///< owner and group of an existing file, -1 where unknown
    int64_t group = -1;

    /// Resolves path. A link that names a missing file gives that file, created on commit.
    static WriteTarget Resolve(const std::string& path);
};

/// A new file beside a target, created exclusively under a unique name in the target's folder
/// (so that neither a user's own file nor a second writer can collide with it), removed when it
/// is discarded or destroyed without Commit, by RemovePendingFiles on a signal, and by the next
/// writer to the same target when this process was killed (see Leftovers above).
///
/// Create and Commit return false with errno set; the new file is then gone.
class BRISKO_API ReplacementFile {
  public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    /// Removes the target's leftover parts first (RemoveLeftoverParts).
    bool Create(const WriteTarget& target);
    std::FILE* Stream() const { return file_; }
    const std::string& Path() const { return path_; }
    /// Flushes (with sync, to the disk), gives the file the target's mode and owner, and renames
    /// it over the target.
    bool Commit(bool sync);
    void Discard();

  private:
    WriteTarget target_;
    std::string path_;
    std::FILE* file_ = nullptr;
    /// A second descriptor of the part, which keeps its lock from the stream's close until the
    /// rename is done (POSIX only; -1 where none).
    int lock_ = -1;
};

/// Where scratch folders go, in the order to try: on POSIX systems TMPDIR when it is set and not
/// empty, then /tmp; on Windows the system's temporary path. A TMPDIR that names no folder one
/// can write in is thus passed over for /tmp, never for the working folder.
BRISKO_API std::vector<std::string> TemporaryFolders();

/// A new folder (dornel.XXXXXXXX) of this process's own under a temporary folder, for one file
/// of a chosen name, so that the name says what the file is and no other file can be taken in
/// its place. The file and the folder go when the object does, on a signal, or, when this
/// process was killed, with the next scratch folder made in the same temporary folder.
class BRISKO_API ScratchFolder {
  public:
    ScratchFolder() = default;
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    /// Makes the folder in the first of folders that takes it, after removing the leftover
    /// scratch folders there (RemoveLeftoverScratchFolders). False when none could be made, with
    /// errno set and Failure() naming each folder tried and why it failed.
    bool Create(const std::string& fileName,
                const std::vector<std::string>& folders = TemporaryFolders());
    /// Removes the file and the folder now.
    void Remove() noexcept;
    bool Made() const { return !folder_.empty(); }
    const std::string& Folder() const { return folder_; }
    /// The path of the file in the folder (not created).
    const std::string& FilePath() const { return path_; }
    /// Why the last Create failed, such as "cannot create a folder in '/nosuch': No such file or
    /// directory"; empty after a success.
    const std::string& Failure() const { return failure_; }

  private:
    std::string folder_;
    std::string path_;
    std::string failure_;
    /// What holds the folder as live: a descriptor on POSIX, a HANDLE on Windows; -1 for none.
    intptr_t guard_ = -1;
};

/// Removes the part files that writers to target (a path as WriteTarget::Resolve gives it) left
/// when they were killed, and none whose writer lives. Never fails; for a target whose folder
/// cannot be read it does nothing. A writer that replaces target by other means than
/// ReplacementFile calls this before it begins.
BRISKO_API void RemoveLeftoverParts(const std::string& target) noexcept;
/// Removes this user's scratch folders in folder, with what is in them, whose process is gone.
BRISKO_API void RemoveLeftoverScratchFolders(const std::string& folder) noexcept;

/// Files that are to be removed if the process is ended by a signal before it is done with them:
/// spooled input, temporary output. Up to 64 at once; registration never fails the caller.
BRISKO_API void RegisterPendingFile(const std::string& path);
BRISKO_API void UnregisterPendingFile(const std::string& path);
/// Removes every registered file, then every registered (by then empty) folder. Safe in a
/// signal handler: it only unlinks.
BRISKO_API void RemovePendingFiles() noexcept;

/// Creates a new folder with a unique name (NAME.XXXXXXXX) in parent, readable by this user only;
/// false with errno set when none could be made.
BRISKO_API bool CreateUniqueFolder(const std::string& parent, const std::string& name,
                                   std::string& path);

/// A name for a new file in folder that no file has now: NAME.XXXXXXXX.SUFFIX with a random
/// part. The file is created exclusively and held as live (see Leftovers above) for as long as
/// the descriptor, or a duplicate of it, is open; returns the descriptor (or -1 with errno set).
/// On Windows the file can be neither deleted nor renamed by others meanwhile.
BRISKO_API int CreateUniqueFile(const std::string& folder, const std::string& name,
                                const std::string& suffix, uint32_t mode, std::string& path);

}  // namespace brisko
