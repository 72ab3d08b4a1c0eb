// Two runs on one directory: the lock is told by the directory's identity, lives outside the
// trees, and is taken only in a folder that is the user's own.

#include "RunLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "FileSystem.h"
#include "TempTree.h"

namespace tandrel {
namespace {

class RunLockTest : public ::testing::Test {
  protected:
    RunLockTest() {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        had_ = old != nullptr;
        saved_ = had_ ? old : "";
        t.MakeDir("runtime");
        setenv("XDG_RUNTIME_DIR", t.Path("runtime").c_str(), 1);
        t.MakeDir("tree");
    }
    ~RunLockTest() override {
        if (had_) {
            setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }
    FileId Id(const std::string& rel) {
        EntryInfo info;
        EXPECT_TRUE(DefaultFileSystem().Stat(t.Path(rel), &info).ok());
        return info.id;
    }

    TempTree t;

  private:
    bool had_ = false;
    std::string saved_;
};

TEST_F(RunLockTest, OneHolderPerDirectoryUntilReleased) {
    t.MakeDir("other");
    RunLock first;
    RunLock second;
    ASSERT_TRUE(first.TryLock(Id("tree")).ok());
    EXPECT_TRUE(first.TryLock(Id("tree")).ok());  // held already
    EXPECT_EQ(second.TryLock(Id("tree")).code(), Status::Code::kBusy);
    EXPECT_FALSE(second.held());
    EXPECT_TRUE(second.TryLock(Id("other")).ok());  // another directory is free
    first.Unlock();
    EXPECT_TRUE(second.TryLock(Id("tree")).ok());
    // Released with the object.
    { RunLock scoped = std::move(second); }
    EXPECT_TRUE(first.TryLock(Id("tree")).ok());

    // Kept outside the tree, in a folder only the user may enter.
    EXPECT_EQ(t.List("tree"), std::set<std::string>{});
    EXPECT_EQ(t.Mode("runtime/tandrel") & 0777, 0700u);
    EXPECT_EQ(RunLock::FolderPath(), t.Path("runtime/tandrel"));
}

TEST_F(RunLockTest, AFolderThatIsNotTheUsersOwnIsNotUsed) {
    t.MakeDir("elsewhere");
    t.MakeLink("runtime/tandrel", t.Path("elsewhere"));
    RunLock lock;
    EXPECT_FALSE(lock.TryLock(Id("tree")).ok());
    EXPECT_EQ(t.List("elsewhere"), std::set<std::string>{});

    t.MakeDir("runtime2/tandrel");
    t.Chmod("runtime2/tandrel", 0777);
    setenv("XDG_RUNTIME_DIR", t.Path("runtime2").c_str(), 1);
    EXPECT_EQ(lock.TryLock(Id("tree")).code(), Status::Code::kPermission);
    EXPECT_FALSE(lock.held());
}

TEST_F(RunLockTest, WithoutARuntimeFolderTheUsersFolderInTmpIsUsed) {
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(RunLock::FolderPath(), "/tmp/tandrel-" + std::to_string(geteuid()));
    setenv("XDG_RUNTIME_DIR", "relative/path", 1);
    EXPECT_EQ(RunLock::FolderPath(), "/tmp/tandrel-" + std::to_string(geteuid()));
}

}  // namespace
}  // namespace tandrel
