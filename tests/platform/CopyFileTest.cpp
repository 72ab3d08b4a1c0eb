// CopyFile: what a copy carries over, how it replaces the old entry, and that every way it can
// stop (cancel, refusal, a failing write) leaves the destination as it was and no temporary.

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <ostream>
#include <set>
#include <string>

#include "CopyModes.h"
#include "PosixFileSystem.h"
#include "TempTree.h"

namespace tandrel {
namespace {

constexpr int64_t kTime = 1234567890123456789;
constexpr int64_t kPlaceholderNs = int64_t{StampBatch::kPlaceholderSec} * 1000000000;

// Every byte value, repeated to `size` bytes, so that a copy that drops, repeats or reorders
// a chunk is noticed.
std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    }
    return s;
}

class CopyFileTest : public ::testing::TestWithParam<CopyMode> {
  protected:
    CopyFileTest() : fs_(GetParam().options) {}

    // The destination directory holds exactly `expected` (so no temporary was left).
    void ExpectDestination(const std::set<std::string>& expected) {
        EXPECT_EQ(tree_.List("dst"), expected);
    }

    TempTree tree_;
    PosixFileSystem fs_;
};

TEST_P(CopyFileTest, CopiesContentsPermissionBitsAndNanosecondTime) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    const std::string data = Pattern(3 * 65536 + 17);  // several chunks and a remainder
    tree_.WriteFile("src/f", data, kTime, 0751);
    tree_.WriteFile("src/empty", "", kTime + 1, 0600);

    ASSERT_TRUE(fs_.CopyFile(tree_.Path("src/f"), tree_.Path("dst/f"), nullptr).ok());
    ASSERT_TRUE(fs_.CopyFile(tree_.Path("src/empty"), tree_.Path("dst/empty"), nullptr).ok());

    EXPECT_EQ(tree_.ReadFile("dst/f"), data);
    EXPECT_EQ(tree_.Mode("dst/f"), 0751u);
    EXPECT_EQ(tree_.ReadFile("dst/empty"), "");
    // Until the copies are known to be on the disk they look older than any real file.
    EXPECT_EQ(tree_.Mtime("dst/f"), kPlaceholderNs);
    ASSERT_TRUE(fs_.CommitCopies(false).ok());
    EXPECT_EQ(tree_.Mtime("dst/f"), kTime);
    EXPECT_EQ(tree_.Mtime("dst/empty"), kTime + 1);
    ExpectDestination({"empty", "f"});
}

TEST_P(CopyFileTest, AbandonedOrReplacedCopiesKeepThePlaceholder) {
    tree_.MakeDir("dst");
    tree_.WriteFile("a", "a", kTime);
    tree_.WriteFile("b", "b", kTime);
    ASSERT_TRUE(fs_.CopyFile(tree_.Path("a"), tree_.Path("dst/a"), nullptr).ok());
    ASSERT_TRUE(fs_.CommitCopies(true).ok());  // a stopped run does not wait for the disk
    EXPECT_EQ(tree_.Mtime("dst/a"), kPlaceholderNs);
    ASSERT_TRUE(fs_.CommitCopies(false).ok());  // nothing waits any more
    EXPECT_EQ(tree_.Mtime("dst/a"), kPlaceholderNs);

    // A file put in the copy's place before the commit is not the copy: left as it is.
    ASSERT_TRUE(fs_.CopyFile(tree_.Path("b"), tree_.Path("dst/b"), nullptr).ok());
    tree_.WriteFile("dst/other", "someone else's", kTime - 5);
    ASSERT_EQ(rename(tree_.Path("dst/other").c_str(), tree_.Path("dst/b").c_str()), 0);
    ASSERT_TRUE(fs_.CommitCopies(false).ok());
    EXPECT_EQ(tree_.Mtime("dst/b"), kTime - 5);
}

