// Working through open directories: a handle keeps acting on the directory it opened even
// after that directory is renamed and a link put in its place, opening below a handle never
// follows a link, and only single names are accepted.

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "DirHandle.h"
#include "PosixFileSystem.h"
#include "SystemCallFaults.h"
#include "TempTree.h"

namespace tandrel {
namespace {

constexpr int64_t kTime = 1234567890123456789;
constexpr int64_t kPlaceholderNs = int64_t{StampBatch::kPlaceholderSec} * 1000000000;

class DirHandleTest : public ::testing::Test {
  protected:
    DirHandle Open(const std::string& rel) {
        DirHandle dir;
        EXPECT_TRUE(fs_.OpenDirectory(tree_.Path(rel), &dir).ok()) << rel;
        return dir;
    }
    // Renames `rel` to `rel`.real and puts a link to outside/ in its place.
    void SwapForLink(const std::string& rel) {
        ASSERT_EQ(rename(tree_.Path(rel).c_str(), tree_.Path(rel + ".real").c_str()), 0);
        ASSERT_EQ(symlink(tree_.Path("outside").c_str(), tree_.Path(rel).c_str()), 0);
    }

    TempTree tree_;
    PosixFileSystem fs_;
};

TEST_F(DirHandleTest, AHandleKeepsActingOnItsDirectoryAfterASwapForALink) {
    tree_.MakeDir("outside");
    tree_.WriteFile("outside/f", "precious", kTime);
    tree_.WriteFile("outside/old", "precious");
    tree_.WriteFile("outside/m", "precious");
    tree_.MakeDir("src");
    tree_.WriteFile("src/f", "new", kTime);
    tree_.MakeDir("dst");
    tree_.WriteFile("dst/old", "old");
    tree_.WriteFile("dst/m", "to move");
    DirHandle src = Open("src");
    DirHandle dst = Open("dst");
    DirHandle bin = Open("");
    SwapForLink("dst");

    EXPECT_TRUE(fs_.CopyFileAt(src, "f", dst, "f", nullptr).ok());
    EXPECT_TRUE(fs_.DeleteFileAt(dst, "old").ok());
    EXPECT_TRUE(fs_.MoveFileAt(dst, "m", bin, "moved", nullptr).ok());
    EXPECT_TRUE(fs_.CreateDirectoryAt(dst, "sub", 0700).ok());
    EXPECT_TRUE(fs_.CommitCopies(false).ok());

    EXPECT_EQ(tree_.List("outside"), (std::set<std::string>{"f", "m", "old"}));
    EXPECT_EQ(tree_.ReadFile("outside/f"), "precious");
    EXPECT_EQ(tree_.List("dst.real"), (std::set<std::string>{"f", "sub/"}));
    EXPECT_EQ(tree_.ReadFile("dst.real/f"), "new");
    EXPECT_EQ(tree_.Mtime("dst.real/f"), kTime);  // stamped where it is, not through the path
    EXPECT_EQ(tree_.ReadFile("moved"), "to move");
}

TEST_F(DirHandleTest, OpeningBelowAHandleNeverFollowsALink) {
    tree_.MakeDir("outside");
    tree_.MakeDir("d/real");
    tree_.MakeLink("d/ln", tree_.Path("outside"));
    tree_.WriteFile("d/file", "x");
    DirHandle d = Open("d");
    DirHandle sub;
    EXPECT_TRUE(fs_.OpenSubdirectory(d, "real", &sub).ok());
    EXPECT_EQ(sub.path(), tree_.Path("d/real"));

    Status link = fs_.OpenSubdirectory(d, "ln", &sub);
    EXPECT_EQ(link.code(), Status::Code::kNotDirectory) << link.ToString();
    EXPECT_EQ(link.path(), tree_.Path("d/ln"));
    EXPECT_EQ(link.reason(), "is a symbolic link; links are not followed");
    const Status file = fs_.OpenSubdirectory(d, "file", &sub);
    EXPECT_EQ(file.code(), Status::Code::kNotDirectory);
    EXPECT_EQ(file.reason().find("link"), std::string::npos) << file.reason();
    EXPECT_TRUE(fs_.OpenSubdirectory(d, "gone", &sub).IsNotFound());

    // A root given as a link is the user's choice and is followed.
    tree_.MakeLink("rootlink", tree_.Path("d"));
    DirHandle root = Open("rootlink");
    EntryInfo info;
    EXPECT_TRUE(fs_.StatAt(root, "file", &info).ok());
    EXPECT_EQ(info.kind, EntryKind::kFile);
}

TEST_F(DirHandleTest, OnlySingleNamesAreAccepted) {
    tree_.MakeDir("d/sub");
    tree_.WriteFile("d/sub/f", "f");
    tree_.WriteFile("top", "t");
    DirHandle d = Open("d");
    DirHandle sub;
    EntryInfo info;
    for (const std::string bad : {"sub/f", "..", ".", "", "../top"}) {
        EXPECT_EQ(fs_.DeleteFileAt(d, bad).code(), Status::Code::kInvalid) << bad;
        EXPECT_EQ(fs_.OpenSubdirectory(d, bad, &sub).code(), Status::Code::kInvalid) << bad;
        EXPECT_EQ(fs_.CopyFileAt(d, bad, d, "copy", nullptr).code(), Status::Code::kInvalid) << bad;
        EXPECT_EQ(fs_.MoveFileAt(d, "sub", d, bad, nullptr).code(), Status::Code::kInvalid) << bad;
    }
    EXPECT_EQ(fs_.StatAt(d, "../top", &info).path(), tree_.Path("d/../top"));
    DirHandle root;
    ASSERT_TRUE(fs_.OpenDirectory("/", &root).ok());
    EXPECT_EQ(fs_.StatAt(root, "a/b", &info).path(), "/a/b");
    EXPECT_TRUE(fs_.StatAt(d, "", &info).ok());  // the directory itself
    EXPECT_EQ(info.kind, EntryKind::kDirectory);
    EXPECT_EQ(tree_.List(), (std::set<std::string>{"d/", "d/sub/", "d/sub/f", "top"}));
}

TEST_F(DirHandleTest, DirectoriesAreMadeWithTheirModeAndSetExactly) {
    tree_.MakeDir("d");
    DirHandle d = Open("d");
    const mode_t old = umask(022);
    EXPECT_TRUE(fs_.CreateDirectoryAt(d, "private", 0700).ok());
    EXPECT_TRUE(fs_.CreateDirectoryAt(d, "shared", 0775).ok());
    umask(old);
    EXPECT_EQ(tree_.Mode("d/private"), 0700u);
    EXPECT_EQ(tree_.Mode("d/shared"), 0755u);  // the umask applies on creation...
    DirHandle shared;
    ASSERT_TRUE(fs_.OpenSubdirectory(d, "shared", &shared).ok());
    EXPECT_TRUE(fs_.SetDirectoryMode(shared, 0775).ok());
    EXPECT_EQ(tree_.Mode("d/shared"), 0775u);  // ...not when the bits are set afterwards
    EXPECT_EQ(fs_.CreateDirectoryAt(d, "private", 0700).code(), Status::Code::kExists);

    // A directory its owner may only pass through opens all the same, to act inside it: a
    // copy goes in and gets its time, and the directory takes its mode. Permission bits do not
    // stop root, so for root the refusal to open it for reading is played.
    tree_.Chmod("d/private", 0300);
    tree_.WriteFile("f", "copied", kTime);
    const bool root = geteuid() == 0;
    if (root) {
        faults::Fail(faults::Call::kOpenAt, {.err = EACCES, .times = 1, .name = "private"});
    }
    DirHandle passable;
    ASSERT_TRUE(fs_.OpenSubdirectory(d, "private", &passable).ok());
    EXPECT_EQ(faults::Failed(faults::Call::kOpenAt), root ? 1 : 0);
    faults::Reset();
    DirListing entries;
    if (!root) {
        EXPECT_EQ(fs_.ListDirectoryAt(passable, &entries).code(), Status::Code::kPermission);
    }
    EXPECT_TRUE(fs_.CreateDirectoryAt(passable, "inner", 0700).ok());
    EXPECT_TRUE(fs_.CopyFileAt(Open(""), "f", passable, "f", nullptr).ok());
    EXPECT_TRUE(fs_.CommitCopies(false).ok());
    EXPECT_TRUE(fs_.SetDirectoryMode(passable, 0700).ok());
    EXPECT_EQ(tree_.Mode("d/private"), 0700u);
    EXPECT_EQ(tree_.List("d/private"), (std::set<std::string>{"f", "inner/"}));
    EXPECT_EQ(tree_.Mtime("d/private/f"), kTime);
}

// The way up from an open directory leads to where it lies now, which a caller tells by
// identity; it works from a directory that may only be passed through as well.
TEST_F(DirHandleTest, TheContainingDirectoryIsTheOneHoldingItNow) {
    tree_.MakeDir("d/a/b");
    tree_.MakeDir("d/c");
    DirHandle a = Open("d/a");
    DirHandle c = Open("d/c");
    DirHandle b;
    ASSERT_TRUE(fs_.OpenSubdirectory(a, "b", &b).ok());
    DirHandle up;
    ASSERT_TRUE(fs_.OpenContainingDirectory(b, &up).ok());
    EXPECT_EQ(up.id(), a.id());
    EXPECT_EQ(up.path(), tree_.Path("d/a"));

    ASSERT_EQ(rename(tree_.Path("d/a/b").c_str(), tree_.Path("d/c/b").c_str()), 0);
    ASSERT_TRUE(fs_.OpenContainingDirectory(b, &up).ok());
    EXPECT_EQ(up.id(), c.id());
    EXPECT_NE(up.id(), a.id());

    tree_.Chmod("d/c/b", 0100);
    const bool root = geteuid() == 0;
    if (root) {
        faults::Fail(faults::Call::kOpenAt, {.err = EACCES, .times = 1, .name = "b"});
    }
    DirHandle passable;
    ASSERT_TRUE(fs_.OpenSubdirectory(c, "b", &passable).ok());
    faults::Reset();
    ASSERT_TRUE(fs_.OpenContainingDirectory(passable, &up).ok());
    EXPECT_EQ(up.id(), c.id());
    tree_.Chmod("d/c/b", 0700);
    EXPECT_TRUE(fs_.RemoveDirectoryAt(up, "b").ok());
    EXPECT_EQ(tree_.List("d"), (std::set<std::string>{"a/", "c/"}));
}

// The probe of how a volume keeps times leaves nothing behind, whether it could be written or
// not.
TEST_F(DirHandleTest, AProbeOfStoredTimesReadsBackWhatTheVolumeKeptAndLeavesNothing) {
    tree_.MakeDir("d");
    DirHandle d = Open("d");
    int64_t stored = 0;
    ASSERT_TRUE(fs_.ProbeStoredTime(d, kTime, &stored).ok());
    // The test's own volume keeps nanoseconds (ext4, tmpfs, btrfs, xfs all do).
    EXPECT_EQ(stored, kTime);
    EXPECT_EQ(tree_.List("d"), std::set<std::string>{});

    faults::Fail(faults::Call::kOpenAt, {.err = EROFS, .times = 1});
    stored = 0;
    const Status refused = fs_.ProbeStoredTime(d, kTime, &stored);
    faults::Reset();
    EXPECT_EQ(refused.code(), Status::Code::kPermission) << refused.ToString();
    EXPECT_EQ(stored, 0);
    EXPECT_EQ(tree_.List("d"), std::set<std::string>{});
}

TEST(StampBatchBound, TheBatchIsFlushedOnceItHoldsTooManyDirectories) {
    TempTree tree;
    tree.WriteFile("f", "x", kTime);
    CopyOptions options;
    options.batch_dirs = 2;
    options.flush_behind = false;  // the copy that fills the batch waits for its flush
    PosixFileSystem fs(options);
    DirHandle src;
    ASSERT_TRUE(fs.OpenDirectory(tree.root(), &src).ok());
    DirHandle dirs[3];
    for (int i = 0; i < 3; ++i) {
        const std::string name = "d" + std::to_string(i);
        tree.MakeDir(name);
        ASSERT_TRUE(fs.OpenDirectory(tree.Path(name), &dirs[i]).ok());
    }
    ASSERT_TRUE(fs.CopyFileAt(src, "f", dirs[0], "a", nullptr).ok());
    ASSERT_TRUE(fs.CopyFileAt(src, "f", dirs[0], "b", nullptr).ok());  // shares d0's descriptor
    EXPECT_EQ(tree.Mtime("d0/a"), kPlaceholderNs);
    EXPECT_EQ(tree.Mtime("d0/b"), kPlaceholderNs);
    ASSERT_TRUE(fs.CopyFileAt(src, "f", dirs[1], "c", nullptr).ok());  // a second directory
    EXPECT_EQ(tree.Mtime("d0/a"), kTime);
    EXPECT_EQ(tree.Mtime("d1/c"), kTime);
    ASSERT_TRUE(fs.CopyFileAt(src, "f", dirs[2], "e", nullptr).ok());
    EXPECT_EQ(tree.Mtime("d2/e"), kPlaceholderNs);
    EXPECT_TRUE(fs.CommitCopies(false).ok());
    EXPECT_EQ(tree.Mtime("d2/e"), kTime);
}

// A flush behind the copies that fails leaves their placeholder times, so that a later run
// copies them again, and the next commit reports it even when its own flush succeeds.
TEST(StampBatchBound, AFailedFlushBehindTheCopiesIsReportedByTheNextCommit) {
    TempTree tree;
    tree.WriteFile("f", "x", kTime);
    CopyOptions options;
    options.batch_dirs = 2;
    options.flush_behind = true;
    PosixFileSystem fs(options);
    DirHandle src;
    ASSERT_TRUE(fs.OpenDirectory(tree.root(), &src).ok());
    faults::Fail(faults::Call::kSyncFs, {.err = EIO});
    for (const std::string name : {"a", "b", "c"}) {
        tree.MakeDir(name);
        DirHandle dir;
        ASSERT_TRUE(fs.OpenDirectory(tree.Path(name), &dir).ok());
        ASSERT_TRUE(fs.CopyFileAt(src, "f", dir, "f", nullptr).ok());
    }
    const Status s = fs.CommitCopies(false);
    EXPECT_EQ(faults::Failed(faults::Call::kSyncFs), 1);
    faults::Reset();
    EXPECT_EQ(s.reason(), strerror(EIO));
    EXPECT_EQ(s.path(), tree.Path("a/f"));
    EXPECT_EQ(tree.Mtime("a/f"), kPlaceholderNs);
    EXPECT_EQ(tree.Mtime("b/f"), kTime);
    EXPECT_EQ(tree.Mtime("c/f"), kTime);
}

}  // namespace
}  // namespace tandrel

