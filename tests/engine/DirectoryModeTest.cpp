// A directory the walk creates gets its source directory's permission bits, and is never more
// open than them while it is being filled: private files must not become readable by others.

#include <ftw.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "FailingFileSystem.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

using Op = FailingFileSystem::Op;

// Sets the process's umask for one test and puts the old one back.
class Umask {
  public:
    explicit Umask(mode_t mask) : m_old(umask(mask)) {}
    ~Umask() { umask(m_old); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

  private:
    mode_t m_old;
};

class DirectoryMode : public ::testing::Test {
  protected:
    DirectoryMode() {
        t.MakeDir("s");
        t.MakeDir("d");
    }
    TempTree t;
};

TEST_F(DirectoryMode, NewDirectoriesGetTheSourcesBitsWhateverTheUmask) {
    const Umask mask(022);
    t.MakeDir("s/private/deeper");
    t.MakeDir("s/team");
    t.MakeDir("s/frozen/inner");
    t.WriteFile("s/private/secret", "s", std::nullopt, 0600);
    t.WriteFile("s/private/deeper/secret2", "s2", std::nullopt, 0600);
    t.WriteFile("s/frozen/f", "f");
    t.WriteFile("s/frozen/inner/g", "g");
    t.Chmod("s/private/deeper", 0700);
    t.Chmod("s/private", 0700);
    t.Chmod("s/team", 0775);
    t.Chmod("s/frozen/inner", 0500);
    t.Chmod("s/frozen", 0555);  // its owner may not write: the run widens that while filling
    t.MakeDir("d/team");
    t.Chmod("d/team", 0700);  // an existing directory is left as it is

    EngineRig rig;
    rig.Run(t.Path("s"), t.Path("d"), kActionDelete);

    EXPECT_EQ(t.Mode("d/private"), 0700u);
    EXPECT_EQ(t.Mode("d/private/deeper"), 0700u);
    EXPECT_EQ(t.Mode("d/team"), 0700u);
    EXPECT_EQ(t.Mode("d/frozen"), 0555u);
    EXPECT_EQ(t.Mode("d/frozen/inner"), 0500u);
    EXPECT_EQ(t.ReadFile("d/frozen/inner/g"), "g");
    EXPECT_EQ(t.ReadFile("d/private/deeper/secret2"), "s2");
    for (const std::string& line : rig.recorder.ActionLines()) {
        EXPECT_EQ(line[0], ' ') << line;
    }
    t.Chmod("d/frozen/inner", 0700);  // so that the tree can be cleaned up
    t.Chmod("d/frozen", 0700);
    t.Chmod("s/frozen/inner", 0700);
    t.Chmod("s/frozen", 0700);

    // A directory that was group-writable in the source is so in the destination, though
    // the umask would have taken that away.
    t.MakeDir("s/team/new");
    t.Chmod("s/team/new", 0770);
    EngineRig again;
    again.Run(t.Path("s"), t.Path("d"), kActionDelete);
    EXPECT_EQ(t.Mode("d/team/new"), 0770u);
}

TEST_F(DirectoryMode, ANewDirectoryIsNeverMoreOpenThanItsSourceWhileBeingFilled) {
    const Umask mask(0);  // nothing taken away by the process either
    t.MakeDir("s/private");
    t.WriteFile("s/private/a", "a", std::nullopt, 0600);
    t.WriteFile("s/private/b", "b", std::nullopt, 0600);
    t.Chmod("s/private", 0710);

    FailingFileSystem fs;
    std::vector<mode_t> seen;
    fs.SetHook([&](const FailingFileSystem::Call& call) {
        if (call.op == Op::kCopyFile && call.path2.find("/d/private/") != std::string::npos) {
            seen.push_back(t.Mode("d/private"));
        }
    });
    EngineRig rig(fs);
    rig.Run(t.Path("s"), t.Path("d"), kActionKeep);

    ASSERT_EQ(seen.size(), 2u);
    for (mode_t mode : seen) {
        EXPECT_EQ(mode & 0077, 0010u) << std::oct << mode;
    }
    EXPECT_EQ(t.Mode("d/private"), 0710u);
}

// A recycle directory the run creates takes the bits of the destination directory it mirrors:
// files moved out of a private directory stay private.
TEST_F(DirectoryMode, RecycleDirectoriesGetTheBitsOfTheDestinationDirectories) {
    const Umask mask(022);
    t.MakeDir("r");
    t.MakeDir("d/private/open");
    t.MakeDir("d/team");
    t.MakeDir("d/frozen");
    t.WriteFile("d/private/secret", "s", std::nullopt, 0600);
    t.WriteFile("d/private/open/f", "f");
    t.WriteFile("d/team/t", "t");
    t.WriteFile("d/frozen/x", "x");
    t.Chmod("d/private/open", 0755);
    t.Chmod("d/private", 0700);
    t.Chmod("d/team", 0770);  // more than the umask lets through
    t.Chmod("d/frozen", 0500);

    EngineRig rig;
    rig.Run(t.Path("s"), t.Path("d"), kActionMove, t.Path("r"));

    EXPECT_EQ(t.Mode("r/private"), 0700u);
    EXPECT_EQ(t.Mode("r/private/open"), 0755u);
    EXPECT_EQ(t.Mode("r/team"), 0770u);
    EXPECT_EQ(t.Mode("r/frozen"), 0500u);
    EXPECT_EQ(t.ReadFile("r/private/secret"), "s");
    EXPECT_EQ(t.ReadFile("r/frozen/x"), "x");
    for (const std::string& line : rig.recorder.ActionLines()) {
        EXPECT_EQ(line[0], ' ') << line;
    }
}

// A read-only source directory gives a read-only destination directory. When the source
// changes, the run makes the destination directory writable for its owner for each write and
// gives it its bits back at once, so the backup is never stuck. Permission bits bind only a
// user other than root: as root, the run is made in a child that has become nobody.
TEST_F(DirectoryMode, AReadOnlyDestinationDirectoryIsOpenedForTheWriteOnly) {
    t.MakeDir("s/frozen/gone");
    t.WriteFile("s/frozen/f", "v1", 1 * 1000000000LL);
    t.WriteFile("s/frozen/old", "old");
    t.Chmod("s/frozen", 0555);
    EngineRig first;
    first.Run(t.Path("s"), t.Path("d"), kActionDelete);
    ASSERT_EQ(t.Mode("d/frozen"), 0555u);

    t.Chmod("s/frozen", 0755);
    t.WriteFile("s/frozen/f", "v2", 9 * 1000000000LL);
    t.WriteFile("s/frozen/new", "new");
    t.MakeDir("s/frozen/sub");
    ASSERT_EQ(unlink(t.Path("s/frozen/old").c_str()), 0);
    ASSERT_EQ(rmdir(t.Path("s/frozen/gone").c_str()), 0);
    t.Chmod("s/frozen", 0555);
    t.MakeDir("runtime");

    constexpr uid_t kNobody = 65534;
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(nftw(
                      t.root().c_str(),
                      [](const char* path, const struct stat*, int, struct FTW*) {
                          return lchown(path, kNobody, kNobody);
                      },
                      16, FTW_PHYS),
                  0);
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(100);
        }
        setenv("XDG_RUNTIME_DIR", t.Path("runtime").c_str(), 1);
        // All on this one thread: a forked child of a threaded process (the thread sanitizer
        // keeps one) must not start threads.
        FailingFileSystem oneThread;
        EngineRig rig(oneThread);
        rig.Run(t.Path("s"), t.Path("d"), kActionDelete);
        int failed = 0;
        for (const std::string& line : rig.recorder.ActionLines()) {
            failed += line[0] == '!' ? 1 : 0;
        }
        _exit(failed);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "lines with '!'";
    EXPECT_EQ(t.ReadFile("d/frozen/f"), "v2");
    EXPECT_EQ(t.ReadFile("d/frozen/new"), "new");
    EXPECT_TRUE(t.Exists("d/frozen/sub"));
    EXPECT_FALSE(t.Exists("d/frozen/old"));
    EXPECT_FALSE(t.Exists("d/frozen/gone"));
    EXPECT_EQ(t.Mode("d/frozen"), 0555u);
}

}  // namespace
}  // namespace tandrel