TEST(CopyFileDurability, FlushesEachCopyOrAFullBatchOnItsOwn) {
    TempTree tree;
    tree.MakeDir("dst");
    for (int i = 0; i < 3; ++i) {
        tree.WriteFile("f" + std::to_string(i), "x", kTime);
    }
    CopyOptions each;
    each.durability = CopyOptions::Durability::kSyncEach;
    PosixFileSystem eachFs(each);
    ASSERT_TRUE(eachFs.CopyFile(tree.Path("f0"), tree.Path("dst/f0"), nullptr).ok());
    EXPECT_EQ(tree.Mtime("dst/f0"), kTime);

    CopyOptions small;
    small.batch_files = 2;
    small.flush_behind = false;  // the copy that fills the batch waits for its flush
    PosixFileSystem batchFs(small);
    ASSERT_TRUE(batchFs.CopyFile(tree.Path("f1"), tree.Path("dst/f1"), nullptr).ok());
    EXPECT_EQ(tree.Mtime("dst/f1"), kPlaceholderNs);
    ASSERT_TRUE(batchFs.CopyFile(tree.Path("f2"), tree.Path("dst/f2"), nullptr).ok());
    EXPECT_EQ(tree.Mtime("dst/f1"), kTime);  // the batch was full and went to the disk
    EXPECT_EQ(tree.Mtime("dst/f2"), kTime);

    // A source from before 1980 could not be told from the placeholder on FAT: flushed alone.
    tree.WriteFile("old", "x", int64_t{100} * 1000000000);
    ASSERT_TRUE(batchFs.CopyFile(tree.Path("old"), tree.Path("dst/old"), nullptr).ok());
    EXPECT_EQ(tree.Mtime("dst/old"), int64_t{100} * 1000000000);

    // A move across file systems never leaves its copy waiting: the source is gone after it.
    ASSERT_TRUE(batchFs.MoveByCopy(tree.Path("dst/f2"), tree.Path("moved"), nullptr).ok());
    EXPECT_EQ(tree.Mtime("moved"), kTime);
}

TEST(CopyFileDurability, AFullBatchFlushedBehindIsStampedBeforeTheNextOneGoes) {
    TempTree tree;
    tree.MakeDir("dst");
    for (int i = 0; i < 5; ++i) {
        tree.WriteFile("f" + std::to_string(i), "x", kTime + i);
    }
    CopyOptions small;
    small.batch_files = 2;
    ASSERT_TRUE(small.flush_behind);  // what the program uses
    PosixFileSystem fs(small);
    for (int i = 0; i < 4; ++i) {
        const std::string name = "f" + std::to_string(i);
        ASSERT_TRUE(fs.CopyFile(tree.Path(name), tree.Path("dst/" + name), nullptr).ok());
    }
    // The second full batch waited for the first one's flush before its own began.
    EXPECT_EQ(tree.Mtime("dst/f0"), kTime);
    EXPECT_EQ(tree.Mtime("dst/f1"), kTime + 1);
    ASSERT_TRUE(fs.CopyFile(tree.Path("f4"), tree.Path("dst/f4"), nullptr).ok());
    EXPECT_EQ(tree.Mtime("dst/f4"), kPlaceholderNs);  // alone in its batch, not full
    ASSERT_TRUE(fs.CommitCopies(false).ok());
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tree.Mtime("dst/f" + std::to_string(i)), kTime + i) << i;
    }
}

TEST_P(CopyFileTest, ReplacesAReadOnlyFileAndALink) {
    tree_.MakeDir("dst");
    tree_.WriteFile("new", "new contents", kTime);
    tree_.WriteFile("dst/ro", "old", std::nullopt, 0444);
    tree_.WriteFile("target", "must stay");
    tree_.MakeLink("dst/ln", "../target");

    ASSERT_TRUE(fs_.CopyFile(tree_.Path("new"), tree_.Path("dst/ro"), nullptr).ok());
    ASSERT_TRUE(fs_.CopyFile(tree_.Path("new"), tree_.Path("dst/ln"), nullptr).ok());

    EXPECT_EQ(tree_.ReadFile("dst/ro"), "new contents");
    EXPECT_EQ(tree_.ReadFile("dst/ln"), "new contents");  // the link itself was replaced...
    EXPECT_EQ(tree_.ReadFile("target"), "must stay");     // ...not written through
    ExpectDestination({"ln", "ro"});
}

