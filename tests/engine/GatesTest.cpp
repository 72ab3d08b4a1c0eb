// The gates a job passes before it may delete: a source that holds nothing never empties a
// destination, and a job that would delete more than the run allows deletes nothing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "FailingFileSystem.h"
#include "RunLock.h"

#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

FileId DefaultFileSystemId(const std::string& path) {
    EntryInfo info;
    EXPECT_TRUE(DefaultFileSystem().Stat(path, &info).ok());
    return info.id;
}

// Records the refusals and waits the engine reports besides its run lines.
class RefusalRecorder : public RunRecorder {
  public:
    void JobRefused(JobRefusal why, std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex);
        refusals.emplace_back(why, std::string(line));
    }
    void JobWaits(std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex);
        waits.emplace_back(line);
    }
    size_t WaitCount() const {
        std::lock_guard<std::mutex> lock(mutex);
        return waits.size();
    }
    bool Done() const {
        std::lock_guard<std::mutex> lock(mutex);
        return !events.empty() && events.back().kind == 'd';
    }
    std::vector<std::pair<JobRefusal, std::string>> refusals;
    std::vector<std::string> waits;
};

class Gates : public ::testing::Test {
  protected:
    Gates() {
        t.MakeDir("s");
        t.MakeDir("d/sub");
        t.WriteFile("d/a.txt", "a");
        t.WriteFile("d/sub/b.txt", "b");
        t.MakeDir("r");
        rig.queue.m_pPageLog = &recorder;
        rig.queue.m_pSheet = &recorder;
        // The run locks of the test go to a folder of its own.
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        hadRuntime_ = old != nullptr;
        savedRuntime_ = hadRuntime_ ? old : "";
        t.MakeDir("runtime");
        setenv("XDG_RUNTIME_DIR", t.Path("runtime").c_str(), 1);
        // So do the places tried after it.
        for (const char* name : {"XDG_CACHE_HOME", "TMPDIR"}) {
            const char* value = std::getenv(name);
            savedPlaces_.emplace_back(
                name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
        }
        t.MakeDir("cache");
        t.MakeDir("tmp");
        t.Chmod("tmp", 01777);
        setenv("XDG_CACHE_HOME", t.Path("cache").c_str(), 1);
        setenv("TMPDIR", t.Path("tmp").c_str(), 1);
    }
    ~Gates() override {
        if (hadRuntime_) {
            setenv("XDG_RUNTIME_DIR", savedRuntime_.c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
        for (const auto& [name, value] : savedPlaces_) {
            if (value) {
                setenv(name, value->c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
    }
    // Holds the run lock of the directory `rel` the way another run would.
    void HoldLock(const std::string& rel) {
        EntryInfo info;
        ASSERT_TRUE(DefaultFileSystem().Stat(t.Path(rel), &info).ok());
        ASSERT_TRUE(other.TryLock(info.id).ok());
    }
    std::string S(const std::string& rel = "") { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") { return t.Path("d/" + rel); }

    TempTree t;
    EngineRig rig;
    RefusalRecorder recorder;
    RunLock other;

  private:
    bool hadRuntime_ = false;
    std::string savedRuntime_;
    std::vector<std::pair<const char*, std::optional<std::string>>> savedPlaces_;
};

TEST_F(Gates, AnEmptySourceNeverEmptiesTheDestination) {
    // Hidden entries take no part in a run, so a source holding only those is empty too.
    for (bool hidden : {false, true}) {
        if (hidden) {
            t.WriteFile("s/.hidden", "h");
        }
        recorder.lines.clear();
        recorder.refusals.clear();
        rig.Run(S(), D(), kActionDelete);
        EXPECT_EQ(t.List("d"), (std::set<std::string>{"a.txt", "sub/", "sub/b.txt"}));
        ASSERT_EQ(recorder.lines.size(), 3u);
        EXPECT_EQ(recorder.lines[1], "!Skip: " + S() + " => " + D() +
                                         " (the source holds nothing; nothing is deleted)");
        ASSERT_EQ(recorder.refusals.size(), 1u);
        EXPECT_EQ(recorder.refusals[0].first, JobRefusal::kEmptySource);
    }
}

TEST_F(Gates, AnEmptySourceMayEmptyTheDestinationWhenAllowed) {
    rig.queue.m_bAllowEmptySource = true;
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(t.List("d"), std::set<std::string>{});
    EXPECT_TRUE(recorder.refusals.empty());
}

TEST_F(Gates, KeepAndMoveRunOnAnEmptySourceAsBefore) {
    rig.Run(S(), D(), kActionKeep);
    EXPECT_EQ(recorder.lines.size(), 2u);
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    EXPECT_EQ(t.List("d"), std::set<std::string>{});
    EXPECT_EQ(t.List("r"), (std::set<std::string>{"a.txt", "sub/", "sub/b.txt"}));
    EXPECT_TRUE(recorder.refusals.empty());
}

TEST_F(Gates, AnEmptyDestinationWithAnEmptySourceIsNoRefusal) {
    t.MakeDir("e");
    rig.Run(S(), t.Path("e"), kActionDelete);
    EXPECT_EQ(recorder.lines.size(), 2u);
    EXPECT_TRUE(recorder.refusals.empty());
}

// Three entries would go: a.txt, sub/b.txt and the directory sub/. The file the source still
// has is copied whatever the limit.
TEST_F(Gates, AJobOverTheDeleteLimitDeletesNothing) {
    t.WriteFile("s/new.txt", "n");
    t.WriteFile("d/.dotfile", "kept");  // takes no part, so not counted
    t.MakeDir("d/sub/deep");
    t.WriteFile("d/sub/deep/c.txt", "c");
    rig.queue.m_nMaxDelete = 4;
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(t.List("d"), (std::set<std::string>{".dotfile", "a.txt", "new.txt", "sub/",
                                                  "sub/b.txt", "sub/deep/", "sub/deep/c.txt"}));
    const std::vector<std::string> lines = recorder.ActionLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], " Copy: " + S("new.txt") + " => " + D("new.txt"));
    EXPECT_EQ(lines[1], "!Skip: " + S() + " => " + D() +
                            " (5 entries would be deleted, more than the limit of 4)");
    ASSERT_EQ(recorder.refusals.size(), 1u);
    EXPECT_EQ(recorder.refusals[0].first, JobRefusal::kTooManyDeletes);
}

TEST_F(Gates, AJobAtTheDeleteLimitDeletes) {
    t.WriteFile("s/new.txt", "n");
    rig.queue.m_nMaxDelete = 3;
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"new.txt"}));
    EXPECT_TRUE(recorder.refusals.empty());
}

TEST_F(Gates, TheDeleteLimitLeavesMovesAlone) {
    t.WriteFile("s/new.txt", "n");
    rig.queue.m_nMaxDelete = 0;
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"new.txt"}));
    EXPECT_TRUE(recorder.refusals.empty());
}

