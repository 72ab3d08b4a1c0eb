// Where directories lie, by identity: the mount table, LocateDirectory and PathBelow; and the
// log file the layer hands out.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "BindMounts.h"
#include "MountTable.h"
#include "PosixFileSystem.h"
#include "TempTree.h"
#include "UniqueFd.h"

namespace tandrel {
namespace {

TEST(MountTable, ReadsPathsWithTheirEscapesAndSkipsWhatItCannotRead) {
    MountTable table;
    table.Parse(
        "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
        "45 27 254:0 /home/a\\040b/sub\\134x /mnt/my\\011disk rw - ext4 /dev/vda rw\n"
        "garbage line\n"
        "47 27 0:5 /\n"
        "x 27 254:0 / /mnt rw - ext4 /dev/vda rw\n"
        "46 27 0:23 /\\0 /tmp/odd\\ rw - tmpfs tmpfs rw");
    ASSERT_EQ(table.mounts().size(), 3u);
    const MountTable::Mount* bind = table.Find(45);
    ASSERT_NE(bind, nullptr);
    EXPECT_EQ(bind->device, "254:0");
    EXPECT_EQ(bind->root, "/home/a b/sub\\x");
    EXPECT_EQ(bind->mount_point, "/mnt/my\tdisk");
    EXPECT_EQ(table.Find(27)->mount_point, "/");
    EXPECT_EQ(table.Find(46)->root, "/\\0");  // not an escape: kept as it stands
    EXPECT_EQ(table.Find(46)->mount_point, "/tmp/odd\\");
    EXPECT_EQ(table.Find(99), nullptr);

    MountTable mine;
    ASSERT_TRUE(mine.Load());
    EXPECT_TRUE(std::any_of(mine.mounts().begin(), mine.mounts().end(),
                            [](const MountTable::Mount& m) { return m.mount_point == "/"; }));
}

TEST(MountTable, DigitsInPathsStayDigitsAndRepeatedBlanksSplitNothing) {
    MountTable table;
    table.Parse(
        "51 27 8:1 /v100 /data/disk2024 rw - ext4 /dev/sda1 rw\n"
        "52  27  8:2  /  /media/x\\0401 rw - ext4 /dev/sdb1 rw\n");
    ASSERT_EQ(table.mounts().size(), 2u);
    EXPECT_EQ(table.Find(51)->root, "/v100");
    EXPECT_EQ(table.Find(51)->mount_point, "/data/disk2024");
    EXPECT_EQ(table.Find(52)->device, "8:2");
    EXPECT_EQ(table.Find(52)->mount_point, "/media/x 1");
}

class Identity : public ::testing::Test {
  protected:
    void TearDown() override { mounts.UnmountAll(); }

    FileId Id(const std::string& rel) {
        EntryInfo info;
        EXPECT_TRUE(fs.Stat(t.Path(rel), &info).ok()) << rel;
        return info.id;
    }
    bool IsAncestor(const DirectoryPlace& place, const std::string& rel) {
        const FileId id = Id(rel);
        return std::find(place.ancestors.begin(), place.ancestors.end(), id) !=
               place.ancestors.end();
    }
    std::string Below(const std::string& outer, const std::string& inner) {
        std::string rel = "unset";
        const Status s = fs.PathBelow(t.Path(outer), t.Path(inner), &rel);
        EXPECT_TRUE(s.ok()) << s.ToString();
        return rel;
    }

