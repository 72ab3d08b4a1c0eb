// A directory swapped for a link to somewhere outside the trees while a run is going must lead
// nowhere: nothing outside is read, written or deleted, and what could not be done says so
// with a "!" line. The swaps happen at chosen moments through the file-system wrapper, and
// once more at random moments from a second process.

#include <dirent.h>
#include <sched.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <new>

#include "FailingFileSystem.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

using Op = FailingFileSystem::Op;

constexpr int64_t kOld = 1000000000LL;
constexpr int64_t kNew = 9000000000LL;

class Race : public ::testing::Test {
  protected:
    Race() {
        t.MakeDir("s");
        t.MakeDir("d");
        t.MakeDir("r");
        t.MakeDir("outside");
    }
    std::string S(const std::string& rel = "") { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") { return t.Path("d/" + rel); }

    // Everything below outside/ with its contents and times, to compare before and after.
    std::map<std::string, std::string> Outside() {
        std::map<std::string, std::string> state;
        for (const std::string& rel : t.List("outside")) {
            if (rel.back() != '/') {
                state[rel] =
                    t.ReadFile("outside/" + rel) + "@" + std::to_string(t.Mtime("outside/" + rel));
            } else {
                state[rel] = "dir";
            }
        }
        return state;
    }

    // Replaces the directory `rel` by a link to outside/; the real directory stays as
    // ".real-<name>" next to it, where the walk does not look.
    void SwapForLink(const std::string& rel) {
        const std::string real = t.Path(rel);
        const size_t slash = rel.rfind('/');
        const std::string hidden =
            t.Path(rel.substr(0, slash + 1) + ".real-" + rel.substr(slash + 1));
        ASSERT_EQ(rename(real.c_str(), hidden.c_str()), 0) << real;
        ASSERT_EQ(symlink(t.Path("outside").c_str(), real.c_str()), 0) << real;
    }

    // Swaps `rel` for a link the first time a call of `op` names a path containing `trigger`.
    void SwapOnFirst(FailingFileSystem& fs, Op op, const std::string& trigger,
                     const std::string& rel) {
        fs.SetHook(
            [this, op, trigger, rel, done = false](const FailingFileSystem::Call& c) mutable {
                if (!done && c.op == op &&
                    (c.path.find(trigger) != std::string::npos ||
                     c.path2.find(trigger) != std::string::npos)) {
                    done = true;
                    SwapForLink(rel);
                }
            });
    }

    // Whether the run wrote `line`; a failure line with any reason after it.
    bool HasLine(const EngineRig& rig, const std::string& line) {
        const std::vector<std::string> lines = rig.recorder.ActionLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
            return l == line || (line.front() == '!' && l.starts_with(line + " ("));
        });
    }

    TempTree t;
};

// The destination's a/ becomes a link after the walk has listed a/b/ and before it copies
// into it.
TEST_F(Race, ADestinationDirectorySwappedBeforeCopyingIsNotWrittenThrough) {
    t.MakeDir("s/a/b");
    t.MakeDir("s/c");
    t.WriteFile("s/a/b/g", "new g", kNew);
    t.WriteFile("s/c/f", "f", kNew);
    t.MakeDir("d/a/b");
    t.MakeDir("d/c");
    t.WriteFile("d/a/b/g", "old g", kOld);
    t.MakeDir("outside/b");
    t.WriteFile("outside/b/g", "precious", kOld);
    const auto before = Outside();

    FailingFileSystem fs;
    SwapOnFirst(fs, Op::kCopyFile, "/d/c/f", "d/a");
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionDelete);

    EXPECT_EQ(Outside(), before);
    // Either the walk still held the real a/ open and copied into it, or it reports that it
    // could not get there.
    if (t.ReadFile("d/.real-a/b/g") == "new g") {
        EXPECT_TRUE(HasLine(rig, " Copy: " + S("a/b/g") + " => " + D("a/b/g")));
    } else {
        EXPECT_TRUE(HasLine(rig, "!Read: " + D("a/b/")) ||
                    HasLine(rig, "!Copy: " + S("a/b/g") + " => " + D("a/b/g")));
    }
}

