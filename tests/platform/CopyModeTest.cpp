// What a copy's permission bits and its refusals come from, whatever the process's umask, and
// the memory of volume pairs that cannot share blocks.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <vector>

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

// The set-id bits are kept only where the copy has the source's owner (set-user-id) or group
// (set-group-id): a copy never gains rights its source did not give.
TEST(CopyMode, SetIdBitsFollowOnlyTheOwnerAndGroupTheyBelongTo) {
    TempTree tree;
    tree.MakeDir("dst");
    struct Case {
        const char* name;
        uid_t uid;  // the source's owner and group; -1: the test's own
        gid_t gid;
        mode_t copied;
    };
    std::vector<Case> cases = {{"mine", static_cast<uid_t>(-1), static_cast<gid_t>(-1), 06755}};
    if (geteuid() == 0) {  // only root can give a file away
        cases.push_back({"group", 0, 1, 04755});
        cases.push_back({"other", 1, 1, 0755});
    }
    PosixFileSystem fs;
    for (const Case& c : cases) {
        tree.WriteFile(c.name, c.name, kTime);
        ASSERT_EQ(chown(tree.Path(c.name).c_str(), c.uid, c.gid), 0);
        tree.Chmod(c.name, 06755);  // after chown, which clears the set-id bits
        ASSERT_TRUE(
            fs.CopyFile(tree.Path(c.name), tree.Path(std::string("dst/") + c.name), nullptr).ok());
    }
    ASSERT_TRUE(fs.CommitCopies(false).ok());
    for (const Case& c : cases) {
        EXPECT_EQ(tree.Mode(std::string("dst/") + c.name), c.copied) << c.name;
    }
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