    PosixFileSystem fs;
    TempTree t;
    BindMounts mounts;
};

TEST_F(Identity, LocatesTheDeepestExistingLevelThroughLinksAndKeepsTheMissingNames) {
    t.MakeDir("a/b");
    t.MakeDir("c");
    t.MakeLink("a/up", "../c");
    DirectoryPlace place;
    ASSERT_TRUE(fs.LocateDirectory(t.Path("a/b"), &place).ok());
    EXPECT_EQ(place.id, Id("a/b"));
    EXPECT_TRUE(place.missing.empty());
    EXPECT_TRUE(IsAncestor(place, "a"));
    EXPECT_TRUE(IsAncestor(place, ""));
    EXPECT_FALSE(IsAncestor(place, "c"));

    // "up/.." is the link's target's parent, as the kernel resolves it; missing levels fold.
    ASSERT_TRUE(fs.LocateDirectory(t.Path("a/up/../c/new/./x/../y/"), &place).ok());
    EXPECT_EQ(place.id, Id("c"));
    EXPECT_EQ(place.missing, (std::vector<std::string>{"new", "y"}));
    EXPECT_TRUE(IsAncestor(place, ""));
    EXPECT_FALSE(IsAncestor(place, "a"));

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(t.Path("a").c_str()), 0);
    const Status relative = fs.LocateDirectory("b", &place);
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_TRUE(relative.ok());
    EXPECT_EQ(place.id, Id("a/b"));
    EXPECT_FALSE(fs.LocateDirectory("", &place).ok());

