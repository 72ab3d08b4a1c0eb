#include <gtest/gtest.h>

#include "FailingFileSystem.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

constexpr int64_t kSec = 1000000000;
constexpr int64_t kOld = 1000 * kSec;
constexpr int64_t kNew = 2000 * kSec;

class Mirror : public ::testing::Test {
  protected:
    Mirror() {
        t.MakeDir("s");
        t.MakeDir("d");
    }
    std::string S(const std::string& rel = "") { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") { return t.Path("d/" + rel); }
    std::string R(const std::string& rel = "") { return t.Path("r/" + rel); }
    std::string Copy(const std::string& rel) { return " Copy: " + S(rel) + " => " + D(rel); }
    std::string Del(const std::string& rel) { return " Delete: " + D(rel); }

    TempTree t;
};

TEST_F(Mirror, DeleteJobGivesTheLinesInOrderAndCountsEveryFile) {
    t.WriteFile("s/a.txt", "new a", kNew);
    t.MakeDir("s/sub");
    t.WriteFile("s/sub/b.txt", "b", kNew);
    t.WriteFile("d/a.txt", "old a", kOld);
    t.WriteFile("d/old.txt", "old", kOld);
    t.MakeDir("d/sub");
    t.MakeDir("d/gone");
    t.WriteFile("d/gone/c.txt", "c", kOld);

    EngineRig rig;
    rig.Run(S(), D(), kActionDelete);

    const std::string header = CBackup::FormatHeader(920297109);
    ASSERT_EQ(rig.recorder.lines.size(), 6u);
    EXPECT_EQ(rig.recorder.lines.front(), header);
    EXPECT_EQ(rig.recorder.lines.back(), std::string(127, '-'));
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{Copy("a.txt"), Copy("sub/b.txt"), Del("old.txt"),
                                        Del("gone/c.txt")}));
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"a.txt", "sub/", "sub/b.txt"}));
    EXPECT_EQ(t.ReadFile("d/a.txt"), "new a");
    EXPECT_EQ(t.Mtime("d/a.txt"), kNew);

    // The sources being counted beside the walk, then range 5 (2 source files, 3 destination
    // files), five steps, then reset and the notice.
    const auto& ev = rig.recorder.events;
    ASSERT_GE(ev.size(), 3u);
    EXPECT_EQ(ev.front().kind, 'r');
    EXPECT_EQ(ev.front().value, IRunMonitor::kCounting);
    EXPECT_EQ(rig.recorder.Range(), 5);
    EXPECT_EQ(rig.recorder.MaxPos(), 5);
    EXPECT_EQ(ev[ev.size() - 2].kind, 'p');
    EXPECT_EQ(ev[ev.size() - 2].value, 0);
    EXPECT_EQ(ev.back().kind, 'd');
}

TEST_F(Mirror, MoveKeepsRelativePathsInTheRecycleDirectory) {
    t.MakeDir("d/a/b");
    t.WriteFile("d/a/b/c.txt", "extra");
    t.MakeDir("d/empty");
    t.MakeDir("r/a/b");
    t.WriteFile("r/a/b/c.txt", "previous");

    EngineRig rig;
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    // The file already there stays; the moved one goes beside it.
    EXPECT_EQ(rig.recorder.ActionLines(),
              std::vector<std::string>{" Move: " + D("a/b/c.txt") + " => " + R("a/b/c.txt.~1~")});
    EXPECT_EQ(t.ReadFile("r/a/b/c.txt"), "previous");
    EXPECT_EQ(t.ReadFile("r/a/b/c.txt.~1~"), "extra");
    EXPECT_EQ(t.List("d"), std::set<std::string>{});
    EXPECT_EQ(t.List("r"), (std::set<std::string>{"a/", "a/b/", "a/b/c.txt", "a/b/c.txt.~1~"}));
}

TEST_F(Mirror, MoveCreatesTheRecycleLevelsAndFailsWithoutARecycleRoot) {
    t.MakeDir("d/x/y");
    t.WriteFile("d/x/y/f", "f");
    t.MakeDir("r");
    EngineRig rig;
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    EXPECT_EQ(t.List("r"), (std::set<std::string>{"x/", "x/y/", "x/y/f"}));

    t.WriteFile("d/g", "g");
    EngineRig missing;
    missing.Run(S(), D(), kActionMove, t.Path("nowhere"));
    EXPECT_EQ(missing.recorder.ActionLines(),
              std::vector<std::string>{
                  "!Move: " + D("g") + " => " + t.Path("nowhere/g") +
                  " (the recycle directory cannot be opened: No such file or directory)"});
    EXPECT_TRUE(t.Exists("d/g"));
    EXPECT_FALSE(t.Exists("nowhere"));

    // Without any recycle directory nothing is moved anywhere.
    EngineRig empty;
    empty.Run(S(), D(), kActionMove, "");
    EXPECT_EQ(
        empty.recorder.ActionLines(),
        std::vector<std::string>{"!Move: " + D("g") + " => g (there is no recycle directory)"});
    EXPECT_TRUE(t.Exists("d/g"));
}