TEST_F(Gates, AJobWaitsForTheRunThatHoldsItsDestination) {
    t.WriteFile("s/new.txt", "n");
    HoldLock("d");
    rig.queue.m_pThread = &rig.backup;
    rig.backup.Start();
    rig.queue.AddJob(S(), D(), 0);
    rig.queue.StartRun(kActionDelete, "");
    // Generous bounds: they only keep a broken run from hanging the test.
    for (int i = 0; i < 3000 && recorder.WaitCount() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(recorder.WaitCount(), 1u);
    const std::string wait = " Wait: " + D() + " (another run is using it)";
    EXPECT_EQ(recorder.waits[0], wait);
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"a.txt", "sub/", "sub/b.txt"}));
    other.Unlock();
    for (int i = 0; i < 3000 && !recorder.Done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    rig.backup.Stop();
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"new.txt"}));
    const std::vector<std::string> lines = recorder.ActionLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], wait);
    // The lock goes with the job.
    EXPECT_TRUE(other.TryLock(DefaultFileSystemId(D())).ok());
}

TEST_F(Gates, AJobThatMustNotWaitIsRefused) {
    t.WriteFile("s/new.txt", "n");
    HoldLock("r");
    rig.queue.m_bWaitForOtherRuns = false;
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"a.txt", "sub/", "sub/b.txt"}));
    EXPECT_EQ(recorder.ActionLines(),
              std::vector<std::string>{"!Skip: " + S() + " => " + D() + " (another run is using " +
                                       t.Path("r/") + ")"});
    ASSERT_EQ(recorder.refusals.size(), 1u);
    EXPECT_EQ(recorder.refusals[0].first, JobRefusal::kBusy);
    // A lock folder others may write to is passed over for another private place, where
    // the lock held there meets the job as well.
    other.Unlock();
    const std::set<std::string> heldBefore = t.List("runtime/tandrel");
    t.Chmod("runtime/tandrel", 0777);
    HoldLock("r");
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    ASSERT_EQ(recorder.refusals.size(), 2u);
    EXPECT_EQ(recorder.refusals[1].first, JobRefusal::kBusy);
    EXPECT_NE(recorder.refusals[1].second.find("another run is using"), std::string::npos);
    EXPECT_EQ(t.List("runtime/tandrel"), heldBefore);  // nothing new was put there
    // Only when no private place at all can be had is the job refused, whether or not it may
    // wait.
    other.Unlock();
    t.Chmod("cache/tandrel", 0777);
    t.Chmod("tmp", 0777);
    rig.queue.m_bWaitForOtherRuns = true;
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"a.txt", "sub/", "sub/b.txt"}));
    ASSERT_EQ(recorder.refusals.size(), 3u);
    EXPECT_EQ(recorder.refusals[2].first, JobRefusal::kBusy);
    EXPECT_NE(recorder.refusals[2].second.find("runs cannot be kept apart"), std::string::npos);
    // With a private place again, the same job runs.
    t.Chmod("runtime/tandrel", 0700);
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"new.txt"}));
}

