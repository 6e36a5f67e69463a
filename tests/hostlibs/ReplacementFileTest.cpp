// Files written beside their target: what the target is, unique names, modes, clean-up.
#include "host/brisko/ReplacementFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <cstdio>
#include <thread>

#include "support/TestSupport.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dornel::test {
namespace {

namespace fs = std::filesystem;
using brisko::ReplacementFile;
using brisko::WriteTarget;

size_t FilesIn(const TempDir& dir) {
    size_t n = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path("")))
        n += entry.is_regular_file() || entry.is_directory();
    return n;
}

TEST(ReplacementFile, TakesTheTargetsPlaceOnlyWhenCommitted) {
    TempDir dir;
    const std::string target = dir.Write("out.csv", "old\n");
    const std::string mine = dir.Write("out.csv.part", "mine\n");
    {
        ReplacementFile first, second;
        ASSERT_TRUE(first.Create(WriteTarget::Resolve(target)));
        ASSERT_TRUE(second.Create(WriteTarget::Resolve(target)));
        // Two writers and a user's own file: three different names.
        EXPECT_NE(first.Path(), second.Path());
        EXPECT_NE(first.Path(), mine);
        std::fputs("new\n", first.Stream());
        EXPECT_EQ(ReadBytes(target), "old\n");
        ASSERT_TRUE(first.Commit(true));
        // The second is dropped with its object, unwritten.
    }
    EXPECT_EQ(ReadBytes(target), "new\n");
    EXPECT_EQ(ReadBytes(mine), "mine\n");
    EXPECT_EQ(FilesIn(dir), 2u);
    {
        ReplacementFile abandoned;
        ASSERT_TRUE(abandoned.Create(WriteTarget::Resolve(target)));
        std::fputs("half", abandoned.Stream());
        abandoned.Discard();
    }
    EXPECT_EQ(ReadBytes(target), "new\n");
    EXPECT_EQ(FilesIn(dir), 2u);
}

TEST(ReplacementFile, PendingFilesAndFoldersGoOnASignal) {
    TempDir dir;
    std::string folder;
    ASSERT_TRUE(brisko::CreateUniqueFolder(dir.Path(""), "spool", folder));
    brisko::RegisterPendingFile(folder);
    const std::string inside = folder + "/data.csv";
    std::FILE* f = std::fopen(inside.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    brisko::RegisterPendingFile(inside);
    const std::string kept = dir.Write("kept.csv", "x");
    brisko::RegisterPendingFile(kept);
    brisko::UnregisterPendingFile(kept);
    brisko::RemovePendingFiles();
    EXPECT_FALSE(fs::exists(inside));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(kept));
}

TEST(ReplacementFile, ASlotTakenAgainHoldsOnlyItsNewPath) {
    TempDir dir;
    // Slots are reused: a short path in the place of a long one must not keep the long one's
    // tail, or the signal would leave the short one's file behind.
    const std::string longer = dir.Write("a-rather-long-name-of-a-temporary-file.part", "x");
    const std::string shorter = dir.Write("b.part", "y");
    for (int round = 0; round < 3; ++round) {
        brisko::RegisterPendingFile(longer);
        brisko::UnregisterPendingFile(longer);
    }
    brisko::RegisterPendingFile(shorter);
    brisko::RemovePendingFiles();
    EXPECT_FALSE(fs::exists(shorter));
    EXPECT_TRUE(fs::exists(longer));
}

#if !defined(_WIN32)
TEST(WriteTarget, FollowsLinksAndTellsDevicesAndReadOnlyFiles) {
    TempDir dir;
    const std::string real = dir.Write("real.csv", "x");
    fs::create_symlink("real.csv", dir.Path("one.csv"));
    fs::create_symlink(dir.Path("one.csv"), dir.Path("two.csv"));
    fs::create_symlink("missing.csv", dir.Path("dangling.csv"));
    fs::create_symlink("loop.csv", dir.Path("loop.csv"));
    const std::string readOnly = dir.Write("ro.csv", "x");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read,
                    fs::perm_options::replace);
    ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0600), 0);

    const struct {
        std::string path;
        std::string resolved;
        bool exists, inPlace, directory, readOnly;
    } cases[] = {
        {dir.Path("two.csv"), real, true, false, false, false},
        {dir.Path("dangling.csv"), dir.Path("missing.csv"), false, false, false, false},
        {dir.Path("loop.csv"), dir.Path("loop.csv"), false, false, false, false},
        {readOnly, readOnly, true, false, false, true},
        {dir.Path("fifo"), dir.Path("fifo"), true, true, false, false},
        {"/dev/null", "/dev/null", true, true, false, false},
        {dir.Path(""), dir.Path(""), true, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const WriteTarget t = WriteTarget::Resolve(c.path);
        EXPECT_EQ(t.path, c.resolved);
        EXPECT_EQ(t.exists, c.exists);
        EXPECT_EQ(t.inPlace, c.inPlace);
        EXPECT_EQ(t.directory, c.directory);
        EXPECT_EQ(t.readOnly, c.readOnly);
    }
}

