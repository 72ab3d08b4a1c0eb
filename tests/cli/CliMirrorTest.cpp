#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "CliRunner.h"
#include "TempTree.h"

extern char** environ;

namespace tandrel {
namespace {

// Whether `signal` sent to process `pid` is still waiting to be taken.
bool SignalPending(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("ShdPnd:", 0) == 0) {
            return ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1) != 0;
        }
    }
    return false;  // gone
}

// Runs tandrel-cli with `args` and sends it `signal` once `copies` copy lines have been read,
// at a point it cannot pass: its standard output is a pipe of one page that the test stops
// reading, so the run waits in a line of its own until the signal has been taken. What it
// writes after that is read to the end. The exit status, as RunCli gives it.
int StopAfterCopies(const std::vector<std::string>& args, int copies, int signal) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return -1;
    }
    fcntl(out[0], F_SETPIPE_SZ, 4096);
    CliCommand command(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, command.argv[0], &actions, nullptr, command.argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return -1;
    }
    std::string text;
    char buf[4096];
    bool sent = false;
    int seen = 0;
    for (;;) {
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            text += buf[i];
            if (buf[i] == '\n') {
                seen += text.rfind(" Copy: ", 0) == 0 ? 1 : 0;
                text.clear();
            }
        }
        if (!sent && seen >= copies) {
            kill(pid, signal);
            sent = true;
            while (SignalPending(pid, signal)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class CliMirror : public ::testing::Test {
  protected:
    CliMirror() {
        t.MakeDir("s");
        t.MakeDir("d");
        t.MakeDir("r");
    }
    TempTree t;
};

TEST_F(CliMirror, PrintsExactlyTheRunLinesAndExitsZero) {
    t.WriteFile("s/a b.txt", "a");
    t.MakeDir("s/sub");
    t.WriteFile("s/sub/%s\xff.bin", "odd name");
    t.WriteFile("d/extra", "x");
    const CliResult r = RunCli({"mirror", t.Path("s"), t.Path("d"), "--delete"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Progress only goes to a terminal; the summary always goes to stderr.
    EXPECT_EQ(r.err, "tandrel-cli: 2 copied, 1 deleted, 0 moved, 0 failed, 0 jobs refused\n");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].size(), 127u);
    EXPECT_EQ(lines[0].front(), '(');
    EXPECT_EQ(lines[1], " Copy: " + t.Path("s/a b.txt") + " => " + t.Path("d/a b.txt"));
    EXPECT_EQ(lines[2],
              " Copy: " + t.Path("s/sub/%s\xff.bin") + " => " + t.Path("d/sub/%s\xff.bin"));
    EXPECT_EQ(lines[3], " Delete: " + t.Path("d/extra"));
    EXPECT_EQ(lines[4], std::string(127, '-'));
    EXPECT_EQ(t.ReadFile("d/sub/%s\xff.bin"), "odd name");

    // Nothing left to do: header and separator only.
    const CliResult again = RunCli({"mirror", t.Path("s"), t.Path("d"), "--delete"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(Lines(again.out).size(), 2u);
}

// Standard error ends with one line that sums the run up; standard output keeps only run lines.
// A dry run sums up what the run would do, and says so.
TEST_F(CliMirror, TheRunIsSummedUpOnStandardError) {
    t.WriteFile("s/a", "a");
    t.WriteFile("s/b", "b");
    t.MakeFifo("s/pipe");
    t.WriteFile("d/old", "o");
    const std::vector<std::string> args = {"mirror", t.Path("s"), t.Path("d"), "--delete"};
    std::vector<std::string> dryArgs = args;
    dryArgs.push_back("--dry-run");
    const CliResult dry = RunCli(dryArgs);
    const CliResult r = RunCli(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "tandrel-cli: 2 copied, 1 deleted, 0 moved, 1 failed, 0 jobs refused\n");
    EXPECT_EQ(dry.err,
              "tandrel-cli: dry run: 2 copied, 1 deleted, 0 moved, 1 failed, 0 jobs refused\n");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    // The same lines, the preview's header aside.
    const std::vector<std::string> dryLines = Lines(dry.out);
    ASSERT_EQ(dryLines.size(), lines.size()) << dry.out;
    EXPECT_TRUE(dryLines[0].starts_with("(Preview ")) << dryLines[0];
    EXPECT_TRUE(std::equal(lines.begin() + 1, lines.end(), dryLines.begin() + 1)) << dry.out;
    EXPECT_EQ(lines[3], "!Copy: " + t.Path("s/pipe") + " => " + t.Path("d/pipe") +
                            " (is a pipe, socket or device; only files and links are copied)");

    // A refused job is counted as such, and named above the summary.
    t.MakeDir("empty");
    const CliResult refused = RunCli({"mirror", t.Path("empty"), t.Path("d"), "--delete"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.ends_with(
        "; --allow-empty-source runs it\n"
        "tandrel-cli: 0 copied, 0 deleted, 0 moved, 0 failed, 1 job refused\n"))
        << refused.err;
}

// On a terminal, standard error's last line counts the files done; it is wiped before a run line
// goes out (and before the summary), so that the lines and the count never mix.
TEST_F(CliMirror, OnATerminalTheCountIsShownAndWipedBeforeEachLine) {
    t.WriteFile("s/a", "a");
    t.WriteFile("s/b", "b");
    t.WriteFile("s/c", "c");
    const CliResult r =
        RunCli({"mirror", t.Path("s"), t.Path("d")}, {}, false, std::string(), nullptr, true);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 5u);
    const std::string wipe = "\r\033[K";
    // The first and the last count are always shown; counts in between at most once a second.
    // The total is counted beside the run: until it is in, the count shows none ("of ?"), and
    // once it is, the count says so at once.
    EXPECT_TRUE(r.err.starts_with("\r1 of 3 files" + wipe) ||
                r.err.starts_with("\r1 of ? files" + wipe + "\r1 of 3 files" + wipe) ||
                r.err.starts_with("\r1 of ? files" + wipe + "\r2 of 3 files" + wipe) ||
                r.err.starts_with("\r1 of ? files" + wipe + "\r3 of 3 files" + wipe))
        << r.err;
    EXPECT_EQ(r.err.find("of ?", 8), std::string::npos) << r.err;  // only ever first
    EXPECT_TRUE(
        r.err.ends_with("\r3 of 3 files" + wipe +
                        "tandrel-cli: 3 copied, 0 deleted, 0 moved, 0 failed, 0 jobs refused\r\n"))
        << r.err;
    EXPECT_EQ(r.err.find("0 of"), std::string::npos) << r.err;
}

TEST_F(CliMirror, LogFileHoldsTheSameLines) {
    t.WriteFile("s/f", "f");
    t.WriteFile("log.txt", "old contents that must go\n");
    const CliResult r = RunCli({"mirror", "--log", t.Path("log.txt"), t.Path("s"), t.Path("d")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(t.ReadFile("log.txt"), r.out);

    const CliResult bad =
        RunCli({"mirror", t.Path("s"), t.Path("d"), "--log", t.Path("no/dir/log.txt")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("could not write the log file"), std::string::npos);

    // A log that cannot take the lines (a full disk) is a failure too, not a silent loss.
    const CliResult full = RunCli({"mirror", t.Path("s"), t.Path("d"), "--log", "/dev/full"});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("could not write the log file '/dev/full'"), std::string::npos);
}

TEST_F(CliMirror, FailedLinesGiveStatusOne) {
    t.MakeFifo("s/pipe");
    const CliResult r = RunCli({"mirror", t.Path("s"), t.Path("d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.out).at(1), "!Copy: " + t.Path("s/pipe") + " => " + t.Path("d/pipe") +
                                      " (is a pipe, socket or device; only files and links are "
                                      "copied)");
}

TEST_F(CliMirror, RefusesBadUsageAndBadJobsWithStatusTwoDoingNothing) {
    t.WriteFile("s/f", "f");
    const std::string s = t.Path("s"), d = t.Path("d");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{}, "Usage:"},
        {{"mirror", s}, "needs SOURCE and DEST"},
        {{"mirror", s, d, "extra"}, "needs SOURCE and DEST"},
        {{"mirror", s, d, "--move"}, "--move needs a RECYCLE directory"},
        {{"mirror", s, d, "--delete", "--keep"}, "only one of"},
        {{"mirror", s, d, "--bogus"}, "unknown option '--bogus'"},
        {{"frobnicate"}, "unknown command"},
        {{"mirror", "", d}, "source directory name is empty"},
        {{"mirror", s, t.Path("missing")},
         "destination directory '" + t.Path("missing") + "' not found"},
        {{"mirror", s, t.Path("s/f")},
         "destination directory '" + t.Path("s/f") + "' is not a directory"},
        {{"mirror", s, d, "--move", t.Path("nowhere")},
         "recycle directory '" + t.Path("nowhere") + "' not found"},
        {{"mirror", s, s}, "Error: Directory 'To' is or lies inside 'From'..."},
        {{"mirror", s, d, "--move", s}, "Error: Directory 'Recycle' is or lies inside 'From'..."},
        {{"mirror", s, d, "--move", d}, "Error: Directory 'Recycle' is or contains 'To'..."},
    };
    for (const Case& c : cases) {
        const CliResult r = RunCli(c.args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.out, "") << c.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    EXPECT_EQ(RunCli({"mirror", s, t.Path("missing")}).err,
              "tandrel-cli: destination directory '" + t.Path("missing") + "' not found\n");
    EXPECT_EQ(t.List("d"), std::set<std::string>{});
    EXPECT_EQ(RunCli({"--version"}).status, 0);
    EXPECT_NE(RunCli({"--help"}).out.find("tandrel-cli mirror SOURCE DEST"), std::string::npos);
}

TEST_F(CliMirror, PathsBeginningWithADashWorkAfterTheOptionsEnd) {
    t.MakeDir("-src");
    t.WriteFile("-src/--f", "dash");
    ASSERT_EQ(chdir(t.root().c_str()), 0);
    const CliResult r = RunCli({"mirror", "--delete", "--", "-src", "d"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).at(1), " Copy: -src/--f => d/--f");
    EXPECT_EQ(t.ReadFile("d/--f"), "dash");
}

TEST_F(CliMirror, MoveSendsExtraFilesToTheRecycleDirectory) {
    t.MakeDir("d/old");
    t.WriteFile("d/old/x", "x");
    const CliResult r = RunCli({"mirror", t.Path("s"), t.Path("d"), "--move", t.Path("r")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).at(1), " Move: " + t.Path("d/old/x") + " => " + t.Path("r/old/x"));
    EXPECT_EQ(t.List("r"), (std::set<std::string>{"old/", "old/x"}));
    EXPECT_EQ(t.List("d"), std::set<std::string>{});
}

// A stop keeps what was done: every copy finished before it has its source's time, none the
// placeholder that would make it look out of date (dated 1970) until the next run.
TEST_F(CliMirror, AStoppedRunGivesEveryCopyItMadeItsRealTime) {
    constexpr int kFiles = 400;  // fewer than a flush batch: only the end of the job flushes
    for (int i = 0; i < kFiles; ++i) {
        t.WriteFile("s/f" + std::to_string(i), "x", int64_t{1'600'000'000'000'000'000} + i);
    }
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const std::string dest = "d" + std::to_string(signal) + "/";
        t.MakeDir(dest);
        EXPECT_EQ(StopAfterCopies({"mirror", t.Path("s"), t.Path(dest)}, 20, signal), 130);
        const std::set<std::string> made = t.List(dest);
        EXPECT_GE(made.size(), 20u);
        EXPECT_LT(made.size(), size_t{kFiles});  // the stop came in the middle of the run
        for (const std::string& rel : made) {
            ASSERT_TRUE(t.Exists("s/" + rel)) << rel;  // no temporary left either
            EXPECT_EQ(t.Mtime(dest + rel), t.Mtime("s/" + rel)) << rel;
        }
    }
}

TEST_F(CliMirror, CtrlCAbandonsTheCopyInFlightAndExitsWith130) {
    // A large file whose blocks are reserved but never written: made at once, while its copy,
    // which writes every byte, takes far longer than the signal needs to arrive. (A sparse file
    // would not do: its holes are copied as holes, at once.)
    const std::string big = t.Path("s/big");
    const int fd = open(big.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const int reserved = fallocate(fd, 0, 0, off_t{8} << 30);
    const int err = errno;
    close(fd);
    if (reserved != 0 && (err == EOPNOTSUPP || err == ENOSPC)) {
        GTEST_SKIP() << "the test directory's file system cannot reserve 8 GiB for a file";
    }
    ASSERT_EQ(reserved, 0) << strerror(err);
    t.WriteFile("d/big", "previous version", int64_t{1000000000});

    const CliResult r = RunCli({"mirror", t.Path("s"), t.Path("d")}, {}, true);
    EXPECT_EQ(r.status, 130) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), std::string(127, '-'));
    EXPECT_EQ(t.ReadFile("d/big"), "previous version");
    EXPECT_EQ(t.List("d"), std::set<std::string>{"big"});  // no temporary left
    // The summary says that the run was stopped; the copy abandoned, if it had begun, failed.
    EXPECT_EQ(r.err.rfind("tandrel-cli: stopped: 0 copied, 0 deleted, 0 moved, "), 0u) << r.err;
}

}  // namespace
}  // namespace tandrel
