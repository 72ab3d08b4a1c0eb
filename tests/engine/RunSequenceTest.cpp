// One worker used for several jobs and several runs must leave nothing of one job behind for
// the next: the lines and the trees are exactly those of each job run on a fresh worker.

#include <dirent.h>
#include <gtest/gtest.h>

#include <map>

#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

constexpr int64_t kSec = 1000000000;
constexpr int64_t kOld = 1000 * kSec;
constexpr int64_t kNew = 2000 * kSec;

// The same trees, made anew in a folder of their own for each way of running them.
//   run 1, Move into a/old/:  a: s -> d (its recycle directory inside d),
//                             b: s -> d (d holds an extra folder also called "old")
//   run 2, Delete, at most one entry deleted per job:
//                             c: s -> d (two extras: refused), e: s -> d (one extra)
void MakeTrees(TempTree& w) {
    for (const char* dir : {"a/s/sub", "a/d/old", "b/s", "b/d/old", "c/s", "c/d", "e/s", "e/d"}) {
        w.MakeDir(dir);
    }
    w.WriteFile("a/s/f", "new f", kNew);
    w.WriteFile("a/s/sub/g", "g", kNew);
    w.WriteFile("a/d/f", "old f", kOld);
    w.WriteFile("a/d/x", "x", kOld);
    w.WriteFile("a/d/old/earlier", "moved before", kOld);
    w.WriteFile("b/s/k", "new k", kNew);
    w.WriteFile("b/d/k", "old k", kOld);
    w.WriteFile("b/d/old/y", "y", kOld);
    w.WriteFile("b/d/z", "z", kOld);
    w.WriteFile("c/s/a", "a", kOld);
    w.WriteFile("c/d/a", "a", kOld);
    w.WriteFile("c/d/x1", "c x1", kOld);
    w.WriteFile("c/d/x2", "c x2", kOld);
    w.WriteFile("e/s/x1", "new x1", kNew);
    w.WriteFile("e/d/x1", "old x1", kOld);
    w.WriteFile("e/d/q", "q", kOld);
}

// Every entry of the tree with the contents of its files.
std::map<std::string, std::string> Snapshot(const TempTree& w) {
    std::map<std::string, std::string> out;
    for (const std::string& rel : w.List()) {
        out[rel] = rel.back() == '/' ? std::string() : w.ReadFile(rel);
    }
    return out;
}

// The lines with the tree's own folder written as "<w>/", so two trees can be compared.
std::vector<std::string> Normalised(const std::vector<std::string>& lines, const TempTree& w) {
    std::vector<std::string> out;
    for (std::string line : lines) {
        for (size_t at = line.find(w.root()); at != std::string::npos;
             at = line.find(w.root(), at)) {
            line.replace(at, w.root().size(), "<w>/");
        }
        out.push_back(line);
    }
    return out;
}

struct Job {
    const char* name;
    ExtraFileAction action;
    int64_t maxDelete;
};
const Job kJobs[] = {{"a", kActionMove, -1},
                     {"b", kActionMove, -1},
                     {"c", kActionDelete, 1},
                     {"e", kActionDelete, 1}};

TEST(RunSequence, JobsSharingAWorkerGiveTheLinesAndTreesOfSeparateWorkers) {
    TempTree alone;
    MakeTrees(alone);
    std::vector<std::string> aloneLines;
    for (const Job& job : kJobs) {
        EngineRig rig;
        rig.queue.m_nMaxDelete = job.maxDelete;
        const std::string n = job.name;
        rig.Run(alone.Path(n + "/s"), alone.Path(n + "/d"), job.action, alone.Path("a/d/old"));
        aloneLines.insert(aloneLines.end(), rig.recorder.lines.begin(), rig.recorder.lines.end());
    }

    TempTree shared;
    MakeTrees(shared);
    const int descriptors = OpenDescriptors();
    EngineRig rig;
    for (int run = 0; run < 2; ++run) {
        rig.queue.m_nMaxDelete = kJobs[2 * run].maxDelete;
        for (int j = 2 * run; j < 2 * run + 2; ++j) {
            const std::string n = kJobs[j].name;
            rig.queue.AddJob(shared.Path(n + "/s"), shared.Path(n + "/d"), 0);
        }
        rig.queue.StartRun(kJobs[2 * run].action, shared.Path("a/d/old"));
        rig.backup.OnRunJobs();
    }
    // No descriptor of a job or a run is still open once the run is over.
    EXPECT_EQ(OpenDescriptors(), descriptors);

    EXPECT_EQ(Normalised(rig.recorder.lines, shared), Normalised(aloneLines, alone));
    EXPECT_EQ(Snapshot(shared), Snapshot(alone));

    // What the separate runs did, so that the comparison above stands on the right trees.
    EXPECT_EQ(alone.ReadFile("a/d/old/old/y"), "y");
    EXPECT_EQ(alone.ReadFile("a/d/old/z"), "z");
    EXPECT_EQ(alone.ReadFile("c/d/x2"), "c x2");
    EXPECT_EQ(alone.List("e/d"), (std::set<std::string>{"x1"}));
    EXPECT_EQ(alone.ReadFile("e/d/x1"), "new x1");

    // A job whose destination is missing stops with its source already open; that is closed
    // too, so that an idle window keeps no source disk busy.
    rig.queue.AddJob(shared.Path("a/s"), shared.Path("not-mounted"), 0);
    rig.queue.StartRun(kActionDelete, "");
    rig.backup.OnRunJobs();
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_FALSE(shared.Exists("not-mounted"));
    // So is a job refused because its source is empty.
    shared.MakeDir("empty");
    const std::set<std::string> before = shared.List("e/d");
    rig.queue.AddJob(shared.Path("empty"), shared.Path("e/d"), 0);
    rig.queue.StartRun(kActionDelete, "");
    rig.backup.OnRunJobs();
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(shared.List("e/d"), before);
}

TEST(RunSequence, TheProgressRangeCountsTheFilesOfEveryJobWhateverComesBefore) {
    TempTree w;
    for (const char* dir : {"s1", "s2/sub", "s2/.hidden", "d2"}) {
        w.MakeDir(dir);
    }
    w.WriteFile("s2/a", "a");
    w.WriteFile("s2/sub/b", "b");
    w.WriteFile("s2/.hidden/c", "not looked into");
    w.WriteFile("d2/old", "o");
    EngineRig rig;
    rig.queue.AddJob(w.Path("missing"), w.Path("d1"), 0);  // neither side can be counted
    rig.queue.AddJob(w.Path("s1"), w.Path("d1"), 0);
    rig.queue.AddJob(w.Path("s2"), w.Path("d2"), 0);
    rig.queue.StartRun(kActionDelete, "");
    rig.backup.OnRunJobs();
    ASSERT_FALSE(rig.recorder.events.empty());
    EXPECT_EQ(rig.recorder.Range(), 3);  // a, sub/b and the destination's old
}

}  // namespace
}  // namespace tandrel