// As above, with enough directories between a/ and a/b/ that the walk no longer holds a/ open
// when it gets to a/b/: it must open a/ again, meet the link and say so.
TEST_F(Race, ADirectorySwappedBeforeTheWalkOpensItAgainGivesReadLines) {
    t.MakeDir("s/a/b");
    t.MakeDir("d/a/b");
    t.WriteFile("s/a/b/g", "new g", kNew);
    t.WriteFile("d/a/b/g", "old g", kOld);
    std::string last;
    for (size_t i = 0; i <= TreeCursor::kHeld; ++i) {
        last = "c" + std::to_string(i);
        t.MakeDir("s/" + last);
        t.MakeDir("d/" + last);
        t.WriteFile("s/" + last + "/f", "f", kNew);
    }
    t.MakeDir("outside/b");
    t.WriteFile("outside/b/g", "precious", kOld);
    const auto before = Outside();

    FailingFileSystem fs;
    SwapOnFirst(fs, Op::kCopyFile, "/d/" + last + "/f", "d/a");
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionDelete);

    EXPECT_EQ(Outside(), before);
    EXPECT_TRUE(HasLine(rig, "!Read: " + D("a/b/")));
    EXPECT_EQ(t.ReadFile("d/.real-a/b/g"), "old g");
}

// The source's a/ becomes a link to a directory whose files must not reach the destination.
TEST_F(Race, ASourceDirectorySwappedBeforeCopyingIsNotReadThrough) {
    t.MakeDir("s/a/b");
    t.MakeDir("s/c");
    t.WriteFile("s/a/b/g", "g", kNew);
    t.WriteFile("s/c/f", "f", kNew);
    t.MakeDir("outside/b");
    t.WriteFile("outside/b/g", "secret g", kNew);
    t.WriteFile("outside/b/h", "secret h", kNew);

    FailingFileSystem fs;
    SwapOnFirst(fs, Op::kCopyFile, "/s/c/f", "s/a");
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionDelete);

    for (const std::string& rel : t.List("d")) {
        if (rel.back() != '/') {
            EXPECT_EQ(t.ReadFile("d/" + rel).find("secret"), std::string::npos) << rel;
        }
    }
    EXPECT_FALSE(t.Exists("d/a/b/h"));
    // Either the walk still held the real a/ open and copied from it, or it reports that it
    // could not get there.
    EXPECT_TRUE(HasLine(rig, "!Read: " + S("a/b/")) ||
                (t.ReadFile("d/a/b/g") == "g" &&
                 HasLine(rig, " Copy: " + S("a/b/g") + " => " + D("a/b/g"))));
}

// With Delete and Move, a/ becomes a link after the walk has listed it and before it deals
// with the extra entries found there: x (a file) and gone/ (a directory with y).
class RaceExtra : public Race, public ::testing::WithParamInterface<ExtraFileAction> {};

TEST_P(RaceExtra, ADirectorySwappedBeforeItsExtraEntriesAreHandledIsLeftAlone) {
    t.MakeDir("s/a");
    t.MakeDir("s/z");
    t.MakeDir("d/a/gone");
    t.MakeDir("d/z");
    t.WriteFile("d/old.txt", "old");
    t.WriteFile("d/a/x", "extra x");
    t.WriteFile("d/a/gone/y", "extra y");
    t.MakeDir("outside/gone");
    t.WriteFile("outside/x", "precious x", kOld);
    t.WriteFile("outside/gone/y", "precious y", kOld);
    const auto before = Outside();

    FailingFileSystem fs;
    // The root's extra file is handled first; a/ is swapped just before.
    SwapOnFirst(fs, GetParam() == kActionMove ? Op::kMoveFile : Op::kDeleteFile, "/d/old.txt",
                "d/a");
    EngineRig rig(fs);
    rig.Run(S(), D(), GetParam(), t.Path("r"));

    EXPECT_EQ(Outside(), before);
    EXPECT_FALSE(t.Exists("r/a/x") && t.ReadFile("r/a/x") == "precious x");
    EXPECT_FALSE(t.Exists("r/a/gone/y") && t.ReadFile("r/a/gone/y") == "precious y");
    // What was listed in the real a/ is either dealt with there or reported as not done.
    const bool xDone = !t.Exists("d/.real-a/x");
    const std::string verb = GetParam() == kActionMove ? "Move" : "Delete";
    const std::string xLine =
        verb + ": " + D("a/x") + (GetParam() == kActionMove ? " => " + t.Path("r/a/x") : "");
    EXPECT_TRUE(HasLine(rig, (xDone ? " " : "!") + xLine));
    EXPECT_TRUE(HasLine(rig, "!Read: " + D("a/gone/")) || !t.Exists("d/.real-a/gone/y"));
}