TEST_F(Mirror, CopiesOnlyWhatIsMissingOrOlderAndLeavesDotEntriesAlone) {
    t.WriteFile("s/same", "s", kOld);
    t.WriteFile("d/same", "d", kOld);
    t.WriteFile("s/dstnewer", "s", kOld);
    t.WriteFile("d/dstnewer", "d", kNew);
    t.WriteFile("s/.hidden", "h");
    t.WriteFile("d/.dotextra", "x");
    t.MakeDir("s/.git");
    t.WriteFile("s/.git/config", "c");
    t.MakeDir("s/emptydir");
    t.WriteFile("s/ro", "fresh", kNew, 0444);
    t.WriteFile("d/ro", "stale", kOld, 0444);

    EngineRig rig;
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(rig.recorder.ActionLines(), std::vector<std::string>{Copy("ro")});
    EXPECT_EQ(t.ReadFile("d/same"), "d");
    EXPECT_EQ(t.ReadFile("d/dstnewer"), "d");
    EXPECT_EQ(t.ReadFile("d/ro"), "fresh");
    EXPECT_EQ(t.Mode("d/ro"), 0444u);
    EXPECT_EQ(t.List("d"),
              (std::set<std::string>{".dotextra", "dstnewer", "emptydir/", "ro", "same"}));
    // Steps: 3 source files matched (two steps each with Delete); the range counts dot files too.
    EXPECT_EQ(rig.recorder.MaxPos(), 6);
    EXPECT_EQ(rig.recorder.Range(), 8);

    // A second run finds nothing to do.
    EngineRig again;
    again.Run(S(), D(), kActionDelete);
    EXPECT_TRUE(again.recorder.ActionLines().empty());
    EXPECT_EQ(again.recorder.lines.size(), 2u);
}

// Directories this large are read on two threads, with the times taken from the listings; each
// file must still be compared with its own counterpart, to the nanosecond and before 1970.
TEST_F(Mirror, LargeDirectoriesCopyExactlyTheFilesThatAreMissingOrOlder) {
    const int64_t times[] = {kNew, -kNew, kNew + 1, 0};
    std::vector<std::string> copies;
    std::vector<std::string> deletes;
    t.MakeDir("s/sub");
    t.MakeDir("d/sub");
    for (const std::string dir : {"", "sub/"}) {
        for (int i = 0; i < 40; ++i) {
            const std::string rel = dir + "f" + std::to_string(100 + i);
            const int64_t time = times[i % 4];
            t.WriteFile("s/" + rel, "s", time);
            switch (i % 5) {
                case 0:  // older by a nanosecond
                    t.WriteFile("d/" + rel, "d", time - 1);
                    copies.push_back(Copy(rel));
                    break;
                case 1:  // newer by a nanosecond
                    t.WriteFile("d/" + rel, "d", time + 1);
                    break;
                case 2:
                    t.WriteFile("d/" + rel, "d", time);
                    break;
                case 3:
                    copies.push_back(Copy(rel));
                    break;
                case 4:  // a link where the source has a file: older, so replaced
                    t.MakeLink("d/" + rel, "elsewhere");
                    t.SetMtime("d/" + rel, time - kSec);
                    copies.push_back(Copy(rel));
                    break;
            }
        }
        t.WriteFile("d/" + dir + "g-extra", "x");
        deletes.push_back(Del(dir + "g-extra"));
    }
    copies.insert(copies.end(), deletes.begin(), deletes.end());

    EngineRig rig;
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(rig.recorder.ActionLines(), copies);
    EngineRig again;
    again.Run(S(), D(), kActionDelete);
    EXPECT_TRUE(again.recorder.ActionLines().empty());
    EXPECT_EQ(t.Mtime("d/sub/f100"), kNew);
    EXPECT_EQ(t.ReadFile("d/sub/f101"), "d");
}

TEST_F(Mirror, KeepLeavesExtraEntriesAloneAndCountsSourceFilesOnly) {
    t.WriteFile("s/a", "a");
    t.WriteFile("d/extra", "x");
    t.MakeDir("d/extradir/deeper");
    t.WriteFile("d/extradir/deeper/f", "f");
    EngineRig rig;
    rig.Run(S(), D(), kActionKeep);
    EXPECT_EQ(rig.recorder.ActionLines(), std::vector<std::string>{Copy("a")});
    EXPECT_TRUE(t.Exists("d/extra"));
    EXPECT_TRUE(t.Exists("d/extradir/deeper/f"));
    EXPECT_EQ(rig.recorder.Range(), 1);
}

