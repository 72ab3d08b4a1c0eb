// Reading ahead of the walk: it reads only below the roots, never through a link, stops
// between two entries when the run is stopped, leaves no thread or descriptor behind, and
// changes nothing the walk does. It is switched on by a setting here, as the tests have no
// slow disk.
#include <dirent.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "FailingFileSystem.h"
#include "ReadAhead.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

using Op = FailingFileSystem::Op;

constexpr int64_t kSec = 1000000000LL;
constexpr int64_t kOld = 1000 * kSec;
constexpr int64_t kNew = 2000 * kSec;

// Entries of a directory of /proc: this process's open descriptors or its threads.
size_t CountEntries(const char* dir) {
    size_t n = 0;
    if (DIR* d = opendir(dir)) {
        while (dirent* e = readdir(d)) {
            n += e->d_name[0] != '.' ? 1 : 0;
        }
        closedir(d);
    }
    return n;
}

ReadAhead::Settings Always(size_t threads = 2) {
    ReadAhead::Settings s;
    s.threads = threads;
    s.always = true;
    return s;
}

TEST(ReadAhead, ReadsTheComingDirectoriesOfBothTreesOnlyBelowTheRootsNeverThroughALink) {
    TempTree t;
    t.MakeDir("s/a/x");
    t.WriteFile("s/a/f", "f");
    t.WriteFile("s/a/x/g", "g");
    t.MakeDir("s/b/y");
    t.MakeDir("d/a");
    t.WriteFile("d/a/f", "f");
    t.MakeDir("d/b");
    t.MakeDir("outside/y");
    t.WriteFile("outside/secret", "not to be read");
    t.WriteFile("outside/y/secret", "not to be read");
    FailingFileSystem fs;
    fs.SetReadsInParallel(true);
    DirHandle srcRoot;
    DirHandle dstRoot;
    ASSERT_TRUE(fs.OpenDirectory(t.Path("s"), &srcRoot).ok());
    ASSERT_TRUE(fs.OpenDirectory(t.Path("d"), &dstRoot).ok());
    // s/b was listed as a directory, then swapped for a link out of the tree before the
    // reading ahead came to it.
    ASSERT_EQ(rename(t.Path("s/b").c_str(), t.Path("s/.b").c_str()), 0);
    t.MakeLink("s/b", t.Path("outside"));

    std::atomic<bool> cancel{false};
    ReadAhead ahead;
    ahead.SetSettings(Always());
    ahead.Begin(fs, srcRoot, &dstRoot, cancel);
    ASSERT_TRUE(ahead.On());
    for (const char* rel : {"a/", "b/", "a/x/", "b/y/", "../"}) {
        ahead.Coming(rel);
    }
    ahead.WaitUntilIdle();
    // s/a, s/a/x, d/a and d/b: not s/b nor s/b/y (a link on the way), not d/a/x nor d/b/y
    // (not there), and nothing above the roots.
    EXPECT_EQ(ahead.DirectoriesRead(), 4u);
    ahead.End();

    std::vector<std::string> listed;
    for (const FailingFileSystem::Call& c : fs.Calls()) {
        EXPECT_EQ(c.path.find("secret"), std::string::npos) << c.path;
        if (c.op == Op::kListDirectory || c.op == Op::kStat) {
            EXPECT_EQ(c.path.find(".."), std::string::npos) << c.path;
        }
        if (c.op == Op::kListDirectory) {
            listed.push_back(c.path);
        }
        if (c.op == Op::kStat) {
            EXPECT_TRUE(c.path == t.Path("s/a/f") || c.path == t.Path("s/a/x") ||
                        c.path == t.Path("s/a/x/g") || c.path == t.Path("d/a/f"))
                << c.path;
        }
    }
    std::sort(listed.begin(), listed.end());
    const std::vector<std::string> expected = {t.Path("d/a"), t.Path("d/b"), t.Path("s/a"),
                                               t.Path("s/a/x")};
    EXPECT_EQ(listed, expected);
}

