// A directory the walk creates gets its source directory's permission bits, and is never more
// open than them while it is being filled: private files must not become readable by others.

#include <sys/stat.h>

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

}  // namespace
}  // namespace tandrel
