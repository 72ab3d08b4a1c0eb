// The count of files for the progress bar: made (a listing of every directory beside or before
// the walk) only where the progress is shown somewhere.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "FailingFileSystem.h"
#include "PathText.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

// A display that shows no progress, as tandrel-cli writing to no terminal.
class NoBarRecorder : public RunRecorder {
  public:
    bool ShowsProgress() const override { return false; }
};

struct Listings {
    std::map<std::string, int> times;  // how often each directory was listed
    int MostOfOne() const {
        int most = 0;
        for (const auto& [dir, n] : times) {
            most = std::max(most, n);
        }
        return most;
    }
};

void MakeTrees(TempTree& t) {
    t.MakeDir("s/a/deep");
    t.MakeDir("s/b");
    t.MakeDir("d/old");
    t.WriteFile("s/top", "1");
    t.WriteFile("s/a/f", "2");
    t.WriteFile("s/a/deep/g", "3");
    t.WriteFile("s/b/h", "4");
    t.WriteFile("d/old/x", "5");
}

TEST(ProgressCount, ADisplayWithoutABarGetsNoCountAndEachDirectoryIsListedOnce) {
    TempTree t;
    MakeTrees(t);
    FailingFileSystem fs;
    Listings listed;
    fs.SetHook([&](const FailingFileSystem::Call& call) {
        if (call.op == FailingFileSystem::Op::kListDirectory) {
            ++listed.times[call.path];
        }
    });
    CJobQueue queue;
    NoBarRecorder recorder;
    CBackup backup(queue, fs);
    queue.m_pPageLog = &recorder;
    queue.m_pSheet = &recorder;
    queue.AddJob(t.Path("s"), t.Path("d"), 0);
    queue.StartRun(kActionDelete, std::string());
    backup.OnRunJobs();

    EXPECT_EQ(listed.MostOfOne(), 1);
    for (const RunRecorder::Event& e : recorder.events) {
        EXPECT_NE(e.kind, 'r') << "a range of " << e.value;
    }
    // The run itself is the same: everything copied, the extra directory deleted.
    EXPECT_EQ(t.List("d"),
              (std::set<std::string>{"a/", "a/deep/", "a/deep/g", "a/f", "b/", "b/h", "top"}));
    EXPECT_EQ(recorder.events.back().kind, 'd');
}

TEST(ProgressCount, ABarGetsTheCountOfBothTreesUnderDelete) {
    TempTree t;
    MakeTrees(t);
    FailingFileSystem fs;
    Listings listed;
    fs.SetHook([&](const FailingFileSystem::Call& call) {
        if (call.op == FailingFileSystem::Op::kListDirectory) {
            ++listed.times[call.path];
        }
    });
    EngineRig rig(fs);
    rig.Run(t.Path("s"), t.Path("d"), kActionDelete);

    ASSERT_FALSE(rig.recorder.events.empty());
    EXPECT_EQ(rig.recorder.events.front().kind, 'r');
    EXPECT_EQ(rig.recorder.events.front().value, 5);  // four source files, one extra
    EXPECT_EQ(listed.MostOfOne(), 2);                 // counted, then walked
}

// The real disk, watched: says it may be read from two threads, as the real one does, so the
// sources are counted beside the walk; the hook sees every call.
class ParallelFileSystem : public FailingFileSystem {
  public:
    bool ReadsInParallel() const override { return true; }
};

// The listings of source directories made by the count's thread: the thread other than the
// walk's that lists the source root (the walk's side thread reads only directories below it).
struct CountListings {
    std::mutex mutex;
    std::optional<std::thread::id> counter;
    size_t count = 0;
    void Watch(FailingFileSystem& fs, const std::string& source,
               const std::function<void()>& onFirst = {}) {
        const std::thread::id walk = std::this_thread::get_id();
        fs.SetHook([this, source, walk, onFirst](const FailingFileSystem::Call& call) {
            const std::thread::id self = std::this_thread::get_id();
            if (call.op != FailingFileSystem::Op::kListDirectory || self == walk ||
                call.path.rfind(source, 0) != 0) {
                return;
            }
            bool first = false;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (!counter && StripSlash(call.path) == StripSlash(source)) {
                    counter = self;
                    first = true;
                }
                count += counter == self ? 1 : 0;
            }
            if (first && onFirst) {
                onFirst();
            }
        });
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return count;
    }
};

// Where the disk can be read from two threads, the sources are counted on a thread of their own
// while the walk goes on: the bar first hears that the total is being counted, then the total
// once (never a smaller one later), and the steps never stop for it.
TEST(ProgressCount, TheSourcesAreCountedBesideTheWalk) {
    TempTree t;
    MakeTrees(t);
    ParallelFileSystem fs;
    CountListings counted;
    counted.Watch(fs, t.Path("s"));
    EngineRig rig(fs);
    rig.Run(t.Path("s"), t.Path("d"), kActionKeep);

    const auto& ev = rig.recorder.events;
    ASSERT_FALSE(ev.empty());
    EXPECT_EQ(ev.front().kind, 'r');
    EXPECT_EQ(ev.front().value, IRunMonitor::kCounting);
    int ranges = 0;
    for (const RunRecorder::Event& e : ev) {
        ranges += e.kind == 'r' ? 1 : 0;
    }
    EXPECT_EQ(ranges, 2);
    EXPECT_EQ(rig.recorder.Range(), 4);  // the four source files
    EXPECT_EQ(rig.recorder.MaxPos(), 4);
    EXPECT_EQ(counted.Count(), 4u);  // s, s/a, s/b, s/a/deep: listed by the count's thread
    EXPECT_EQ(ev.back().kind, 'd');
    EXPECT_EQ(t.ReadFile("d/a/deep/g"), "3");
}

// A stop while the files are being counted ends the count at the directory it is listing and
// the run as any stopped run: no total is ever set, the bar is reset, the notice comes.
TEST(ProgressCount, AStopWhileCountingEndsTheCountAndTheRun) {
    TempTree t;
    for (int i = 0; i < 10; ++i) {
        t.MakeDir("s/d" + std::to_string(i));
        t.WriteFile("s/d" + std::to_string(i) + "/f", "x");
    }
    t.MakeDir("d");
    ParallelFileSystem fs;
    EngineRig rig(fs);
    CountListings counted;
    counted.Watch(fs, t.Path("s"), [&] { rig.backup.CancelRun(); });
    rig.Run(t.Path("s"), t.Path("d"), kActionKeep);

    EXPECT_EQ(counted.Count(), 1u);  // the root, listed as the stop came
    EXPECT_EQ(rig.recorder.Range(), IRunMonitor::kCounting);
    ASSERT_EQ(rig.recorder.summaries.size(), 1u);
    EXPECT_TRUE(rig.recorder.summaries.front().stopped);
    const auto& ev = rig.recorder.events;
    ASSERT_GE(ev.size(), 2u);
    EXPECT_EQ(ev[ev.size() - 2].kind, 'p');
    EXPECT_EQ(ev[ev.size() - 2].value, 0);
    EXPECT_EQ(ev.back().kind, 'd');
}

}  // namespace
}  // namespace tandrel
