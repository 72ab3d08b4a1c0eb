// What a copy's permission bits and its refusals come from, whatever the process's umask, and
// the memory of volume pairs that cannot share blocks.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>

#include "CloneProbe.h"
#include "PosixFileSystem.h"
#include "TempTree.h"

namespace tandrel {
namespace {

constexpr int64_t kTime = 1234567890123456789;

// Sets the umask for the life of the object.
class ScopedUmask {
  public:
    explicit ScopedUmask(mode_t mask) : old_(umask(mask)) {}
    ~ScopedUmask() { umask(old_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

  private:
    mode_t old_;
};

TEST(CopyMode, TheSourceBitsWinOverAnyUmask) {
    TempTree tree;
    tree.MakeDir("dst");
    tree.WriteFile("shared", "group writes", kTime, 0664);
    tree.WriteFile("open", "anyone", kTime, 0777);
    tree.WriteFile("readonly", "no one writes", kTime, 0444);
    tree.WriteFile("none", "no bits at all", kTime, 0000);
    PosixFileSystem fs;
    {
        ScopedUmask mask(0077);  // would leave only the owner's bits on a new file
        for (const char* name : {"shared", "open", "readonly", "none"}) {
            ASSERT_TRUE(
                fs.CopyFile(tree.Path(name), tree.Path(std::string("dst/") + name), nullptr).ok())
                << name;
        }
    }
    ASSERT_TRUE(fs.CommitCopies(false).ok());
    EXPECT_EQ(tree.Mode("dst/shared"), 0664u);
    EXPECT_EQ(tree.Mode("dst/open"), 0777u);
    EXPECT_EQ(tree.Mode("dst/readonly"), 0444u);
    EXPECT_EQ(tree.Mode("dst/none"), 0000u);
    // Files whose bits forbid writing were still filled: the contents arrived whole.
    tree.Chmod("dst/none", 0600);
    EXPECT_EQ(tree.ReadFile("dst/none"), "no bits at all");
    EXPECT_EQ(tree.ReadFile("dst/readonly"), "no one writes");
    EXPECT_EQ(tree.Mtime("dst/none"), kTime);
}

TEST(CopyMode, NeitherAFileNorALinkReplacesADirectory) {
    TempTree tree;
    tree.MakeDir("dst/f");
    tree.MakeDir("dst/ln");
    tree.WriteFile("dst/ln/inside", "keep");
    tree.WriteFile("f", "data");
    tree.MakeLink("ln", "f");
    PosixFileSystem fs;
    for (const char* name : {"f", "ln"}) {
        Status s = fs.CopyFile(tree.Path(name), tree.Path(std::string("dst/") + name), nullptr);
        EXPECT_EQ(s.code(), Status::Code::kIsDirectory) << name << ": " << s.ToString();
        EXPECT_EQ(s.path(), tree.Path(std::string("dst/") + name));
    }
    // Both directories as they were, and no temporary left beside them.
    EXPECT_EQ(tree.List("dst"), (std::set<std::string>{"f/", "ln/", "ln/inside"}));
}

TEST(CloneProbe, RemembersOnlyRefusalsThatHoldForTheWholePair) {
    CloneProbe probe;
    EXPECT_TRUE(probe.Worth(1, 2));
    probe.Refused(1, 2, EOPNOTSUPP);  // the file system cannot clone
    EXPECT_FALSE(probe.Worth(1, 2));
    EXPECT_TRUE(probe.Worth(2, 1));  // the pair is ordered: the other way was never asked
    EXPECT_TRUE(probe.Worth(1, 3));

    probe.Refused(1, 3, EINVAL);  // may concern one file only
    probe.Refused(1, 3, EIO);
    EXPECT_TRUE(probe.Worth(1, 3));
    probe.Refused(1, 3, EXDEV);  // two file systems
    EXPECT_FALSE(probe.Worth(1, 3));
}

}  // namespace
}  // namespace tandrel