TEST_P(CopyFileTest, RefusesADirectoryAtTheDestinationAndLeavesIt) {
    tree_.MakeDir("dst/f");
    tree_.WriteFile("dst/f/inside", "keep");
    tree_.WriteFile("f", "data");

    Status s = fs_.CopyFile(tree_.Path("f"), tree_.Path("dst/f"), nullptr);
    EXPECT_EQ(s.code(), Status::Code::kIsDirectory);
    EXPECT_EQ(s.path(), tree_.Path("dst/f"));
    ExpectDestination({"f/", "f/inside"});
    EXPECT_EQ(tree_.ReadFile("dst/f/inside"), "keep");
}

TEST_P(CopyFileTest, CancelHalfWayKeepsTheOldFileAndRemovesTheTemporary) {
    CopyOptions options = GetParam().options;
    options.try_reflink = false;  // a clone is done in one step, with nothing to cancel
    const size_t size = 2 * options.chunk_bytes + 1;
    tree_.MakeDir("dst");
    tree_.WriteFile("big", Pattern(size));
    tree_.WriteFile("dst/big", "old", kTime);

    std::atomic<bool> cancel{false};
    int chunks = 0;
    options.on_chunk = [&](uint64_t copied) {
        ++chunks;
        EXPECT_GT(copied, 0u);
        EXPECT_LT(copied, size);  // still short of the end
        cancel = true;
    };
    PosixFileSystem fs(options);
    Status s = fs.CopyFile(tree_.Path("big"), tree_.Path("dst/big"), &cancel);
    EXPECT_TRUE(s.IsCancelled()) << s.ToString();
    EXPECT_EQ(s.path(), tree_.Path("dst/big"));
    EXPECT_EQ(chunks, 1);
    EXPECT_EQ(tree_.ReadFile("dst/big"), "old");
    EXPECT_EQ(tree_.Mtime("dst/big"), kTime);
    ExpectDestination({"big"});
}

// A source cut short while it is being copied (a log rotated under the run) gives a copy of
// what it holds at the end, not a failure and not the old length filled with zeros. Its time
// is the one seen before the copy, so the next run copies it again.
TEST_P(CopyFileTest, ASourceCutShortDuringTheCopyGivesWhatItHoldsAtTheEnd) {
    CopyOptions options = GetParam().options;
    options.try_reflink = false;
    const size_t size = 3 * options.chunk_bytes;
    const size_t shrunk = options.chunk_bytes + options.chunk_bytes / 2;
    tree_.MakeDir("dst");
    tree_.WriteFile("big", Pattern(size));
    options.on_chunk = [&](uint64_t) {
        EXPECT_EQ(truncate(tree_.Path("big").c_str(), static_cast<off_t>(shrunk)), 0);
    };
    PosixFileSystem fs(options);
    Status s = fs.CopyFile(tree_.Path("big"), tree_.Path("dst/big"), nullptr);
    EXPECT_TRUE(s.ok()) << s.ToString();
    EXPECT_EQ(tree_.ReadFile("dst/big"), Pattern(size).substr(0, shrunk));
    ExpectDestination({"big"});
}

TEST_P(CopyFileTest, CancelAlreadySetCopiesNothing) {
    tree_.MakeDir("dst");
    tree_.WriteFile("f", "new");
    tree_.MakeLink("ln", "f");
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(fs_.CopyFile(tree_.Path("f"), tree_.Path("dst/f"), &cancel).IsCancelled());
    EXPECT_TRUE(fs_.CopyFile(tree_.Path("ln"), tree_.Path("dst/ln"), &cancel).IsCancelled());
    ExpectDestination({});
}

