// Two runs on one directory: the lock is told by the directory's identity, lives outside the
// trees, and is taken only in a folder that is the user's own.

#include "RunLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

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

// Sets an environment variable for the life of the object, then puts back what was there.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        saved_ = had_ ? old : "";
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            setenv(name_, saved_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    bool had_ = false;
    std::string saved_;
};

// What another user may have put where the folder goes.
enum class Planted { kNothing, kOpenToAll, kOthers, kLink };

struct PlaceCase {
    const char* name;
    bool runtimeSet;   // XDG_RUNTIME_DIR names a folder
    Planted runtime;   // at $XDG_RUNTIME_DIR/tandrel
    Planted cache;     // at $XDG_CACHE_HOME/tandrel
    Planted shared;    // at $TMPDIR/tandrel-<uid>
    const char* used;  // the folder the locks go to, relative to the test's tree; "" none
};

class LockPlaces : public RunLockTest, public ::testing::WithParamInterface<PlaceCase> {
  protected:
    void Plant(const std::string& rel, Planted what) {
        switch (what) {
            case Planted::kNothing:
                break;
            case Planted::kOpenToAll:
                t.MakeDir(rel);
                t.Chmod(rel, 0777);
                break;
            case Planted::kOthers:
                // Another user's folder; only root can make one, others play it open to all.
                t.MakeDir(rel);
                if (geteuid() == 0) {
                    ASSERT_EQ(chown(t.Path(rel).c_str(), 4242, 4242), 0);
                } else {
                    t.Chmod(rel, 0777);
                }
                break;
            case Planted::kLink:
                t.MakeLink(rel, t.Path("elsewhere"));
                break;
        }
    }
};

TEST_P(LockPlaces, AFolderThatIsNotTheUsersOwnIsPassedOverNeverTrusted) {
    const PlaceCase& c = GetParam();
    t.MakeDir("elsewhere");
    t.MakeDir("cache");
    t.MakeDir("tmp");
    t.Chmod("tmp", 01777);
    const std::string shared = "tmp/tandrel-" + std::to_string(geteuid());
    Plant("runtime/tandrel", c.runtime);
    Plant("cache/tandrel", c.cache);
    Plant(shared, c.shared);
    ScopedEnv runtime("XDG_RUNTIME_DIR", c.runtimeSet ? t.Path("runtime").c_str() : nullptr);
    ScopedEnv cache("XDG_CACHE_HOME", t.Path("cache").c_str());
    ScopedEnv tmp("TMPDIR", t.Path("tmp").c_str());

    RunLock lock;
    const Status s = lock.TryLock(Id("tree"));
    const std::string used = c.used;
    if (used.empty()) {
        // Refused only when no private place at all can be had, naming each place tried.
        EXPECT_FALSE(s.ok());
        EXPECT_NE(s.ToString().find(t.Path("cache/tandrel")), std::string::npos) << s.ToString();
        EXPECT_NE(s.ToString().find(t.Path(shared)), std::string::npos) << s.ToString();
        EXPECT_EQ(RunLock::FolderPath(), "");
    } else {
        ASSERT_TRUE(s.ok()) << s.ToString();
        EXPECT_EQ(RunLock::FolderPath(), t.Path(used == "shared" ? shared : used));
        EXPECT_EQ(t.Mode(used == "shared" ? shared : used) & 0777, 0700u);
        // A second run of the same user meets the lock there.
        RunLock second;
        EXPECT_EQ(second.TryLock(Id("tree")).code(), Status::Code::kBusy);
    }
    EXPECT_EQ(t.List("elsewhere"), std::set<std::string>{});
    EXPECT_EQ(t.List("tree"), std::set<std::string>{});
    if (c.shared != Planted::kNothing && c.shared != Planted::kLink) {
        EXPECT_EQ(t.List(shared), std::set<std::string>{});  // nothing written into it
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LockPlaces,
    ::testing::Values(PlaceCase{"RuntimeFolder", true, Planted::kNothing, Planted::kNothing,
                                Planted::kNothing, "runtime/tandrel"},
                      PlaceCase{"RuntimeLinkPassedOver", true, Planted::kLink, Planted::kNothing,
                                Planted::kNothing, "cache/tandrel"},
                      PlaceCase{"RuntimeOpenToAllPassedOver", true, Planted::kOpenToAll,
                                Planted::kNothing, Planted::kNothing, "cache/tandrel"},
                      // As under cron: another user made tandrel-<uid> in the shared folder first.
                      PlaceCase{"NoRuntimeSharedTakenByAnother", false, Planted::kNothing,
                                Planted::kNothing, Planted::kOthers, "cache/tandrel"},
                      PlaceCase{"NoRuntimeCacheUnusable", false, Planted::kNothing,
                                Planted::kOthers, Planted::kNothing, "shared"},
                      PlaceCase{"NoPrivatePlaceAtAll", false, Planted::kNothing,
                                Planted::kOpenToAll, Planted::kOthers, ""}),
    [](const ::testing::TestParamInfo<PlaceCase>& p) { return std::string(p.param.name); });

TEST_F(RunLockTest, ACacheFolderThatOthersMayReplaceIsPassedOver) {
    t.MakeDir("cache");
    t.Chmod("cache", 0777);  // anyone could rename tandrel/ away and put their own there
    t.MakeDir("tmp");
    t.Chmod("tmp", 01777);  // sticky: no one can rename another's entry
    ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    ScopedEnv cache("XDG_CACHE_HOME", t.Path("cache").c_str());
    ScopedEnv tmp("TMPDIR", t.Path("tmp").c_str());
    EXPECT_EQ(RunLock::FolderPath(), t.Path("tmp/tandrel-" + std::to_string(geteuid())));
}

TEST_F(RunLockTest, WithoutARuntimeFolderTheUsersCacheIsUsed) {
    t.MakeDir("home");
    ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    ScopedEnv cache("XDG_CACHE_HOME", nullptr);
    ScopedEnv home("HOME", t.Path("home").c_str());
    EXPECT_EQ(RunLock::FolderPath(), t.Path("home/.cache/tandrel"));
    EXPECT_EQ(t.Mode("home/.cache") & 0777, 0700u);
    setenv("XDG_RUNTIME_DIR", "relative/path", 1);
    EXPECT_EQ(RunLock::FolderPath(), t.Path("home/.cache/tandrel"));
}

}  // namespace
}  // namespace tandrel
