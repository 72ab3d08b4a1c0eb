// tandrel-cli killed with SIGKILL at any moment: nothing it leaves behind may look up to date
// without being so, and the next whole run puts everything right.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "CliRunner.h"
#include "TempTree.h"

extern char** environ;

namespace tandrel {
namespace {

bool IsTemporary(const std::string& rel) {
    const size_t slash = rel.rfind('/');
    return rel.compare(slash == std::string::npos ? 0 : slash + 1, 9, ".tandrel-") == 0;
}

// Starts tandrel-cli with `args`, its output thrown away; the process id.
pid_t StartCli(const std::vector<std::string>& args) {
    CliCommand command(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, command.argv[0], &actions, nullptr, command.argv.data(), environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TEST(CliKill, KilledRunsLeaveNothingThatLooksUpToDateAndTheNextRunMendsAll) {
    TempTree src;
    TempTree dst;
    TempTree recycle;
    // Every source time is set by the test and only ever grows, so a changed source is always
    // newer than any copy a killed run left of it, however far that run got and whatever the
    // clock says.
    int64_t stamp = 1'700'000'000'000'000'000;
    const std::string big(16 << 20, 'b');
    for (int i = 0; i < 3; ++i) {
        src.WriteFile("big" + std::to_string(i) + ".bin", big, stamp);
    }
    for (int d = 0; d < 10; ++d) {
        src.MakeDir("d" + std::to_string(d));
        for (int f = 0; f < 30; ++f) {
            src.WriteFile("d" + std::to_string(d) + "/f" + std::to_string(f),
                          std::string(static_cast<size_t>(f * 97), 'a' + static_cast<char>(d)),
                          stamp);
        }
    }
    const std::vector<std::string> args = {"mirror", src.root(), dst.root(), "--move",
                                           recycle.root()};
    // Work for one round: changed sources, and extras for the recycle directory.
    const auto change = [&](int round) {
        const std::string d = "d" + std::to_string(round % 10);
        src.WriteFile(d + "/f" + std::to_string(round % 30), "round " + std::to_string(round),
                      stamp += 1'000'000'000);
        src.WriteFile("big" + std::to_string(round % 3) + ".bin",
                      std::string(16 << 20, static_cast<char>('c' + round % 20)),
                      stamp += 1'000'000'000);
        if (dst.Exists(d + "/")) {
            dst.WriteFile(d + "/extra" + std::to_string(round), "extra");
        }
    };
    // A first whole run, then a few whole rounds: every kill below then lands on copies that were
    // flushed and stamped (where a changed source dated before them would never be copied
    // again), and the kills are spread over the time a round takes on this machine, so that how
    // many of them cut a run short does not depend on the machine's speed.
    int status = Wait(StartCli(args));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    auto roundTime = std::chrono::steady_clock::duration::max();
    for (int round = 50; round < 53; ++round) {
        change(round);
        const auto started = std::chrono::steady_clock::now();
        status = Wait(StartCli(args));
        roundTime = std::min(roundTime, std::chrono::steady_clock::now() - started);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const auto roundUs = std::chrono::duration_cast<std::chrono::microseconds>(roundTime).count();
    std::mt19937 random(20261207);
    // Rounds whose kill left work undone: the test is only worth something when many do.
    int cutShort = 0;
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        change(round);
        const pid_t pid = StartCli(args);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % roundUs));
        kill(pid, SIGKILL);
        Wait(pid);

        bool undone = false;
        for (const std::string& rel : dst.List()) {
            if (rel.back() == '/' || IsTemporary(rel) || !src.Exists(rel)) {
                undone = undone || IsTemporary(rel) || !src.Exists(rel);
                continue;
            }
            if (dst.Mtime(rel) == src.Mtime(rel)) {
                ASSERT_TRUE(dst.ReadFile(rel) == src.ReadFile(rel)) << rel;
            } else {
                undone = true;
            }
        }
        cutShort += undone ? 1 : 0;
    }
    EXPECT_GE(cutShort, 25);

    status = Wait(StartCli(args));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::set<std::string> srcNames = src.List();
    for (const std::string& rel : dst.List()) {
        EXPECT_FALSE(IsTemporary(rel)) << rel;
        EXPECT_EQ(srcNames.count(rel), 1u) << rel;
        if (rel.back() != '/') {
            EXPECT_TRUE(dst.ReadFile(rel) == src.ReadFile(rel)) << rel;
        }
    }
    EXPECT_EQ(dst.List().size(), srcNames.size());
    for (const std::string& rel : recycle.List()) {
        EXPECT_FALSE(IsTemporary(rel)) << rel;
    }
}

}  // namespace
}  // namespace tandrel