// Every way a job can be refused as a whole writes one "!Skip" line that ends with why, and
// hands that same line to the monitor (tandrel-cli repeats it on stderr).
TEST_F(Gates, EveryRefusalSaysWhyOnItsLineAndToTheMonitor) {
    t.WriteFile("s/f", "f");
    t.MakeDir("s/inner");
    t.MakeDir("e");
    t.MakeDir("d/bin");
    using Op = FailingFileSystem::Op;
    struct Case {
        std::string source, dest;
        ExtraFileAction action;
        std::string recycle;
        std::function<void(FailingFileSystem&, CJobQueue&)> setUp;
        JobRefusal why;
        std::string reason;
    };
    const auto none = [](FailingFileSystem&, CJobQueue&) {};
    const std::vector<Case> cases = {
        {"", D(), kActionDelete, "", none, JobRefusal::kPaths, "Directory name of 'From' is empty"},
        {S(), "", kActionDelete, "", none, JobRefusal::kPaths, "Directory name of 'To' is empty"},
        {S(), S("inner/"), kActionKeep, "", none, JobRefusal::kPaths,
         "Directory 'To' is or lies inside 'From'"},
        {S("inner/"), S(), kActionKeep, "", none, JobRefusal::kPaths,
         "Directory 'To' contains 'From'"},
        {S(), D(), kActionMove, S("inner/"), none, JobRefusal::kPaths,
         "Directory 'Recycle' is or lies inside 'From'"},
        {S(), D(), kActionMove, t.Path(""), none, JobRefusal::kPaths,
         "Directory 'Recycle' contains 'From'"},
        {S(), D("sub/"), kActionMove, D(), none, JobRefusal::kPaths,
         "Directory 'Recycle' is or contains 'To'"},
        {S(), D(), kActionKeep, "",
         [&](FailingFileSystem& fs, CJobQueue&) { fs.FailOn(Op::kLocateDirectory, D()); },
         JobRefusal::kPaths, "Directory 'To' cannot be checked (" + D() + ": injected failure)"},
        {S(), D(), kActionMove, D("bin/"),
         [&](FailingFileSystem& fs, CJobQueue&) { fs.FailOn(Op::kPathBelow, D("bin")); },
         JobRefusal::kPaths,
         "Directory 'Recycle' cannot be placed inside 'To' (" + D("bin/") + ": injected failure)"},
        {t.Path("e/"), D(), kActionDelete, "", none, JobRefusal::kEmptySource,
         "the source holds nothing; nothing is deleted"},
        {S(), D(), kActionDelete, "", [](FailingFileSystem&, CJobQueue& q) { q.m_nMaxDelete = 1; },
         JobRefusal::kTooManyDeletes, "4 entries would be deleted, more than the limit of 1"},
        {S(), D(), kActionKeep, "",
         [&](FailingFileSystem&, CJobQueue& q) {
             HoldLock("d");
             q.m_bWaitForOtherRuns = false;
         },
         JobRefusal::kBusy, "another run is using " + D()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        FailingFileSystem fs;
        EngineRig job(fs);
        RefusalRecorder seen;
        job.queue.m_pPageLog = &seen;
        job.queue.m_pSheet = &seen;
        c.setUp(fs, job.queue);
        job.Run(c.source, c.dest, c.action, c.recycle);
        other.Unlock();

        const std::string line = "!Skip: " + c.source + " => " + c.dest + " (" + c.reason + ")";
        std::vector<std::string> skips;
        for (const std::string& l : seen.ActionLines()) {
            if (l.rfind("!Skip", 0) == 0) {
                skips.push_back(l);
            }
        }
        EXPECT_EQ(skips, std::vector<std::string>{line});
        EXPECT_EQ(seen.refusals, (std::vector<std::pair<JobRefusal, std::string>>{{c.why, line}}));
    }
}

// A log file inside a source tree would be emptied when it is opened: logging is switched off.
TEST_F(Gates, ALogFileInsideTheSourceSwitchesLoggingOff) {
    t.MakeDir("s/notes");
    t.WriteFile("s/notes/today.txt", "precious");
    t.MakeLink("via", S("notes"));
    for (const std::string& log : {S("notes/today.txt"), t.Path("via/today.txt")}) {
        rig.queue.m_strLogFileName = log;
        rig.queue.m_bLogEnabled = true;
        rig.Run(S(), D(), kActionKeep);
        EXPECT_FALSE(rig.queue.m_bLogEnabled) << log;
        EXPECT_EQ(t.ReadFile("s/notes/today.txt"), "precious");
        EXPECT_EQ(t.ReadFile("d/notes/today.txt"), "precious");
    }
}

// A log file that is a tree's file under another name (a hard link, kept outside every tree)
// would empty that file and, by the next run, its backup: logging is switched off instead.
TEST_F(Gates, ALogFileThatIsATreeFileUnderAnotherNameSwitchesLoggingOff) {
    t.WriteFile("s/notes.txt", "precious");
    rig.Run(S(), D(), kActionKeep);
    ASSERT_EQ(t.ReadFile("d/notes.txt"), "precious");
    struct Case {
        const char* treeFile;
        const char* logName;
    };
    for (const Case& c : {Case{"s/notes.txt", "run.log"}, Case{"d/notes.txt", "dest.log"}}) {
        ASSERT_EQ(link(t.Path(c.treeFile).c_str(), t.Path(c.logName).c_str()), 0);
        EngineRig run;
        run.queue.m_strLogFileName = t.Path(c.logName);
        run.queue.m_bLogEnabled = true;
        run.Run(S(), D(), kActionDelete);
        run.queue.FlushLog();
        EXPECT_FALSE(run.queue.m_bLogEnabled) << c.logName;
        EXPECT_EQ(t.ReadFile("s/notes.txt"), "precious") << c.logName;
        EXPECT_EQ(t.ReadFile("d/notes.txt"), "precious") << c.logName;
    }
}

// One inside a destination or recycle tree is kept out of the walk: never copied over,
// deleted or moved.
TEST_F(Gates, ALogFileInsideTheDestinationOrRecycleDirectoryIsLeftAlone) {
    t.WriteFile("s/run.log", "a source file of that name");
    t.WriteFile("s/f", "f");
    rig.queue.m_strLogFileName = D("run.log");
    rig.queue.m_bLogEnabled = true;
    rig.Run(S(), D(), kActionDelete);
    rig.queue.FlushLog();
    EXPECT_TRUE(rig.queue.m_bLogEnabled);
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"f", "run.log"}));
    const std::vector<std::string> lines = recorder.ActionLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "!Copy: " + S("run.log") + " => " + D("run.log") +
                            " (the destination is the run's log file; not copied over)"),
              lines.end());
    EXPECT_EQ(t.ReadFile("d/run.log").rfind(CBackup::FormatHeader(920297109) + "\n", 0), 0u);

    // The recycle directory: an extra file of the log's name is not moved over it.
    EngineRig next;
    t.MakeDir("d2");
    t.WriteFile("d2/run.log", "extra");
    t.MakeDir("s2");
    t.WriteFile("s2/f2", "f2");
    next.queue.m_strLogFileName = t.Path("r/run.log");
    next.queue.m_bLogEnabled = true;
    next.Run(t.Path("s2"), t.Path("d2"), kActionMove, t.Path("r"));
    next.queue.FlushLog();
    EXPECT_EQ(t.ReadFile("d2/run.log"), "extra");
    EXPECT_EQ(next.recorder.ActionLines().back(),
              "!Move: " + t.Path("d2/run.log") + " => " + t.Path("r/run.log") +
                  " (the target is the run's log file; not moved onto)");
    EXPECT_EQ(t.ReadFile("r/run.log").rfind(CBackup::FormatHeader(920297109) + "\n", 0), 0u);
}

// On a destination that matches names ignoring case, the log is known under any spelling.
TEST_F(Gates, ALogFileInACaseBlindDestinationIsKnownUnderAnySpelling) {
    t.WriteFile("s/RUN.LOG", "a source file of that name");
    FailingFileSystem fs;
    fs.SimulateVolume(FailingFileSystem::FatVolume());
    EngineRig fat(fs);
    fat.queue.m_strLogFileName = D("run.log");
    fat.queue.m_bLogEnabled = true;
    fat.Run(S(), D(), kActionKeep);
    fat.queue.FlushLog();
    EXPECT_EQ(
        fat.recorder.ActionLines(),
        std::vector<std::string>{"!Copy: " + S("RUN.LOG") + " => " + D("RUN.LOG") +
                                 " (the destination is the run's log file; not copied over)"});
    EXPECT_EQ(t.ReadFile("d/run.log").rfind(CBackup::FormatHeader(920297109) + "\n", 0), 0u);
}

}  // namespace
}  // namespace tandrel