TEST(ReplacementFile, AReplacedFileKeepsItsModeAndANewOneFollowsTheUmask) {
    TempDir dir;
    const std::string existing = dir.Write("existing.csv", "x");
    fs::permissions(existing,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                    fs::perm_options::replace);
    const mode_t mask = umask(027);
    for (const std::string& path : {existing, dir.Path("new.csv")}) {
        ReplacementFile part;
        ASSERT_TRUE(part.Create(WriteTarget::Resolve(path)));
        ASSERT_TRUE(part.Commit(false));
    }
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat(existing.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_EQ(stat(dir.Path("new.csv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

/// The folder without the separator that TempDir::Path("") ends with.
std::string FolderOf(const TempDir& dir) {
    std::string path = dir.Path("");
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

/// A file that a live writer in another process would hold: the lock is taken through a
/// descriptor of its own, which conflicts with the cleaner's as another process's would.
class HeldFile {
  public:
    explicit HeldFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        EXPECT_GE(fd_, 0) << path;
        EXPECT_EQ(flock(fd_, LOCK_EX | LOCK_NB), 0) << path;
    }
    ~HeldFile() { close(fd_); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

  private:
    int fd_;
};

TEST(LeftoverParts, OnlyPartsOfTheSameTargetWhoseWriterIsGoneAreRemoved) {
    TempDir dir;
    const std::string target = dir.Write("out.csv", "old\n");
    const std::string elsewhere = dir.Write("elsewhere.txt", "keep\n");
    fs::create_directory(dir.Path("out.csv.folderxx.part"));
    fs::create_symlink(elsewhere, dir.Path("out.csv.linkxxxx.part"));
    ASSERT_EQ(mkfifo(dir.Path("out.csv.fifoxxxx.part").c_str(), 0600), 0);
    const struct {
        std::string name;
        bool removed;
    } cases[] = {
        {"out.csv.abcdefgh.part", true},
        {"out.csv.0a1b2c3z.part", true},
        {"out.csv.ABCDEFGH.part", false},
        {"out.csv.abcdefg.part", false},
        {"out.csv.abcdefghi.part", false},
        {"out.csv.abcd-fgh.part", false},
        {"out.csv.part", false},
        {"out.csv.abcdefgh.tmp", false},
        {"out.csv.abcdefgh.part.old", false},
        {"out.txt.abcdefgh.part", false},
        {"xout.csv.abcdefgh.part", false},
        {"out.csv.heldxxxx.part", false},
        {"out.csv.folderxx.part", false},
        {"out.csv.linkxxxx.part", false},
        {"out.csv.fifoxxxx.part", false},
        {"out.csv.nobodyxx.part", geteuid() != 0},
    };
    for (const auto& c : cases)
        if (!fs::exists(fs::symlink_status(dir.Path(c.name))))
            dir.Write(c.name, "left\n");
    // Another user's leftover is theirs to clear, even where this user could delete it.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(dir.Path("out.csv.nobodyxx.part").c_str(), 65534, 65534), 0);
    }
    const HeldFile held(dir.Path("out.csv.heldxxxx.part"));
    ReplacementFile live;
    ASSERT_TRUE(live.Create(WriteTarget::Resolve(target)));

    ReplacementFile next;
    ASSERT_TRUE(next.Create(WriteTarget::Resolve(target)));
    for (const auto& c : cases)
        EXPECT_EQ(!fs::exists(fs::symlink_status(dir.Path(c.name))), c.removed) << c.name;
    EXPECT_EQ(ReadBytes(elsewhere), "keep\n");
    // The live writer's part is still its own: it takes the target's place.
    ASSERT_TRUE(fs::exists(live.Path()));
    std::fputs("live\n", live.Stream());
    EXPECT_TRUE(live.Commit(false));
    EXPECT_EQ(ReadBytes(target), "live\n");
}

TEST(LeftoverScratchFolders, OnlyThisUsersFoldersWhoseProcessIsGoneAreRemovedWithTheirFiles) {
    TempDir dir;
    const std::string parent = FolderOf(dir);
    const auto makeFolder = [&](const std::string& name) {
        fs::create_directory(dir.Path(name));
        dir.Write(name + "/stdin", "left\n");
    };
    for (const char* name : {"dornel.abcdefgh", "dornel.0123456z", "dornel.ABCDEFGH", "dornel.abc",
                             "other.abcdefgh", "dornel.abcdefgh.x", "dornel.nobodyxx"})
        makeFolder(name);
    dir.Write("dornel.filexxxx", "mine\n");
    TempDir other;
    other.Write("stdin", "theirs\n");
    fs::create_directory_symlink(FolderOf(other), dir.Path("dornel.linkxxxx"));
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(chown(dir.Path("dornel.nobodyxx").c_str(), 65534, 65534), 0);
    }
    brisko::ScratchFolder live;
    ASSERT_TRUE(live.Create("stdin", {parent}));
    std::FILE* f = std::fopen(live.FilePath().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);

    brisko::ScratchFolder next;
    ASSERT_TRUE(next.Create("stdin", {parent}));
    const struct {
        std::string name;
        bool removed;
    } cases[] = {
        {"dornel.abcdefgh", true},  {"dornel.0123456z", true},  {"dornel.ABCDEFGH", false},
        {"dornel.abc", false},      {"other.abcdefgh", false},  {"dornel.abcdefgh.x", false},
        {"dornel.filexxxx", false}, {"dornel.linkxxxx", false}, {"dornel.nobodyxx", !asRoot},
    };
    for (const auto& c : cases)
        EXPECT_EQ(!fs::exists(fs::symlink_status(dir.Path(c.name))), c.removed) << c.name;
    EXPECT_EQ(ReadBytes(other.Path("stdin")), "theirs\n");
    EXPECT_TRUE(fs::exists(live.FilePath()));
}

TEST(LeftoverParts, ACleanerRunningAllTheTimeNeverTakesALiveWritersPartOrFolder) {
    TempDir dir;
    const std::string parent = FolderOf(dir);
    const std::string target = dir.Path("out.csv");
    // The cleaner's moments to go wrong are short: between a writer's making a file and
    // locking it, and between its closing the part and renaming it. A cleaner that never stops
    // meets them again and again.
    std::atomic<bool> done{false};
    std::thread cleaner([&] {
        while (!done) {
            brisko::RemoveLeftoverParts(target);
            brisko::RemoveLeftoverScratchFolders(parent);
        }
    });
    int lost = 0;
    for (int i = 0; i < 400; ++i) {
        const std::string text = std::to_string(i) + "\n";
        ReplacementFile part;
        if (!part.Create(WriteTarget::Resolve(target)) ||
            std::fputs(text.c_str(), part.Stream()) < 0 || !part.Commit(false) ||
            ReadBytes(target) != text)
            ++lost;
        brisko::ScratchFolder scratch;
        std::FILE* f = scratch.Create("stdin", {parent})
                           ? std::fopen(scratch.FilePath().c_str(), "wb")
                           : nullptr;
        if (!f || std::fputs(text.c_str(), f) < 0 || std::fclose(f) != 0 ||
            ReadBytes(scratch.FilePath()) != text)
            ++lost;
    }
    done = true;
    cleaner.join();
    EXPECT_EQ(lost, 0);
}

TEST(ScratchFolder, GoesToTheFirstFolderThatTakesItAndAFailureNamesEachFolderTried) {
    TempDir dir;
    const std::string parent = FolderOf(dir);
    const std::string missing = dir.Path("missing");
    const std::string file = dir.Write("file", "");
    const struct {
        std::vector<std::string> folders;
        std::string madeIn;
        std::string failure;
    } cases[] = {
        {{missing, parent}, parent, ""},
        {{missing}, "", "cannot create a folder in '" + missing + "': No such file or directory"},
        {{missing, file},
         "",
         "cannot create a folder in '" + missing + "': No such file or directory; nor in '" + file +
             "': Not a directory"},
    };
    for (const auto& c : cases) {
        brisko::ScratchFolder scratch;
        EXPECT_EQ(scratch.Create("stdin", c.folders), !c.madeIn.empty());
        EXPECT_EQ(scratch.Failure(), c.failure);
        if (scratch.Made()) {
            EXPECT_EQ(fs::path(scratch.Folder()).parent_path().string(), c.madeIn);
        }
    }
}

TEST(ScratchFolder, TmpdirComesFirstAndTmpAfterItNeverTheWorkingFolder) {
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before ? before : "";
    const struct {
        const char* tmpdir;
        std::vector<std::string> folders;
    } cases[] = {
        {nullptr, {"/tmp"}},
        {"", {"/tmp"}},
        {"/var/scratch/", {"/var/scratch", "/tmp"}},
        {"/tmp/", {"/tmp"}},
        {"relative", {"relative", "/tmp"}},
    };
    for (const auto& c : cases) {
        if (c.tmpdir)
            setenv("TMPDIR", c.tmpdir, 1);
        else
            unsetenv("TMPDIR");
        EXPECT_EQ(brisko::TemporaryFolders(), c.folders) << (c.tmpdir ? c.tmpdir : "unset");
    }
    if (before)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}
#endif

}  // namespace
}  // namespace dornel::test