INSTANTIATE_TEST_SUITE_P(DeleteAndMove, RaceExtra, ::testing::Values(kActionDelete, kActionMove));

// Another process swaps a destination directory for a link and back, over and over, while runs
// go on. Each run has its own destination, so that every run has files to overwrite and extra
// files to delete in the directory being swapped.
TEST_F(Race, ADirectorySwappedBackAndForthDuringRunsNeverLeadsOutside) {
    constexpr int kFiles = 30;
    constexpr int kRuns = 6;
    t.MakeDir("s/sub");
    for (int i = 0; i < kFiles; ++i) {
        t.WriteFile("s/sub/f" + std::to_string(i), "new", kNew);
        t.WriteFile("outside/f" + std::to_string(i), "precious", kOld);
        t.WriteFile("outside/x" + std::to_string(i), "precious", kOld);
    }
    const auto before = Outside();

    for (int run = 0; run < kRuns; ++run) {
        const std::string dest = "d" + std::to_string(run);
        t.MakeDir(dest + "/sub");
        for (int i = 0; i < kFiles; ++i) {
            t.WriteFile(dest + "/sub/f" + std::to_string(i), "old", kOld);
            t.WriteFile(dest + "/sub/x" + std::to_string(i), "extra", kOld);
        }
        const std::string sub = t.Path(dest + "/sub");
        const std::string hidden = t.Path(dest + "/.hidden");
        const std::string outside = t.Path("outside");
        // The swapper is a process of its own, stopped through a flag in shared memory once the
        // run is over; it always finishes a swap before it looks at the flag.
        auto* stop = static_cast<std::atomic<int>*>(mmap(nullptr, sizeof(std::atomic<int>),
                                                         PROT_READ | PROT_WRITE,
                                                         MAP_SHARED | MAP_ANONYMOUS, -1, 0));
        ASSERT_NE(stop, MAP_FAILED);
        new (stop) std::atomic<int>(0);
        const pid_t swapper = fork();
        ASSERT_GE(swapper, 0);
        if (swapper == 0) {
            while (stop->load() == 0) {
                if (rename(sub.c_str(), hidden.c_str()) == 0) {
                    symlink(outside.c_str(), sub.c_str());
                    sched_yield();
                    // Put the real directory back unless the run has removed the link and made
                    // a directory of its own there.
                    unlink(sub.c_str());
                    rename(hidden.c_str(), sub.c_str());
                }
                sched_yield();
            }
            _exit(0);
        }
        EngineRig rig;
        rig.Run(S(), t.Path(dest), kActionDelete);
        stop->store(1);
        int status = 0;
        ASSERT_EQ(waitpid(swapper, &status, 0), swapper);
        munmap(stop, sizeof(std::atomic<int>));
        ASSERT_EQ(Outside(), before) << "run " << run;
    }
}

// The walk holds a few directories open per tree, however wide and deep the tree is, and the
// copies waiting for their real times hold at most one per directory up to a small bound.
TEST_F(Race, OpenDescriptorsStayFewWhateverTheTree) {
    std::string deep;
    for (int level = 0; level < 20; ++level) {
        deep += "l" + std::to_string(level) + "/";
        t.MakeDir("s/" + deep);
        t.WriteFile("s/" + deep + "f", "f");  // a time of today: the copy waits in the batch
    }
    for (int i = 0; i < 70; ++i) {
        const std::string wide = "w" + std::to_string(i) + "/sub/";
        t.MakeDir("s/" + wide);
        t.WriteFile("s/" + wide + "f", "f");
        t.MakeDir("d/x" + std::to_string(i) + "/sub");
        t.WriteFile("d/x" + std::to_string(i) + "/sub/extra", "x");
    }
    FailingFileSystem fs;
    const int before = OpenDescriptors();
    int most = before;
    fs.SetHook([&](const FailingFileSystem::Call&) { most = std::max(most, OpenDescriptors()); });
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    // The batch: 64 directories; each tree: its root and the directories it holds; one more
    // for a moment.
    EXPECT_LE(most - before, static_cast<int>(64 + 3 * (1 + TreeCursor::kHeld) + 2));
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(t.ReadFile("d/" + deep + "f"), "f");
    EXPECT_EQ(t.ReadFile("r/x69/sub/extra"), "x");
    for (const std::string& line : rig.recorder.ActionLines()) {
        EXPECT_EQ(line[0], ' ') << line;
    }
}

}  // namespace
}  // namespace tandrel