namespace tandrel {
namespace {

TEST_F(DirHandleTest, SetFileModeChangesRegularFilesOnlyNeverThroughALink) {
    tree_.MakeDir("d");
    tree_.WriteFile("d/f", "f", std::nullopt, 0644);
    tree_.WriteFile("target", "t", std::nullopt, 0644);
    tree_.MakeLink("d/ln", tree_.Path("target"));
    tree_.MakeDir("d/sub");
    const DirHandle d = Open("d");
    EXPECT_TRUE(fs_.SetFileModeAt(d, "f", 0440).ok());
    EXPECT_EQ(tree_.Mode("d/f"), 0440u);
    EXPECT_EQ(fs_.SetFileModeAt(d, "ln", 0400).code(), Status::Code::kUnsupported);
    EXPECT_EQ(fs_.SetFileModeAt(d, "sub", 0700).code(), Status::Code::kUnsupported);
    EXPECT_EQ(tree_.Mode("target"), 0644u);
    EXPECT_EQ(tree_.Mode("d/sub"), 0755u);
    EXPECT_FALSE(fs_.SetFileModeAt(d, "../target", 0400).ok());
    EXPECT_EQ(tree_.Mode("target"), 0644u);

    // A change the file system refuses (read-only) is an error naming the file, not a link's
    // mode left alone.
    faults::Fail(faults::Call::kFchmodAt, {.err = EROFS, .name = "f"});
    const Status refused = fs_.SetFileModeAt(d, "f", 0400);
    faults::Reset();
    EXPECT_EQ(refused.code(), Status::FromErrno(EROFS, "").code());
    EXPECT_EQ(refused.path(), tree_.Path("d/f"));
    EXPECT_EQ(tree_.Mode("d/f"), 0440u);
}

}  // namespace
}  // namespace tandrel