    // The canonical form folds ".." among missing levels by name, and never above the root.
    std::string canonical;
    ASSERT_TRUE(fs.CanonicalPath(t.Path("c/new/../x"), &canonical).ok());
    char* c = realpath(t.Path("c").c_str(), nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(canonical, std::string(c) + "/x");
    free(c);
    ASSERT_TRUE(fs.CanonicalPath("/../..", &canonical).ok());
    EXPECT_EQ(canonical, "/");
}

TEST_F(Identity, PathBelowNamesTheWayDownOrNothing) {
    t.MakeDir("d/x/y");
    t.MakeDir("other");
    t.MakeLink("alias", "d");
    EXPECT_EQ(Below("d", "d/x/y"), "x/y");
    EXPECT_EQ(Below("alias", "d/x/y/new/deeper"), "x/y/new/deeper");
    EXPECT_EQ(Below("d", "alias/x"), "x");
    EXPECT_EQ(Below("d", "d"), "");
    EXPECT_EQ(Below("d", "other"), "");
    EXPECT_EQ(Below("d/x", "d"), "");
    EXPECT_EQ(Below("missing", "missing/x"), "");
}

TEST_F(Identity, BindMountsAreSeenThroughInBothDirections) {
    t.MakeDir("a/sub/deep");
    t.MakeDir("m");
    t.MakeDir("d/x/m");
    t.MakeDir("e/y");
    t.MakeDir("e/m");
    if (!mounts.Bind(t.Path("a/sub"), t.Path("m")) ||
        !mounts.Bind(t.Path("e/y"), t.Path("d/x/m"))) {
        GTEST_SKIP() << mounts.error();
    }
    DirectoryPlace place;
    // m is a/sub: its parents are those of a/sub as well as the mount point's.
    ASSERT_TRUE(fs.LocateDirectory(t.Path("m/deep"), &place).ok());
    EXPECT_EQ(place.id, Id("a/sub/deep"));
    EXPECT_TRUE(IsAncestor(place, "a"));
    EXPECT_TRUE(IsAncestor(place, ""));
    // e/y is also shown below d/x.
    ASSERT_TRUE(fs.LocateDirectory(t.Path("e/y"), &place).ok());
    EXPECT_TRUE(IsAncestor(place, "d/x"));
    EXPECT_TRUE(IsAncestor(place, "e"));
    EXPECT_FALSE(IsAncestor(place, "a"));

    EXPECT_EQ(Below("a", "m/deep"), "sub/deep");
    EXPECT_EQ(Below("d", "e/y/new"), "x/m/new");
    EXPECT_EQ(Below("m", "a/sub/deep"), "deep");

    // A second mount over m hides a/sub there, and e has an m of its own. From inside the hidden
    // mount, the way down from the top is never named through m, which now leads into e.
    UniqueFd hidden(open(t.Path("m").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(hidden.valid());
    if (!mounts.Bind(t.Path("e"), t.Path("m"))) {
        GTEST_SKIP() << mounts.error();
    }
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(fchdir(hidden.get()), 0);
    std::string rel = "unset";
    const Status s = fs.PathBelow(t.Path(""), "deep", &rel);
    ASSERT_EQ(chdir(cwd), 0);
    if (s.ok()) {
        EXPECT_EQ(Id(rel), Id("a/sub/deep")) << rel;
    }
}

TEST(LogFileOpen, TakesOnlyARegularFileAndEmptiesIt) {
    TempTree t;
    PosixFileSystem fs;
    t.WriteFile("old.txt", "earlier lines\n");
    t.MakeLink("link.txt", "old.txt");
    t.MakeFifo("fifo");
    t.MakeDir("dir");
    std::unique_ptr<LogFile> log;
    for (const std::string& name : {t.Path("fifo"), t.Path("dir"), std::string("/dev/null")}) {
        const Status s = fs.OpenLogFile(name, &log);
        EXPECT_FALSE(s.ok()) << name;
        EXPECT_EQ(log, nullptr);
    }
    EXPECT_EQ(fs.OpenLogFile(t.Path("no/such/dir/log.txt"), &log).code(), Status::Code::kNotFound);

    ASSERT_TRUE(fs.OpenLogFile(t.Path("link.txt"), &log).ok());
    EXPECT_EQ(t.ReadFile("old.txt"), "");
    ASSERT_TRUE(log->Append("one").ok());
    ASSERT_TRUE(log->Append("two \xff").ok());
    ASSERT_TRUE(log->Flush().ok());
    EXPECT_EQ(t.ReadFile("old.txt"), "one\ntwo \xff\n");
    ASSERT_TRUE(log->Append("three").ok());
    log.reset();  // what is left goes out as the file is closed
    EXPECT_EQ(t.ReadFile("old.txt"), "one\ntwo \xff\nthree\n");

    ASSERT_TRUE(fs.OpenLogFile(t.Path("new.txt"), &log).ok());
    EXPECT_TRUE(t.Exists("new.txt"));
    // A failed open leaves no log behind, not even the one held before.
    EXPECT_FALSE(fs.OpenLogFile(t.Path("fifo"), &log).ok());
    EXPECT_EQ(log, nullptr);
}

// A file with another name (a hard link) may be a file of a tree the run reads or writes:
// emptying or appending to it would destroy it, and its backup with it. It is refused before
// anything is written, in either open mode.
TEST(LogFileOpen, RefusesAFileThatHasAnotherName) {
    TempTree t;
    PosixFileSystem fs;
    t.WriteFile("notes.txt", "precious\n");
    ASSERT_EQ(link(t.Path("notes.txt").c_str(), t.Path("run.log").c_str()), 0);
    std::unique_ptr<LogFile> log;
    for (LogOpenMode mode : {LogOpenMode::kEmpty, LogOpenMode::kAppend}) {
        const Status s = fs.OpenLogFile(t.Path("run.log"), &log, mode);
        EXPECT_FALSE(s.ok());
        EXPECT_EQ(s.path(), t.Path("run.log"));
        EXPECT_EQ(log, nullptr);
        EXPECT_EQ(t.ReadFile("notes.txt"), "precious\n");
    }
    // Once it is the only name again it is an ordinary log file.
    ASSERT_EQ(unlink(t.Path("notes.txt").c_str()), 0);
    EXPECT_TRUE(fs.OpenLogFile(t.Path("run.log"), &log).ok());
    log.reset();

    // A file bind mounted over another name is one file under two names as well.
    t.MakeDir("tree");
    t.WriteFile("tree/kept.txt", "precious\n");
    t.WriteFile("bound.log", "");
    BindMounts mounts;
    if (!mounts.Bind(t.Path("tree/kept.txt"), t.Path("bound.log"))) {
        GTEST_SKIP() << mounts.error();
    }
    t.MakeLink("to-bound.log", t.Path("bound.log"));
    for (const char* name : {"bound.log", "to-bound.log"}) {
        EXPECT_FALSE(fs.OpenLogFile(t.Path(name), &log).ok()) << name;
        EXPECT_EQ(t.ReadFile("tree/kept.txt"), "precious\n") << name;
    }
    mounts.UnmountAll();
}

}  // namespace
}  // namespace tandrel