TEST_P(CopyFileTest, AFailingWriteReportsTheDestinationAndKeepsTheOldFile) {
    tree_.MakeDir("dst");
    tree_.WriteFile("big", Pattern(512 * 1024));
    tree_.WriteFile("dst/big", "old", kTime);

    // A file-size limit makes writes past 64 KiB fail with EFBIG, as a full disk would with
    // ENOSPC: the error comes from the destination side in the middle of the copy.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Status s = fs_.CopyFile(tree_.Path("big"), tree_.Path("dst/big"), nullptr);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, old_handler);

    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.path(), tree_.Path("dst/big"));
    EXPECT_EQ(tree_.ReadFile("dst/big"), "old");
    EXPECT_EQ(tree_.Mtime("dst/big"), kTime);
    ExpectDestination({"big"});
}

TEST_P(CopyFileTest, CopiesALinkAsALinkWithItsOwnTime) {
    tree_.MakeDir("dst");
    tree_.WriteFile("target", "not to be copied");
    const std::string text = "../target with blank %s -x \xfe";
    tree_.MakeLink("ln", text);
    tree_.SetMtime("ln", kTime);
    tree_.MakeLink("dangling", "does/not/exist");
    tree_.WriteFile("dst/ln", "old file in the way");

    ASSERT_TRUE(fs_.CopyFile(tree_.Path("ln"), tree_.Path("dst/ln"), nullptr).ok());
    ASSERT_TRUE(fs_.CopyFile(tree_.Path("dangling"), tree_.Path("dst/dangling"), nullptr).ok());

    EXPECT_EQ(tree_.ReadLink("dst/ln"), text);
    EXPECT_EQ(tree_.Mtime("dst/ln"), kTime);
    EXPECT_EQ(tree_.ReadLink("dst/dangling"), "does/not/exist");
    ExpectDestination({"dangling@", "ln@"});
}

TEST_P(CopyFileTest, RefusesPipesWithoutOpeningThem) {
    // Opening a pipe with no writer would block for ever; the test run's time limit catches
    // a copy that tries.
    tree_.MakeDir("dst");
    tree_.MakeFifo("pipe");
    tree_.MakeDir("dir");
    Status s = fs_.CopyFile(tree_.Path("pipe"), tree_.Path("dst/pipe"), nullptr);
    EXPECT_EQ(s.code(), Status::Code::kUnsupported);
    EXPECT_EQ(s.path(), tree_.Path("pipe"));
    EXPECT_EQ(fs_.CopyFile(tree_.Path("dir"), tree_.Path("dst/dir"), nullptr).code(),
              Status::Code::kIsDirectory);
    ExpectDestination({});
}

TEST_P(CopyFileTest, NamesTheMissingSideInErrors) {
    tree_.MakeDir("dst");
    tree_.WriteFile("f", "x");
    Status no_src = fs_.CopyFile(tree_.Path("gone"), tree_.Path("dst/f"), nullptr);
    EXPECT_TRUE(no_src.IsNotFound());
    EXPECT_EQ(no_src.path(), tree_.Path("gone"));
    Status no_dir = fs_.CopyFile(tree_.Path("f"), tree_.Path("dst/missing/f"), nullptr);
    EXPECT_TRUE(no_dir.IsNotFound());
    EXPECT_NE(no_dir.ToString().find(tree_.Path("dst/missing")), std::string::npos);
    ExpectDestination({});
}

TEST_P(CopyFileTest, HandlesNamesWithAnyBytes) {
    const std::string name("-r %d \"x\" \x80\xff", 12);
    tree_.MakeDir("dst");
    tree_.WriteFile(name, "odd", kTime);
    ASSERT_TRUE(fs_.CopyFile(tree_.Path(name), tree_.Path("dst/" + name), nullptr).ok());
    EXPECT_EQ(tree_.ReadFile("dst/" + name), "odd");
    ExpectDestination({name});
}

INSTANTIATE_TEST_SUITE_P(Modes, CopyFileTest, AllCopyModes(), CopyModeName);

}  // namespace
}  // namespace tandrel
