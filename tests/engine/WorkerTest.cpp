#include <gtest/gtest.h>

#include <condition_variable>

#include "FailingFileSystem.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

// A recorder that lets the test wait for the end-of-run notice from the worker thread.
class WaitingRecorder : public RunRecorder {
  public:
    void PostJobsDone() override {
        RunRecorder::PostJobsDone();
        std::lock_guard<std::mutex> lock(m);
        ++done;
        cv.notify_all();
    }
    void WaitForRuns(int n) {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return done >= n; });
    }
    std::mutex m;
    std::condition_variable cv;
    int done = 0;
};

struct ThreadRig {
    explicit ThreadRig(FileSystem& fs = DefaultFileSystem()) : backup(queue, fs) {
        queue.m_pPageLog = &recorder;
        queue.m_pSheet = &recorder;
        queue.m_pThread = &backup;
        backup.Start();
    }
    CJobQueue queue;
    WaitingRecorder recorder;
    CBackup backup;
};

TEST(Worker, RunsEachPostedRunOnItsThreadAndAnnouncesTheEndLast) {
    TempTree t;
    t.MakeDir("s");
    t.MakeDir("d");
    for (int i = 0; i < 20; ++i) {
        t.WriteFile("s/f" + std::to_string(i), "x");
    }
    ThreadRig rig;
    rig.queue.AddJob(t.Path("s"), t.Path("d"), 0);
    ASSERT_TRUE(rig.queue.StartRun(kActionKeep, ""));
    rig.recorder.WaitForRuns(1);
    rig.queue.AddJob(t.Path("s"), t.Path("d"), 0);
    ASSERT_TRUE(rig.queue.StartRun(kActionKeep, ""));
    rig.recorder.WaitForRuns(2);
    rig.backup.Stop();

    std::lock_guard<std::mutex> lock(rig.recorder.mutex);
    EXPECT_EQ(rig.recorder.lines.size(), 22u + 2u);
    // Per run: the total being counted, steps rising one by one with the count of 20 set once
    // among them (at the first step after it is in, or after the last), reset to 0, then the
    // notice.
    const auto& ev = rig.recorder.events;
    constexpr size_t kPerRun = 1 + 20 + 1 + 1 + 1;
    ASSERT_EQ(ev.size(), 2u * kPerRun);
    for (size_t run = 0; run < 2; ++run) {
        const size_t first = run * kPerRun;
        EXPECT_EQ(ev[first].kind, 'r');
        EXPECT_EQ(ev[first].value, IRunMonitor::kCounting);
        int step = 0;
        int ranges = 0;
        for (size_t i = first + 1; i < first + kPerRun - 2; ++i) {
            if (ev[i].kind == 'r') {
                ++ranges;
                EXPECT_EQ(ev[i].value, 20);
            } else {
                EXPECT_EQ(ev[i].kind, 'p');
                EXPECT_EQ(ev[i].value, ++step);
            }
        }
        EXPECT_EQ(ranges, 1);
        EXPECT_EQ(ev[first + kPerRun - 2].kind, 'p');
        EXPECT_EQ(ev[first + kPerRun - 2].value, 0);
        EXPECT_EQ(ev[first + kPerRun - 1].kind, 'd');
    }
    EXPECT_EQ(ev.back().kind, 'd');
}

TEST(Worker, CancelAbandonsTheCopyInFlightWritesTheSeparatorAndDropsTheRest) {
    TempTree t;
    t.MakeDir("s");
    t.MakeDir("d");
    t.WriteFile("s/a", "a");
    t.WriteFile("s/b", "new b", 9000000000LL);
    t.WriteFile("d/b", "old b", 1000000000LL);
    t.WriteFile("s/c", "c");
    FailingFileSystem fs;
    ThreadRig rig(fs);
    fs.SetHook([&](const FailingFileSystem::Call& call) {
        if (call.op == FailingFileSystem::Op::kCopyFile && call.path == t.Path("s/b")) {
            rig.backup.CancelRun();  // as Ctrl-C or closing the window would, mid-run
        }
    });
    rig.queue.AddJob(t.Path("s"), t.Path("d"), 0);
    rig.queue.AddJob(t.Path("s"), t.Path("d2"), 0);
    ASSERT_TRUE(rig.queue.StartRun(kActionDelete, ""));
    rig.recorder.WaitForRuns(1);

    EXPECT_EQ(rig.recorder.lines.size(), 4u);  // header, a, the abandoned b, separator
    EXPECT_EQ(rig.recorder.lines[2], "!Copy: " + t.Path("s/b") + " => " + t.Path("d/b") +
                                         " (stopped before it was done; left as it was)");
    EXPECT_EQ(rig.recorder.lines.back(), std::string(127, '-'));
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(t.ReadFile("d/b"), "old b");
    EXPECT_EQ(rig.queue.GetJobCount(), 0);

    // The worker is ready for the next run, which finishes the work.
    fs.SetHook(nullptr);
    rig.queue.AddJob(t.Path("s"), t.Path("d"), 0);
    ASSERT_TRUE(rig.queue.StartRun(kActionDelete, ""));
    rig.recorder.WaitForRuns(2);
    EXPECT_EQ(t.ReadFile("d/b"), "new b");
    EXPECT_EQ(t.ReadFile("d/c"), "c");
}

// A stop keeps what was done: the copies finished before it are flushed to the disk and get
// their real times (none is left with the placeholder, which would make the next run copy it
// again and show it dated 1970 meanwhile); only the copy in flight is abandoned.
TEST(Worker, AStopGivesTheCopiesMadeTheirRealTimesAndAbandonsOnlyTheOneInFlight) {
    TempTree t;
    int64_t time = int64_t{1'600'000'000} * 1'000'000'000;
    for (int dir = 0; dir < 3; ++dir) {
        t.MakeDir("s/d" + std::to_string(dir));
        for (int file = 0; file < 4; ++file) {
            t.WriteFile("s/d" + std::to_string(dir) + "/f" + std::to_string(file), "x",
                        time += 1'000'000'000);
        }
    }
    for (int stopAt : {1, 2, 7, 12}) {
        SCOPED_TRACE(stopAt);
        const std::string dest = "d" + std::to_string(stopAt) + "/";
        t.MakeDir(dest);
        FailingFileSystem fs;
        EngineRig rig(fs);
        int copies = 0;
        fs.SetHook([&](const FailingFileSystem::Call& call) {
            if (call.op == FailingFileSystem::Op::kCopyFile && ++copies == stopAt) {
                rig.backup.CancelRun();  // as closing the window or Ctrl-C would
            }
        });
        rig.Run(t.Path("s"), t.Path(dest), kActionKeep);

        int made = 0;
        for (const std::string& rel : t.List(dest)) {
            if (rel.back() != '/') {
                ++made;
                EXPECT_EQ(t.Mtime(dest + rel), t.Mtime("s/" + rel)) << rel;
            }
        }
        EXPECT_EQ(made, stopAt - 1);
    }
}

TEST(Worker, StopEndsTheThreadAndRefusesLaterPosts) {
    CJobQueue queue;
    CBackup backup(queue);
    queue.m_pThread = &backup;
    backup.Start();
    backup.Stop();
    backup.Stop();
    EXPECT_FALSE(queue.StartRun(kActionKeep, ""));
}

}  // namespace
}  // namespace tandrel
