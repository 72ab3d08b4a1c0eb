// Names of copy temporaries: their form, when one counts as left behind by a dead process, and
// that only such leftovers can be removed through RemoveStaleTemp.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "PosixFileSystem.h"
#include "TempTree.h"

namespace tandrel {
namespace {

// The pid of a child that has exited and been reaped: a process that certainly no longer
// exists (until the kernel hands the number out again, far later).
pid_t DeadPid() {
    pid_t pid = fork();
    if (pid == 0) {
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return pid;
}

std::string NameFor(pid_t pid, const std::string& unique = "00000000deadbeef") {
    return ".tandrel-" + std::to_string(pid) + "-" + unique + ".tmp";
}

TEST(TempNameTest, NamesAreHiddenCarryThePidAndDoNotRepeat) {
    const std::regex form("\\.tandrel-" + std::to_string(getpid()) + "-[0-9a-f]{16}\\.tmp");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string name = MakeTempName();
        EXPECT_TRUE(std::regex_match(name, form)) << name;
        seen.insert(name);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(TempNameTest, OnlyNamesOfDeadProcessesAreStale) {
    const pid_t dead = DeadPid();
    ASSERT_GT(dead, 0);
    EXPECT_TRUE(IsStaleTempName(NameFor(dead)));
    EXPECT_FALSE(IsStaleTempName(MakeTempName()));      // this process
    EXPECT_FALSE(IsStaleTempName(NameFor(getppid())));  // a living one
    EXPECT_FALSE(IsStaleTempName(NameFor(1)));
}

TEST(TempNameTest, NamesNotExactlyOfTheFormAreNeverStale) {
    const std::string pid = std::to_string(DeadPid());
    for (const std::string& name : std::vector<std::string>{
             ".tandrel-" + pid + "-00000000DEADBEEF.tmp",  // upper-case digits
             ".tandrel-" + pid + "-deadbeef.tmp",          // too short
             ".tandrel-" + pid + "-00000000deadbeef0.tmp",
             ".tandrel-" + pid + "-00000000deadbeef.tmp~",
             "x.tandrel-" + pid + "-00000000deadbeef.tmp",
             "tandrel-" + pid + "-00000000deadbeef.tmp",
             ".tandrel-0" + pid + "-00000000deadbeef.tmp",  // leading zero
             ".tandrel--" + pid + "-00000000deadbeef.tmp",
             ".tandrel-+" + pid + "-00000000deadbeef.tmp",
             ".tandrel-0-00000000deadbeef.tmp",
             ".tandrel-99999999999-00000000deadbeef.tmp",  // beyond any pid
             ".tandrel--00000000deadbeef.tmp",
             ".tandrel-" + pid + ".tmp",
             "",
         }) {
        EXPECT_FALSE(IsStaleTempName(name)) << name;
    }
}

// Fixed numbers above the kernel's largest pid (4194304), so that no process can hold them,
// together using every decimal digit and every hex digit of the unique part.
TEST(TempNameTest, EveryDigitCountsInThePidAndTheUniquePart) {
    for (const char* pid : {"4194305", "5678901", "1234567890", "2147483647"}) {
        for (const char* unique : {"0123456789abcdef", "fedcba9876543210", "aaaaaaaaaaaaaaaa"}) {
            const std::string name = std::string(".tandrel-") + pid + "-" + unique + ".tmp";
            EXPECT_TRUE(IsStaleTempName(name)) << name;
        }
    }
    for (const char* pid : {"2147483648", "9999999999", "04194305", "0"}) {
        const std::string name = std::string(".tandrel-") + pid + "-0123456789abcdef.tmp";
        EXPECT_FALSE(IsStaleTempName(name)) << name;
    }
    for (const char* unique : {"0123456789abcdeg", "0123456789abcde/",
                               "0123456789abcde:", "`123456789abcdef", "0123456789abcdeF"}) {
        const std::string name = std::string(".tandrel-4194305-") + unique + ".tmp";
        EXPECT_FALSE(IsStaleTempName(name)) << name;
    }
    for (const char* pid : {"419430a", "41943/5", "41943:5"}) {
        const std::string name = std::string(".tandrel-") + pid + "-0123456789abcdef.tmp";
        EXPECT_FALSE(IsStaleTempName(name)) << name;
    }
}

TEST(TempNameTest, RemoveStaleTempRemovesOnlyLeftoversOfDeadProcesses) {
    TempTree tree;
    PosixFileSystem fs;
    const std::string stale = NameFor(DeadPid());
    const std::string live = MakeTempName();
    const std::string stale_dir = NameFor(DeadPid(), "00000000cafef00d");
    tree.WriteFile(stale, "half");
    tree.WriteFile(live, "being written");
    tree.WriteFile("data.tmp", "user file");
    tree.MakeDir(stale_dir);

    EXPECT_TRUE(fs.RemoveStaleTemp(tree.Path(stale)).ok());
    Status s = fs.RemoveStaleTemp(tree.Path(live));
    EXPECT_EQ(s.code(), Status::Code::kInvalid);
    EXPECT_EQ(s.path(), tree.Path(live));
    EXPECT_EQ(fs.RemoveStaleTemp(tree.Path("data.tmp")).code(), Status::Code::kInvalid);
    EXPECT_EQ(fs.RemoveStaleTemp(tree.Path(stale_dir)).code(), Status::Code::kIsDirectory);
    EXPECT_EQ(tree.List(), (std::set<std::string>{"data.tmp", live, stale_dir + "/"}));
}

}  // namespace
}  // namespace tandrel