TEST(ReadAhead, KeepsWithinItsDistanceOfTheWalkAndLeavesWhatTheWalkPassed) {
    TempTree t;
    for (const char* d : {"s/a", "s/b", "s/c", "s/d", "d"}) {
        t.MakeDir(d);
    }
    FailingFileSystem fs;
    fs.SetReadsInParallel(true);
    DirHandle srcRoot;
    ASSERT_TRUE(fs.OpenDirectory(t.Path("s"), &srcRoot).ok());
    std::atomic<bool> cancel{false};
    ReadAhead ahead;
    ReadAhead::Settings settings = Always();
    settings.distance = 1;
    ahead.SetSettings(settings);
    ahead.Begin(fs, srcRoot, nullptr, cancel);
    ahead.Entering();  // the walk is in a/ before anything is read: a/ is its own to read
    for (const char* rel : {"a/", "b/", "c/", "d/"}) {
        ahead.Coming(rel);
    }
    ahead.WaitUntilIdle();
    EXPECT_EQ(ahead.DirectoriesRead(), 1u);  // b/ only
    ahead.Entering();                        // b/: c/ comes into reach, d/ not yet
    ahead.WaitUntilIdle();
    ahead.End();
    std::vector<std::string> listed;
    for (const FailingFileSystem::Call& c : fs.Calls()) {
        if (c.op == Op::kListDirectory) {
            listed.push_back(c.path);
        }
    }
    EXPECT_EQ(listed, (std::vector<std::string>{t.Path("s/b"), t.Path("s/c")}));
}

TEST(ReadAhead, StaysOffWhereTheFileSystemIsReadOnOneThread) {
    TempTree t;
    t.MakeDir("s/a");
    FailingFileSystem fs;  // says it is read on one thread
    DirHandle srcRoot;
    ASSERT_TRUE(fs.OpenDirectory(t.Path("s"), &srcRoot).ok());
    std::atomic<bool> cancel{false};
    ReadAhead ahead;
    ahead.SetSettings(Always());
    ahead.Begin(fs, srcRoot, nullptr, cancel);
    ahead.Coming("a/");
    ahead.Noticed(std::chrono::seconds(1), 1);
    ahead.Noticed(std::chrono::seconds(1), 1);
    EXPECT_FALSE(ahead.On());
    ahead.End();
    EXPECT_EQ(fs.CallCount(Op::kListDirectory), 0);
}

TEST(ReadAhead, SwitchesOnOnlyWhenTheWalksReadsWaitForTheDisk) {
    TempTree t;
    t.MakeDir("s");
    DirHandle srcRoot;
    ASSERT_TRUE(DefaultFileSystem().OpenDirectory(t.Path("s"), &srcRoot).ok());
    std::atomic<bool> cancel{false};
    ReadAhead ahead;
    ahead.Begin(DefaultFileSystem(), srcRoot, nullptr, cancel);
    const auto fromCache = ReadAhead::WaitingAbove(100) / 2;
    const auto fromDisk = ReadAhead::WaitingAbove(100) * 2;
    for (int i = 0; i < 20; ++i) {
        ahead.Noticed(fromCache, 100);
    }
    ahead.Noticed(fromDisk, 100);  // one slow read among many: a busy machine
    ahead.Noticed(fromDisk, 100);
    EXPECT_FALSE(ahead.On());
    ahead.End();

    ahead.Begin(DefaultFileSystem(), srcRoot, nullptr, cancel);
    ahead.Noticed(fromCache, 100);
    ahead.Noticed(fromDisk, 100);
    EXPECT_FALSE(ahead.On());
    ahead.Noticed(fromDisk, 100);
    EXPECT_TRUE(ahead.On());
    ahead.End();
    EXPECT_FALSE(ahead.On());
}

