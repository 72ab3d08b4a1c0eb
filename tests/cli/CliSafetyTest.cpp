// tandrel-cli refuses jobs whose trees meet, however they are reached (a recycle directory
// holding the source, a link, a bind mount), and a log name that is a pipe never stalls a run.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "BindMounts.h"
#include "CliRunner.h"
#include "TempTree.h"

namespace tandrel {
namespace {

class CliSafety : public ::testing::Test {
  protected:
    CliSafety() {
        t.MakeDir("home/docs");
        t.WriteFile("home/docs/report.txt", "orig");
        t.MakeDir("b/docs");
        t.WriteFile("b/docs/report.txt", "old");
    }
    void TearDown() override { mounts.UnmountAll(); }

    // Expects a refusal with status 2, `reason` on stderr, and nothing on stdout.
    void ExpectRefused(const std::vector<std::string>& args, const std::string& reason) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 2) << r.out;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "tandrel-cli: " + reason + "\n");
    }

    TempTree t;
    BindMounts mounts;
};

TEST_F(CliSafety, ARecycleDirectoryHoldingTheSourceIsRefused) {
    t.MakeLink("bin", t.Path("home"));
    for (const char* recycle : {"home", "bin", "home/"}) {
        ExpectRefused({"mirror", t.Path("home/docs"), t.Path("b"), "--move", t.Path(recycle)},
                      "Error: Directory 'Recycle' contains 'From'...");
    }
    EXPECT_EQ(t.ReadFile("home/docs/report.txt"), "orig");
    EXPECT_EQ(t.ReadFile("b/docs/report.txt"), "old");
}

TEST_F(CliSafety, BatchSkipsAJobWhoseRecycleDirectoryHoldsItsSource) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old != nullptr ? old : "";
    setenv("XDG_CONFIG_HOME", t.Path("config").c_str(), 1);
    const CliResult added = RunCli({"add", "docs", t.Path("home/docs"), t.Path("b")});
    const CliResult r = RunCli({"batch", "--move", t.Path("home")});
    if (old != nullptr) {
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(r.status, 1) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    const std::string skip = "!Skip: " + t.Path("home/docs/") + " => " + t.Path("b/") +
                             " (Directory 'Recycle' contains 'From')";
    EXPECT_EQ(lines[1], skip);
    EXPECT_EQ(r.err, "tandrel-cli: " + skip.substr(1) + "\n" +
                         "tandrel-cli: 0 copied, 0 deleted, 0 moved, 0 failed, 1 job refused\n");
    EXPECT_EQ(t.ReadFile("home/docs/report.txt"), "orig");
    EXPECT_EQ(t.ReadFile("b/docs/report.txt"), "old");
}

TEST_F(CliSafety, TreesMeetingThroughABindMountAreRefused) {
    t.MakeDir("a/sub");
    t.WriteFile("a/sub/p", "p");
    t.MakeDir("m");
    if (!mounts.Bind(t.Path("a/sub"), t.Path("m"))) {
        GTEST_SKIP() << mounts.error();
    }
    const std::string a = t.Path("a"), m = t.Path("m");
    ExpectRefused({"mirror", m, a, "--delete"}, "Error: Directory 'To' contains 'From'...");
    ExpectRefused({"mirror", a, m, "--delete"},
                  "Error: Directory 'To' is or lies inside 'From'...");
    ExpectRefused({"mirror", t.Path("b"), m + "/", "--move", a},
                  "Error: Directory 'Recycle' is or contains 'To'...");
    ExpectRefused({"mirror", m, t.Path("b"), "--move", a},
                  "Error: Directory 'Recycle' contains 'From'...");
    EXPECT_EQ(t.List("a"), (std::set<std::string>{"sub/", "sub/p"}));
}

TEST_F(CliSafety, ARecycleDirectoryInsideTheDestinationThroughABindMountStaysWhereItIs) {
    t.MakeDir("s");
    t.MakeDir("d/bin");
    t.MakeDir("m");
    t.WriteFile("d/extra", "x");
    if (!mounts.Bind(t.Path("d/bin"), t.Path("m"))) {
        GTEST_SKIP() << mounts.error();
    }
    const std::vector<std::string> args = {"mirror", t.Path("s"), t.Path("d"), "--move",
                                           t.Path("m")};
    const CliResult first = RunCli(args);
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(Lines(first.out).at(1), " Move: " + t.Path("d/extra") + " => " + t.Path("m/extra"));
    const CliResult second = RunCli(args);
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(Lines(second.out).size(), 2u) << second.out;
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"bin/", "bin/extra"}));
}

TEST_F(CliSafety, ALogFileThatIsAPipeIsRefusedWithoutWaiting) {
    t.MakeDir("s");
    t.MakeDir("d");
    t.WriteFile("s/f", "f");
    t.MakeFifo("fifo");
    // Should the run wait for a reader of the pipe, open the reading end after a generous
    // while so that the test ends and says so, instead of hanging.
    std::mutex mutex;
    std::condition_variable cv;
    bool over = false;
    bool rescued = false;
    int reader = -1;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!cv.wait_for(lock, std::chrono::seconds(30), [&] { return over; })) {
            reader = open(t.Path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
            rescued = true;
        }
    });
    const CliResult r = RunCli({"mirror", t.Path("s"), t.Path("d"), "--log", t.Path("fifo")});
    {
        std::lock_guard<std::mutex> lock(mutex);
        over = true;
    }
    cv.notify_all();
    watchdog.join();
    if (reader >= 0) {
        close(reader);
    }
    EXPECT_FALSE(rescued) << "the run waited for a reader of the pipe";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tandrel-cli: could not write the log file '" + t.Path("fifo") + "'\n" +
                         "tandrel-cli: 1 copied, 0 deleted, 0 moved, 0 failed, 0 jobs refused\n");
    EXPECT_EQ(Lines(r.out).at(1), " Copy: " + t.Path("s/f") + " => " + t.Path("d/f"));
    EXPECT_EQ(t.ReadFile("d/f"), "f");
}

}  // namespace
}  // namespace tandrel
