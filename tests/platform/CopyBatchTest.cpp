// Copies waiting for their real times: spread over directories and file systems, some of them
// replaced before the commit, and sources on either side of the oldest time that may wait.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "PosixFileSystem.h"
#include "TempTree.h"

namespace tandrel {
namespace {

constexpr int64_t kSec = 1000000000;
constexpr int64_t kTime = 1234567890123456789;
constexpr int64_t kPlaceholderNs = int64_t{StampBatch::kPlaceholderSec} * kSec;

dev_t DeviceOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}

TEST(CopyBatch, CopiesInSeveralDirectoriesAndOnTwoFileSystemsAllGetTheirTimes) {
    TempTree here;
    TempTree there("/dev/shm");
    if (there.root().empty() || DeviceOf(there.root()) == DeviceOf(here.root())) {
        GTEST_SKIP() << "needs a second file system at /dev/shm";
    }
    for (const char* dir : {"a", "b"}) {
        here.MakeDir(dir);
        there.MakeDir(dir);
    }
    here.WriteFile("src", "x", kTime);
    PosixFileSystem fs;
    // In turn: a directory, another one, another file system, and back.
    const std::string copies[] = {here.Path("a/1"), here.Path("b/2"),  there.Path("a/3"),
                                  here.Path("a/4"), there.Path("b/5"), here.Path("b/6")};
    for (const std::string& dst : copies) {
        ASSERT_TRUE(fs.CopyFile(here.Path("src"), dst, nullptr).ok()) << dst;
    }
    EXPECT_EQ(here.Mtime("a/1"), kPlaceholderNs);
    EXPECT_EQ(there.Mtime("a/3"), kPlaceholderNs);
    ASSERT_TRUE(fs.CommitCopies(false).ok());
    for (const char* rel : {"a/1", "b/2", "a/4", "b/6"}) {
        EXPECT_EQ(here.Mtime(rel), kTime) << rel;
    }
    for (const char* rel : {"a/3", "b/5"}) {
        EXPECT_EQ(there.Mtime(rel), kTime) << rel;
    }
}

TEST(CopyBatch, ACopyReplacedBeforeTheCommitIsSkippedAndTheRestAreStamped) {
    TempTree tree;
    tree.MakeDir("dst");
    tree.WriteFile("src", "x", kTime);
    PosixFileSystem fs;
    for (const char* name : {"first", "second", "third"}) {
        ASSERT_TRUE(fs.CopyFile(tree.Path("src"), tree.Path("dst/") + name, nullptr).ok());
    }
    tree.WriteFile("other", "someone else's", kTime - 7 * kSec);
    ASSERT_EQ(rename(tree.Path("other").c_str(), tree.Path("dst/first").c_str()), 0);
    ASSERT_TRUE(fs.CommitCopies(false).ok());
    EXPECT_EQ(tree.Mtime("dst/first"), kTime - 7 * kSec);
    EXPECT_EQ(tree.ReadFile("dst/first"), "someone else's");
    EXPECT_EQ(tree.Mtime("dst/second"), kTime);
    EXPECT_EQ(tree.Mtime("dst/third"), kTime);
}

TEST(CopyBatch, SourcesUpToTheEarliestBatchedTimeAreFlushedAtOnceAndLaterOnesWait) {
    TempTree tree;
    tree.MakeDir("dst");
    const int64_t bound = int64_t{StampBatch::kEarliestBatchedSec} * kSec;
    tree.WriteFile("at", "x", bound);
    tree.WriteFile("after", "x", bound + kSec);
    tree.WriteFile("before1970", "x", -5 * kSec - 1);
    PosixFileSystem fs;
    for (const char* name : {"at", "after", "before1970"}) {
        ASSERT_TRUE(fs.CopyFile(tree.Path(name), tree.Path("dst/") + name, nullptr).ok());
    }
    EXPECT_EQ(tree.Mtime("dst/at"), bound);
    EXPECT_EQ(tree.Mtime("dst/before1970"), -5 * kSec - 1);
    EXPECT_EQ(tree.Mtime("dst/after"), kPlaceholderNs);
    ASSERT_TRUE(fs.CommitCopies(false).ok());
    EXPECT_EQ(tree.Mtime("dst/after"), bound + kSec);
}

}  // namespace
}  // namespace tandrel
