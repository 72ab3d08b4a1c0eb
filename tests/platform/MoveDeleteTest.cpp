// Moving, deleting, creating and removing entries: each refuses the kind it must not touch and
// never acts through a link.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "PosixFileSystem.h"
#include "SystemCallFaults.h"
#include "TempTree.h"

namespace tandrel {
namespace {

constexpr int64_t kTime = 1234567890123456789;

class MoveDeleteTest : public ::testing::Test {
  protected:
    TempTree tree_;
    PosixFileSystem fs_;
};

TEST_F(MoveDeleteTest, MovesFilesAndLinksReplacingWhatIsThere) {
    tree_.MakeDir("a");
    tree_.MakeDir("b");
    tree_.WriteFile("a/f", "moved", kTime);
    tree_.WriteFile("b/f", "old");
    tree_.MakeLink("a/ln", "f");
    tree_.MakeFifo("a/pipe");

    ASSERT_TRUE(fs_.MoveFile(tree_.Path("a/f"), tree_.Path("b/f"), nullptr).ok());
    ASSERT_TRUE(fs_.MoveFile(tree_.Path("a/ln"), tree_.Path("b/ln"), nullptr).ok());
    ASSERT_TRUE(fs_.MoveFile(tree_.Path("a/pipe"), tree_.Path("b/pipe"), nullptr).ok());

    EXPECT_EQ(tree_.List(), (std::set<std::string>{"a/", "b/", "b/f", "b/ln@", "b/pipe|"}));
    EXPECT_EQ(tree_.ReadFile("b/f"), "moved");
    EXPECT_EQ(tree_.Mtime("b/f"), kTime);
    EXPECT_EQ(tree_.ReadLink("b/ln"), "f");

    // What is missing is named: the source, or else the destination's directory.
    tree_.MakeDir("c");
    DirHandle a;
    DirHandle c;
    ASSERT_TRUE(fs_.OpenDirectory(tree_.Path("a"), &a).ok());
    ASSERT_TRUE(fs_.OpenDirectory(tree_.Path("c"), &c).ok());
    EXPECT_EQ(fs_.MoveFileAt(a, "gone", c, "f", nullptr).path(), tree_.Path("a/gone"));
    tree_.WriteFile("a/g", "g");
    ASSERT_EQ(rmdir(tree_.Path("c").c_str()), 0);
    const Status noDir = fs_.MoveFileAt(a, "g", c, "g", nullptr);
    EXPECT_TRUE(noDir.IsNotFound()) << noDir.ToString();
    EXPECT_EQ(noDir.path(), tree_.Path("c/g"));
    EXPECT_EQ(tree_.List("a"), std::set<std::string>{"g"});
}

TEST_F(MoveDeleteTest, MoveRefusesDirectoriesOnEitherSide) {
    tree_.WriteFile("f", "x");
    tree_.MakeDir("d/sub");
    tree_.WriteFile("d/sub/keep", "k");

    Status onto_dir = fs_.MoveFile(tree_.Path("f"), tree_.Path("d/sub"), nullptr);
    EXPECT_EQ(onto_dir.code(), Status::Code::kIsDirectory);
    EXPECT_EQ(onto_dir.path(), tree_.Path("d/sub"));
    Status from_dir = fs_.MoveFile(tree_.Path("d/sub"), tree_.Path("e"), nullptr);
    EXPECT_EQ(from_dir.code(), Status::Code::kIsDirectory);
    EXPECT_EQ(from_dir.path(), tree_.Path("d/sub"));
    // The path at fault is named, whatever form the other one was given in.
    EXPECT_EQ(fs_.MoveFile(tree_.Path("d/sub"), tree_.Path("e/"), nullptr).path(),
              tree_.Path("d/sub"));
    EXPECT_EQ(tree_.List(), (std::set<std::string>{"d/", "d/sub/", "d/sub/keep", "f"}));
}

TEST_F(MoveDeleteTest, MoveBetweenTwoHardLinksOfOneFileRemovesTheSource) {
    // rename() alone reports success here and leaves both names in place.
    tree_.WriteFile("a", "same");
    ASSERT_EQ(link(tree_.Path("a").c_str(), tree_.Path("b").c_str()), 0);
    ASSERT_TRUE(fs_.MoveFile(tree_.Path("a"), tree_.Path("b"), nullptr).ok());
    EXPECT_EQ(tree_.List(), (std::set<std::string>{"b"}));

    // One entry named two ways is left alone rather than deleted.
    tree_.MakeDir("d");
    ASSERT_TRUE(fs_.MoveFile(tree_.Path("b"), tree_.Path("d/../b"), nullptr).ok());
    EXPECT_EQ(tree_.ReadFile("b"), "same");
}

TEST_F(MoveDeleteTest, MovesAcrossFileSystemsByCopyThenDelete) {
    TempTree other("/dev/shm");
    struct stat here {};
    struct stat there {};
    if (other.root().empty() || stat(tree_.root().c_str(), &here) != 0 ||
        stat(other.root().c_str(), &there) != 0 || here.st_dev == there.st_dev) {
        GTEST_SKIP() << "/dev/shm is not a second file system here";
    }
    tree_.WriteFile("f", "travels", kTime, 0604);
    tree_.MakeLink("ln", "f");
    tree_.SetMtime("ln", kTime);
    other.WriteFile("f", "old");

    ASSERT_TRUE(fs_.MoveFile(tree_.Path("f"), other.Path("f"), nullptr).ok());
    ASSERT_TRUE(fs_.MoveFile(tree_.Path("ln"), other.Path("ln"), nullptr).ok());

    EXPECT_EQ(tree_.List(), std::set<std::string>{});
    EXPECT_EQ(other.List(), (std::set<std::string>{"f", "ln@"}));
    EXPECT_EQ(other.ReadFile("f"), "travels");
    EXPECT_EQ(other.Mode("f"), 0604u);
    EXPECT_EQ(other.Mtime("f"), kTime);
    EXPECT_EQ(other.Mtime("ln"), kTime);

    tree_.MakeFifo("pipe");
    EXPECT_EQ(fs_.MoveFile(tree_.Path("pipe"), other.Path("pipe"), nullptr).code(),
              Status::Code::kUnsupported);
    EXPECT_TRUE(tree_.Exists("pipe"));
}

// A move that must not replace anything (into a recycle directory) takes the first free
// numbered name beside a taken one, whatever stands there, and says which name it took. Where
// the file system has no rename that refuses a target, a new hard link does the same.
TEST_F(MoveDeleteTest, MovingWithoutReplacingTakesTheNextNumberedName) {
    for (const bool renameRefused : {false, true}) {
        SCOPED_TRACE(renameRefused ? "by hard link" : "by rename");
        TempTree t;
        t.MakeDir("a");
        t.MakeDir("b");
        t.WriteFile("a/f", "moved");
        t.WriteFile("b/f", "there");
        t.WriteFile("b/f.~1~", "there too");
        t.MakeLink("a/ln", "target");
        t.MakeLink("b/ln", "dangling");
        t.MakeDir("b/sub");
        t.WriteFile("a/sub", "a file where a directory is");
        t.WriteFile("a/free", "free");
        DirHandle a;
        DirHandle b;
        ASSERT_TRUE(fs_.OpenDirectory(t.Path("a"), &a).ok());
        ASSERT_TRUE(fs_.OpenDirectory(t.Path("b"), &b).ok());
        if (renameRefused) {
            faults::Fail(faults::Call::kRenameAt2, {.err = EINVAL, .times = 100});
        }
        struct Case {
            const char* name;
            const char* placed;
        };
        for (const Case& c : {Case{"f", "f.~2~"}, Case{"ln", "ln.~1~"}, Case{"sub", "sub.~1~"},
                              Case{"free", "free"}}) {
            std::string placed;
            ASSERT_TRUE(fs_.MoveNoReplaceAt(a, c.name, b, c.name, &placed, nullptr).ok()) << c.name;
            EXPECT_EQ(placed, c.placed);
        }
        faults::Reset();
        EXPECT_EQ(t.List("a"), std::set<std::string>{});
        EXPECT_EQ(t.ReadFile("b/f"), "there");
        EXPECT_EQ(t.ReadFile("b/f.~1~"), "there too");
        EXPECT_EQ(t.ReadFile("b/f.~2~"), "moved");
        EXPECT_EQ(t.ReadLink("b/ln"), "dangling");
        EXPECT_EQ(t.ReadLink("b/ln.~1~"), "target");
        EXPECT_EQ(t.ReadFile("b/sub.~1~"), "a file where a directory is");
        EXPECT_EQ(t.ReadFile("b/free"), "free");
    }
}

// Across file systems the copy goes to a temporary first and takes its name the same way.
TEST_F(MoveDeleteTest, MovingWithoutReplacingAcrossFileSystems) {
    TempTree other("/dev/shm");
    struct stat here {};
    struct stat there {};
    if (other.root().empty() || stat(tree_.root().c_str(), &here) != 0 ||
        stat(other.root().c_str(), &there) != 0 || here.st_dev == there.st_dev) {
        GTEST_SKIP() << "/dev/shm is not a second file system here";
    }
    tree_.WriteFile("f", "travels");
    other.WriteFile("f", "old");
    DirHandle from;
    DirHandle to;
    ASSERT_TRUE(fs_.OpenDirectory(tree_.root(), &from).ok());
    ASSERT_TRUE(fs_.OpenDirectory(other.root(), &to).ok());
    std::string placed;
    ASSERT_TRUE(fs_.MoveNoReplaceAt(from, "f", to, "f", &placed, nullptr).ok());
    EXPECT_EQ(placed, "f.~1~");
    EXPECT_EQ(tree_.List(), std::set<std::string>{});
    EXPECT_EQ(other.List(), (std::set<std::string>{"f", "f.~1~"}));
    EXPECT_EQ(other.ReadFile("f"), "old");
    EXPECT_EQ(other.ReadFile("f.~1~"), "travels");
}

// A file system whose deletes fail, to reach the end of a move across file systems where the
// copy is made but the source stays.
class UndeletableFileSystem : public PosixFileSystem {
  public:
    Status DeleteFileAt(const DirHandle& dir, const std::string& name) override {
        return Status::Error(Status::Code::kPermission, dir.PathOf(name),
                             "Operation not permitted");
    }
};

TEST_F(MoveDeleteTest, MoveByCopySaysWhenTheSourceCouldNotBeRemoved) {
    UndeletableFileSystem fs;
    tree_.WriteFile("src", "both");
    Status s = fs.MoveByCopy(tree_.Path("src"), tree_.Path("dst"), nullptr);
    EXPECT_EQ(s.code(), Status::Code::kPermission);
    EXPECT_EQ(s.path(), tree_.Path("src"));
    EXPECT_NE(s.reason().find("both places"), std::string::npos) << s.reason();
    EXPECT_EQ(tree_.ReadFile("src"), "both");
    EXPECT_EQ(tree_.ReadFile("dst"), "both");
}

TEST_F(MoveDeleteTest, MoveByCopyStopsWhenCancelledAndKeepsTheSource) {
    tree_.WriteFile("src", "stays");
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(fs_.MoveByCopy(tree_.Path("src"), tree_.Path("dst"), &cancel).IsCancelled());
    EXPECT_EQ(tree_.List(), (std::set<std::string>{"src"}));
}

TEST_F(MoveDeleteTest, DeleteRemovesFilesAndLinksButNotDirectories) {
    tree_.MakeDir("d");
    tree_.WriteFile("d/f", "x");
    tree_.MakeLink("ln", "d");
    tree_.WriteFile("ro", "x", std::nullopt, 0444);

    Status dir = fs_.DeleteFile(tree_.Path("d"));
    EXPECT_EQ(dir.code(), Status::Code::kIsDirectory);
    EXPECT_EQ(dir.path(), tree_.Path("d"));
    // The link goes, the directory it points at stays, even when asked with a trailing '/'.
    ASSERT_TRUE(fs_.DeleteFile(tree_.Path("ln/")).ok());
    ASSERT_TRUE(fs_.DeleteFile(tree_.Path("ro")).ok());
    EXPECT_TRUE(fs_.DeleteFile(tree_.Path("ro")).IsNotFound());
    EXPECT_EQ(tree_.List(), (std::set<std::string>{"d/", "d/f"}));
}

TEST_F(MoveDeleteTest, CreateDirectoryFailsOnAnythingAlreadyThere) {
    tree_.WriteFile("f", "x");
    tree_.MakeDir("d");
    tree_.MakeLink("ln", "d");
    tree_.MakeLink("dangling", "nowhere");
    for (const char* name : {"f", "d", "ln", "dangling", "ln/"}) {
        Status s = fs_.CreateDirectory(tree_.Path(name));
        EXPECT_EQ(s.code(), Status::Code::kExists) << name << ": " << s.ToString();
        EXPECT_EQ(s.path(), tree_.Path(name));
    }
    ASSERT_TRUE(fs_.CreateDirectory(tree_.Path("new/")).ok());
    EXPECT_TRUE(fs_.CreateDirectory(tree_.Path("missing/child")).IsNotFound());
    EXPECT_EQ(tree_.List(), (std::set<std::string>{"d/", "dangling@", "f", "ln@", "new/"}));
}

TEST_F(MoveDeleteTest, RemoveDirectoryRemovesOnlyEmptyRealDirectories) {
    tree_.MakeDir("empty");
    tree_.MakeDir("full");
    tree_.WriteFile("full/f", "x");
    tree_.MakeDir("target");
    tree_.MakeLink("ln", "target");
    tree_.WriteFile("file", "x");

    EXPECT_EQ(fs_.RemoveDirectory(tree_.Path("ln")).code(), Status::Code::kNotDirectory);
    EXPECT_EQ(fs_.RemoveDirectory(tree_.Path("ln/")).code(), Status::Code::kNotDirectory);
    EXPECT_EQ(fs_.RemoveDirectory(tree_.Path("file")).code(), Status::Code::kNotDirectory);
    Status full = fs_.RemoveDirectory(tree_.Path("full"));
    EXPECT_FALSE(full.ok());
    EXPECT_EQ(full.path(), tree_.Path("full"));
    ASSERT_TRUE(fs_.RemoveDirectory(tree_.Path("empty/")).ok());
    EXPECT_EQ(tree_.List(), (std::set<std::string>{"file", "full/", "full/f", "ln@", "target/"}));
}

TEST_F(MoveDeleteTest, MakeReplaceableAddsOwnerWriteToFilesOnly) {
    tree_.WriteFile("ro", "x", std::nullopt, 0444);
    tree_.WriteFile("target", "x", std::nullopt, 0400);
    tree_.MakeLink("ln", "target");
    tree_.MakeDir("d");
    tree_.Chmod("d", 0555);

    ASSERT_TRUE(fs_.MakeReplaceable(tree_.Path("ro")).ok());
    ASSERT_TRUE(fs_.MakeReplaceable(tree_.Path("ln")).ok());
    ASSERT_TRUE(fs_.MakeReplaceable(tree_.Path("missing")).ok());
    ASSERT_TRUE(fs_.MakeReplaceable(tree_.Path("d")).ok());

    EXPECT_EQ(tree_.Mode("ro"), 0644u);
    EXPECT_EQ(tree_.Mode("target"), 0400u);  // not changed through the link
    EXPECT_EQ(tree_.Mode("d"), 0555u);
}

}  // namespace
}  // namespace tandrel