TEST(ReadAhead, AStopWhileReadingAheadEndsItBetweenTwoEntriesWithNothingLeftOpen) {
    TempTree t;
    for (int d = 0; d < 4; ++d) {
        t.MakeDir("s/d" + std::to_string(d));
        for (int f = 0; f < 30; ++f) {
            t.WriteFile("s/d" + std::to_string(d) + "/f" + std::to_string(f), "x");
        }
    }
    FailingFileSystem fs;
    fs.SetReadsInParallel(true);
    std::atomic<bool> cancel{false};
    fs.SetHook([&](const FailingFileSystem::Call& c) {
        if (c.op == Op::kStat) {
            cancel = true;  // the run is stopped as the first entry is looked up
        }
    });
    // A sanitizer starts a thread of its own with the process's first: that one comes first.
    std::thread([] {}).join();
    const size_t fds = CountEntries("/proc/self/fd");
    const size_t threads = CountEntries("/proc/self/task");
    {
        DirHandle srcRoot;
        ASSERT_TRUE(fs.OpenDirectory(t.Path("s"), &srcRoot).ok());
        ReadAhead ahead;
        ahead.SetSettings(Always(3));
        ahead.Begin(fs, srcRoot, nullptr, cancel);
        for (int d = 0; d < 4; ++d) {
            ahead.Coming("d" + std::to_string(d) + "/");
        }
        ahead.WaitUntilIdle();
        ahead.End();
        // Each thread finishes the look-up it is in and reads nothing more.
        EXPECT_LE(fs.CallCount(Op::kStat), 3);
        EXPECT_EQ(ahead.DirectoriesRead(), 0u);
    }
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
}

// Two trees that need every kind of action: files missing, older, newer and extra, a new
// directory, an extra directory, at three levels.
void MakeTrees(TempTree& t) {
    for (const char* d : {"", "a/", "b/", "a/x/", "a/y/", "b/z/"}) {
        const std::string dir = d;
        t.MakeDir("s/" + dir);
        if (dir != "b/z/") {
            t.MakeDir("d/" + dir);
        }
        for (int f = 0; f < 20; ++f) {
            const std::string name = dir + "f" + std::to_string(f);
            t.WriteFile("s/" + name, "new " + name, kNew);
            if (f % 4 != 0 && dir != "b/z/") {
                t.WriteFile("d/" + name, "old", f % 4 == 1 ? kOld : kNew);
            }
        }
        if (dir != "b/z/") {
            t.WriteFile("d/" + dir + "extra", "extra", kOld);
        }
    }
    t.MakeDir("d/gone/deeper");
    t.WriteFile("d/gone/deeper/e", "e", kOld);
}

TEST(ReadAhead, TheWalkDoesTheSameWithItOnAndOff) {
    std::vector<std::string> lines[2];
    for (int on = 0; on < 2; ++on) {
        TempTree t;
        MakeTrees(t);
        FailingFileSystem fs;
        fs.SetReadsInParallel(true);  // the side thread reads too, as on the real disk
        EngineRig rig(fs);
        ReadAhead::Settings settings = Always();
        settings.threads = on != 0 ? 2 : 0;
        rig.backup.SetReadAhead(settings);
        rig.Run(t.Path("s"), t.Path("d"), kActionDelete);
        for (std::string line : rig.recorder.ActionLines()) {
            for (size_t at; (at = line.find(t.root())) != std::string::npos;) {
                line.replace(at, t.root().size(), "/");
            }
            lines[on].push_back(line);
        }
        EXPECT_EQ(t.List("s"), t.List("d"));
    }
    EXPECT_FALSE(lines[0].empty());
    EXPECT_EQ(lines[0], lines[1]);
}

TEST(ReadAhead, AStoppedRunLeavesNoReadingThreadNorDescriptorBehind) {
    TempTree t;
    MakeTrees(t);
    FailingFileSystem fs;
    fs.SetReadsInParallel(true);
    EngineRig rig(fs);
    rig.backup.SetReadAhead(Always());
    fs.SetHook([&](const FailingFileSystem::Call& c) {
        if (c.op == Op::kListDirectory && c.path == t.Path("s/a/x")) {
            rig.backup.CancelRun();  // whichever thread reads it first
        }
    });
    std::thread([] {}).join();  // the sanitizer's own thread, started with the first, first
    const size_t fds = CountEntries("/proc/self/fd");
    const size_t threads = CountEntries("/proc/self/task");
    rig.Run(t.Path("s"), t.Path("d"), kActionDelete);
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
    // The side thread of the walk lives with the worker; nothing else is left.
    EXPECT_LE(CountEntries("/proc/self/task"), threads + 1);
    ASSERT_EQ(rig.recorder.summaries.size(), 1u);
    const std::vector<std::string> lines = rig.recorder.ActionLines();
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("/b/z/") != std::string::npos;  // never reached
    }));
}

}  // namespace
}  // namespace tandrel
