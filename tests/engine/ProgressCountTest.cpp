// The count of files for the progress bar: made (a listing of every directory before the walk)
// only where the progress is shown somewhere.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "FailingFileSystem.h"
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

}  // namespace
}  // namespace tandrel