TEST_F(Mirror, EntriesOfTheOtherKindAreReplacedOnTheNextRunWithDelete) {
    t.WriteFile("s/x", "file");
    t.MakeDir("d/x");
    t.WriteFile("d/x/inner", "i");
    t.MakeDir("s/y");
    t.WriteFile("s/y/f", "f");
    t.WriteFile("d/y", "a file where a directory belongs");

    EngineRig first;
    first.Run(S(), D(), kActionDelete);
    EXPECT_EQ(
        first.recorder.ActionLines(),
        (std::vector<std::string>{
            "!Copy: " + S("x") + " => " + D("x") + " (is a directory; not replaced by a file)",
            "!Copy: " + S("y/f") + " => " + D("y/f") + " (" + D("y") + ": Not a directory)",
            Del("y"), Del("x/inner")}));
    EXPECT_EQ(t.List("d"), std::set<std::string>{});

    EngineRig second;
    second.Run(S(), D(), kActionDelete);
    EXPECT_EQ(second.recorder.ActionLines(), (std::vector<std::string>{Copy("x"), Copy("y/f")}));
    EXPECT_EQ(t.ReadFile("d/x"), "file");
}

TEST_F(Mirror, DeleteRemovesExtraTreesDeepestFirstButKeepsWhatCouldNotGo) {
    t.MakeDir("d/a/b");
    t.WriteFile("d/a/f1", "1");
    t.WriteFile("d/a/b/f2", "2");
    t.MakeDir("d/k/l");
    t.WriteFile("d/k/l/.keep", "dot files are never touched");

    FailingFileSystem fs;
    fs.FailOn(FailingFileSystem::Op::kDeleteFile, "/d/a/f1");
    EngineRig rig(fs);
    rig.queue.m_bAllowEmptySource = true;  // the source holds nothing on purpose
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(
        rig.recorder.ActionLines(),
        (std::vector<std::string>{"!Delete: " + D("a/f1") + " (injected failure)", Del("a/b/f2")}));
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"a/", "a/f1", "k/", "k/l/", "k/l/.keep"}));
}

TEST_F(Mirror, RunOfTwoJobsFramesEachJob) {
    t.MakeDir("s2");
    t.MakeDir("d2");
    t.WriteFile("s2/f", "f");
    EngineRig rig;
    rig.queue.AddJob(S(), D(), 0);
    rig.queue.AddJob(t.Path("s2"), t.Path("d2"), 0);
    rig.queue.StartRun(kActionKeep, "");
    rig.backup.OnRunJobs();
    const std::string header = CBackup::FormatHeader(920297109);
    const std::string sep(127, '-');
    EXPECT_EQ(rig.recorder.lines,
              (std::vector<std::string>{
                  header, sep, header, " Copy: " + t.Path("s2/f") + " => " + t.Path("d2/f"), sep}));
    EXPECT_EQ(rig.queue.GetJobCount(), 0);
}

TEST_F(Mirror, EmptyQueueOnlyResetsTheBarAndPostsTheNotice) {
    EngineRig rig;
    rig.queue.StartRun(kActionDelete, "");
    rig.backup.OnRunJobs();
    EXPECT_TRUE(rig.recorder.lines.empty());
    ASSERT_EQ(rig.recorder.events.size(), 3u);
    EXPECT_EQ(rig.recorder.events[0].value, 0);
    EXPECT_EQ(rig.recorder.events[2].kind, 'd');
}

TEST_F(Mirror, NamesDifferingInCaseAreDifferentFilesWhereTheFileSystemTellsThemApart) {
    t.WriteFile("s/Readme.TXT", "new", kNew);
    t.WriteFile("d/README.txt", "other", kOld);
    EngineRig rig;
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{Copy("Readme.TXT"), Del("README.txt")}));
    EXPECT_EQ(t.List("d"), std::set<std::string>{"Readme.TXT"});
}

TEST_F(Mirror, CaseBlindVolumeMatchesNamesAndComparesAtItsTimeStep) {
    t.WriteFile("s/Readme.TXT", "same", 10 * kSec + 500000000);  // 10.5 s
    t.WriteFile("d/README.txt", "same", 10 * kSec);              // as FAT keeps it
    t.MakeDir("s/Sub");
    t.WriteFile("s/Sub/new", "n", kNew);
    t.MakeDir("d/SUB");
    t.WriteFile("s/later", "l", 13 * kSec);
    t.WriteFile("d/LATER", "l", 10 * kSec);

    FailingFileSystem fs;
    fs.SimulateVolume(FailingFileSystem::FatVolume());
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{Copy("later"), Copy("Sub/new")}));
    EXPECT_EQ(t.ReadFile("d/README.txt"), "same");
    EXPECT_EQ(t.ReadFile("d/LATER"), "l");
    EXPECT_TRUE(t.Exists("d/SUB/new"));

    // The copies carry times the volume cut to two seconds; the next run copies nothing.
    EngineRig again(fs);
    again.Run(S(), D(), kActionDelete);
    EXPECT_TRUE(again.recorder.ActionLines().empty());
}

}  // namespace
}  // namespace tandrel
