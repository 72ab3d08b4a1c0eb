// The shared test helpers: a TempTree must never reach outside itself when it cleans up, and
// FailingFileSystem must fail exactly what it is told to and simulate its volume faithfully,
// or the engine tests built on them prove nothing.

#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "FailingFileSystem.h"
#include "TempTree.h"

namespace tandrel {
namespace {

using Op = FailingFileSystem::Op;

TEST(TempTreeTest, CleanupRemovesLinksNotWhatTheyPointAt) {
    TempTree outside;
    outside.WriteFile("precious", "keep");
    std::string root;
    {
        TempTree tree;
        root = tree.root();
        tree.MakeDir("a/b");
        tree.MakeLink("a/b/out", outside.root());
        tree.MakeLink("a/file-out", outside.Path("precious"));
        tree.MakeDir("locked/inner");
        tree.WriteFile("locked/inner/f", "x");
        tree.Chmod("locked/inner", 0);
        tree.Chmod("locked", 0);
    }
    EXPECT_EQ(access(root.c_str(), F_OK), -1);
    EXPECT_EQ(outside.List(), (std::set<std::string>{"precious"}));
    EXPECT_EQ(outside.ReadFile("precious"), "keep");
}

class FailingFileSystemTest : public ::testing::Test {
  protected:
    TempTree tree_;
    FailingFileSystem fs_;
};

TEST_F(FailingFileSystemTest, FailsMatchingCallsOnlyAndNamesTheMatchedPath) {
    tree_.WriteFile("big.bin", "x");
    tree_.WriteFile("small", "y");
    tree_.MakeDir("dst");
    fs_.FailOn(Op::kCopyFile, "big", Status::Code::kIoError, "No space left on device", 1);

    Status s = fs_.CopyFile(tree_.Path("big.bin"), tree_.Path("dst/big.bin"), nullptr);
    EXPECT_EQ(s.code(), Status::Code::kIoError);
    EXPECT_EQ(s.path(), tree_.Path("big.bin"));
    EXPECT_EQ(s.reason(), "No space left on device");
    EXPECT_EQ(tree_.List("dst"), std::set<std::string>{});  // never reached the disk

    EXPECT_TRUE(fs_.CopyFile(tree_.Path("small"), tree_.Path("dst/small"), nullptr).ok());
    // The rule was for one failure only.
    EXPECT_TRUE(fs_.CopyFile(tree_.Path("big.bin"), tree_.Path("dst/big.bin"), nullptr).ok());
    EXPECT_EQ(fs_.InjectedFailures(), 1);
    EXPECT_EQ(fs_.CallCount(Op::kCopyFile), 3);

    fs_.FailOn(Op::kListDirectory, "/dst");
    std::vector<DirEntry> entries;
    EXPECT_FALSE(fs_.ListDirectory(tree_.Path("dst/"), &entries).ok());
    EXPECT_TRUE(fs_.ListDirectory(tree_.root(), &entries).ok());
}

TEST_F(FailingFileSystemTest, HookCanCancelTheCopyItIsAbout) {
    tree_.WriteFile("a", "1");
    tree_.WriteFile("b", "2");
    tree_.MakeDir("dst");
    std::atomic<bool> cancel{false};
    fs_.SetHook([&](const FailingFileSystem::Call& call) {
        if (call.op == Op::kCopyFile && call.path2.ends_with("/b")) {
            cancel = true;
        }
    });
    EXPECT_TRUE(fs_.CopyFile(tree_.Path("a"), tree_.Path("dst/a"), &cancel).ok());
    EXPECT_TRUE(fs_.CopyFile(tree_.Path("b"), tree_.Path("dst/b"), &cancel).IsCancelled());
    EXPECT_EQ(tree_.List("dst"), std::set<std::string>{"a"});
}

TEST_F(FailingFileSystemTest, FatVolumeCutsTimesAndFindsNamesIgnoringCase) {
    tree_.MakeDir("Dst/Sub");
    tree_.WriteFile("Dst/Sub/Old.TXT", "old");
    tree_.WriteFile("new", "new", 1000000003999999999);  // an odd second and a fraction
    fs_.SimulateVolume(FailingFileSystem::FatVolume());

    VolumeInfo info;
    ASSERT_TRUE(fs_.GetVolumeInfo(tree_.Path("dst"), &info).ok());
    EXPECT_TRUE(info.case_insensitive);
    EXPECT_EQ(info.time_granularity_ns, 2000000000);

    ASSERT_TRUE(fs_.CopyFile(tree_.Path("new"), tree_.Path("dst/sub/old.txt"), nullptr).ok());
    EXPECT_EQ(tree_.List("Dst"), (std::set<std::string>{"Sub/", "Sub/Old.TXT"}));
    EXPECT_EQ(tree_.ReadFile("Dst/Sub/Old.TXT"), "new");
    ASSERT_TRUE(fs_.CommitCopies(false).ok()) << fs_.CommitCopies(false).ToString();
    EXPECT_EQ(tree_.Mtime("Dst/Sub/Old.TXT"), 1000000002000000000);

    EntryInfo entry;
    EXPECT_TRUE(fs_.Stat(tree_.Path("DST/SUB/OLD.txt"), &entry).ok());
    fs_.SimulateVolume(std::nullopt);
    EXPECT_TRUE(fs_.Stat(tree_.Path("DST/SUB/OLD.txt"), &entry).IsNotFound());
}

}  // namespace
}  // namespace tandrel
