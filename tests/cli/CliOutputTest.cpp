// What tandrel-cli says about its own arguments and about output it could not write.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CliRunner.h"
#include "StoreFixture.h"
#include "TempTree.h"

extern char** environ;

namespace tandrel {
namespace {

// Runs tandrel-cli with its standard output on `out`: a pipe that nobody reads any more (as in
// `tandrel-cli mirror ... | head -1` once head has gone) or a full disk. Returns the exit
// status and what was written to standard error.
CliResult RunWithOutputTo(int out, const std::vector<std::string>& args) {
    CliResult result;
    int errPipe[2];
    if (out < 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        return result;
    }
    CliCommand command(args);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out, STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        execve(command.argv[0], command.argv.data(), environ);
        _exit(127);
    }
    close(out);
    close(errPipe[1]);
    char buf[4096];
    for (ssize_t n; (n = read(errPipe[0], buf, sizeof buf)) > 0;) {
        result.err.append(buf, static_cast<size_t>(n));
    }
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

class CliOutput : public StoreFixture {
  protected:
    void SetUp() override {
        StoreFixture::SetUp();
        t.MakeDir("s");
        t.MakeDir("d");
        for (int i = 0; i < 50; ++i) {
            t.WriteFile("s/f" + std::to_string(i), "x");
        }
    }
    TempTree& t = tree_;
};

TEST_F(CliOutput, OutputThatCannotBeWrittenIsAFailureSaidOnStandardErrorAndTheRunStillHappens) {
    int closed[2];
    ASSERT_EQ(pipe2(closed, O_CLOEXEC), 0);
    close(closed[0]);
    const CliResult mirror = RunWithOutputTo(closed[1], {"mirror", t.Path("s"), t.Path("d")});
    EXPECT_EQ(mirror.status, 1);
    EXPECT_EQ(mirror.err,
              "tandrel-cli: could not write the run lines to standard output\n"
              "tandrel-cli: 50 copied, 0 deleted, 0 moved, 0 failed, 0 jobs refused\n");
    EXPECT_EQ(t.List("d").size(), 50u);

    ASSERT_EQ(RunCli({"add", "entry", t.Path("s"), t.Path("d")}).status, 0);
    const CliResult list = RunWithOutputTo(open("/dev/full", O_WRONLY | O_CLOEXEC), {"list"});
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.err, "tandrel-cli: could not write the list to standard output\n");
}

TEST_F(CliOutput, BadArgumentsOfTheBatchCommandsAreNamed) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> refused = {
        {{"batch", "--bogus"},
         "unknown option '--bogus' (use -- before a path that begins with '-')"},
        {{"batch", "--keep", "--delete"}, "only one of --keep, --delete and --move"},
        {{"batch", "--delete", "--move", "r"}, "only one of --keep, --delete and --move"},
        {{"batch", "--max-delete", "1234567890123456789"}, "--max-delete needs a number"},
        {{"batch", "extra"}, "batch takes only run options (see --help)"},
        {{"list", "-x"}, "unknown option '-x'"},
        {{"list", "-"}, "list takes no arguments (see --help)"},
    };
    for (const Case& c : refused) {
        const CliResult r = RunCli(c.args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.err.rfind("tandrel-cli: " + c.err, 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // The largest count that is taken.
    const CliResult most = RunCli({"batch", "--delete", "--max-delete", "123456789012345678"});
    EXPECT_EQ(most.status, 0) << most.err;
    EXPECT_FALSE(t.Exists("config"));
}

TEST_F(CliOutput, ADirectoryNamedDashIsADirectoryNotAnOption) {
    t.MakeDir("-");
    const CliResult added = RunCli({"add", "dash", "-", t.Path("d")}, {}, false, t.root());
    ASSERT_EQ(added.status, 0) << added.err;
    const CliResult list = RunCli({"list"});
    EXPECT_EQ(list.out, "1 [x] dash: " + t.Path("-") + " => " + t.Path("d") + "\n");
}

TEST_F(CliOutput, AStoreThatCannotBeOpenedIsNamedAndNothingRuns) {
    t.MakeDir(kStoreRel);  // a folder where the settings file belongs
    for (const char* command : {"list", "batch"}) {
        const CliResult r = RunCli({command});
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(
            r.err.rfind("tandrel-cli: " + t.Path(kStoreRel) + ": cannot open the settings store: ",
                        0),
            0u)
            << r.err;
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;  // said once, and nothing else tried
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
}  // namespace tandrel
