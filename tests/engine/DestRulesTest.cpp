// A destination whose file system hides its type (exFAT through FUSE says "fuseblk") may match
// names ignoring case and keep coarse times without saying so. The run learns both from the
// destination itself, and never deletes or moves as extra what it has just written or entered.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "FailingFileSystem.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

using Op = FailingFileSystem::Op;

constexpr int64_t kSec = 1000000000;
constexpr int64_t kOld = 1000 * kSec;
constexpr int64_t kNew = 2000 * kSec;

class DestRulesRun : public ::testing::Test {
  protected:
    DestRulesRun() {
        t.MakeDir("s");
        t.MakeDir("d");
        t.MakeDir("r");
    }
    std::string S(const std::string& rel = "") { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") { return t.Path("d/" + rel); }
    std::string Copy(const std::string& rel) { return " Copy: " + S(rel) + " => " + D(rel); }

    TempTree t;
};

class SilentCaseBlind : public DestRulesRun,
                        public ::testing::WithParamInterface<ExtraFileAction> {};

TEST_P(SilentCaseBlind, NewerSourceReplacesTheOldFileAndNothingIsLost) {
    t.WriteFile("s/Report.txt", "new report", kNew);
    t.WriteFile("d/REPORT.TXT", "old report", kOld);
    t.MakeDir("s/Docs");
    t.WriteFile("s/Docs/a.txt", "new a", kNew);
    t.MakeDir("d/DOCS");
    t.WriteFile("d/DOCS/A.TXT", "old a", kOld);
    t.WriteFile("d/DOCS/gone.txt", "gone", kOld);

    FailingFileSystem fs;
    fs.SimulateVolume(VolumeInfo{true, 1}, /*reported=*/false);
    EngineRig rig(fs);
    rig.Run(S(), D(), GetParam(), t.Path("r"));

    EXPECT_EQ(t.List("d"), (std::set<std::string>{"DOCS/", "DOCS/A.TXT", "REPORT.TXT"}));
    EXPECT_EQ(t.ReadFile("d/REPORT.TXT"), "new report");
    EXPECT_EQ(t.ReadFile("d/DOCS/A.TXT"), "new a");
    const std::vector<std::string> lines = rig.recorder.ActionLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], Copy("Report.txt"));
    EXPECT_EQ(lines[1], Copy("Docs/a.txt"));
    EXPECT_NE(lines[2].find(D("Docs/gone.txt")), std::string::npos);  // as the source spells it
    EXPECT_EQ(lines[2].front(), ' ');
    if (GetParam() == kActionMove) {
        EXPECT_EQ(t.List("r"), (std::set<std::string>{"Docs/", "Docs/gone.txt"}));
    }

    EngineRig again(fs);
    again.Run(S(), D(), GetParam(), t.Path("r"));
    EXPECT_TRUE(again.recorder.ActionLines().empty());
}

// A newer destination file under another case is a match, and is left alone; also where the
// volume's own dot files are listed first.
TEST_P(SilentCaseBlind, NewerDestinationFileUnderAnotherCaseIsKept) {
    t.WriteFile("s/notes.md", "older", kOld);
    t.WriteFile("d/Notes.MD", "newer", kNew);
    t.WriteFile("d/.Trashes", "");
    FailingFileSystem fs;
    fs.SimulateVolume(VolumeInfo{true, 1}, /*reported=*/false);
    EngineRig rig(fs);
    rig.Run(S(), D(), GetParam(), t.Path("r"));
    EXPECT_TRUE(rig.recorder.ActionLines().empty());
    EXPECT_EQ(t.ReadFile("d/Notes.MD"), "newer");
}

// When the volume cannot be asked (the lookups fail), what the walk wrote or entered is still
// never taken for extra: it is the same file or directory as the entry listed under the other
// case.
TEST_P(SilentCaseBlind, WhatTheWalkWroteIsNeverExtraEvenWhenTheProbeFails) {
    t.WriteFile("s/Report.txt", "new report", kNew);
    t.WriteFile("d/REPORT.TXT", "old report", kOld);
    t.MakeDir("s/Docs");
    t.WriteFile("s/Docs/123", "new digits", kNew);
    t.MakeDir("d/DOCS");
    t.WriteFile("d/DOCS/123", "old digits", kOld);
    t.WriteFile("s/Docs/same", "same", kOld);  // up to date, so neither written nor extra
    t.WriteFile("d/DOCS/same", "same", kOld);
    t.WriteFile("d/extra", "x", kOld);

    FailingFileSystem fs;
    fs.SimulateVolume(VolumeInfo{true, 1}, /*reported=*/false);
    for (const char* name : {"d/DOCS", "d/REPORT.TXT", "d/extra"}) {
        fs.FailOn(Op::kStat, name, Status::Code::kIoError, "injected", 1);
    }
    EngineRig rig(fs);
    rig.Run(S(), D(), GetParam(), t.Path("r"));

    EXPECT_EQ(t.List("d"), (std::set<std::string>{"DOCS/", "DOCS/123", "DOCS/same", "REPORT.TXT"}));
    EXPECT_EQ(t.ReadFile("d/REPORT.TXT"), "new report");
    EXPECT_EQ(t.ReadFile("d/DOCS/123"), "new digits");
    const std::vector<std::string> lines = rig.recorder.ActionLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], Copy("Report.txt"));
    EXPECT_EQ(lines[1], Copy("Docs/123"));
    EXPECT_NE(lines[2].find(D("extra")), std::string::npos);
}

// A volume that tells case apart but cannot be asked is taken at its word: a name differing only
// in case is another file, so the source's file is written, not skipped as already there.
TEST_F(DestRulesRun, AVolumeThatCannotBeAskedIsTakenAtItsWord) {
    t.WriteFile("s/Report.txt", "report", kOld);
    t.WriteFile("d/REPORT.TXT", "other report", kOld);
    FailingFileSystem fs;
    fs.FailOn(Op::kStat, "d/REPORT.TXT", Status::Code::kIoError, "injected", 1);
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(t.List("d"), std::set<std::string>{"Report.txt"});
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{Copy("Report.txt"), " Delete: " + D("REPORT.TXT")}));
}

INSTANTIATE_TEST_SUITE_P(DeleteAndMove, SilentCaseBlind,
                         ::testing::Values(kActionDelete, kActionMove));

// An extra hard link of a matched file is still extra: only what the walk wrote or entered
// under a spelling the destination did not list is protected.
TEST_F(DestRulesRun, ExtraHardLinkOfAMatchedFileIsDeleted) {
    t.WriteFile("s/a", "same", kOld);
    t.WriteFile("d/a", "same", kOld);
    ASSERT_EQ(link(D("a").c_str(), D("b").c_str()), 0);
    EngineRig rig;
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(rig.recorder.ActionLines(), std::vector<std::string>{" Delete: " + D("b")});
    EXPECT_EQ(t.List("d"), std::set<std::string>{"a"});
}

// Names without letters say nothing about case, and a volume found to tell case apart is not
// asked again: below a top level named only by digits and a folder that settles the question,
// names that differ in case stay different files, and nothing that matches exactly is lost.
TEST_F(DestRulesRun, AVolumeThatTellsCaseApartDoesSoInEveryDirectory) {
    t.MakeDir("s/2024/pics");
    t.MakeDir("d/2024/pics");
    std::set<std::string> kept = {"2024/", "2024/pics/"};
    std::vector<std::string> deleted;
    for (char c = 'a'; c <= 'h'; ++c) {
        const std::string lower = std::string("2024/pics/") + c;
        const std::string upper = std::string("2024/pics/") + static_cast<char>(c - 'a' + 'A');
        t.WriteFile("s/" + lower, "same", kOld);
        t.WriteFile("d/" + lower, "same", kOld);
        t.WriteFile("d/" + upper, "other", kOld);
        kept.insert(lower);
        deleted.push_back(" Delete: " + D(upper));
    }
    EngineRig rig;
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(t.List("d"), kept);
    std::vector<std::string> lines = rig.recorder.ActionLines();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, deleted);
}

// The case rule is asked of each destination volume once per job, not of every directory.
TEST_F(DestRulesRun, CaseRuleIsProbedOncePerVolume) {
    for (const char* dir : {"Sub1", "Sub2", "Sub3"}) {
        t.MakeDir(std::string("s/") + dir);
        t.MakeDir(std::string("d/") + dir);
        t.WriteFile(std::string("s/") + dir + "/beta", "b", kOld);
        t.WriteFile(std::string("d/") + dir + "/beta", "b", kOld);
    }
    t.WriteFile("s/alpha", "a", kOld);
    t.WriteFile("d/alpha", "a", kOld);
    FailingFileSystem fs;
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionDelete);
    EXPECT_TRUE(rig.recorder.ActionLines().empty());

    int probes = 0;
    for (const FailingFileSystem::Call& call : fs.Calls()) {
        for (const char* variant : {"sUB1", "sUB2", "sUB3", "ALPHA", "BETA"}) {
            if (call.op == Op::kStat && call.path.find(variant) != std::string::npos) {
                ++probes;
            }
        }
    }
    EXPECT_EQ(probes, 1);
}

class SilentTimeStep : public DestRulesRun, public ::testing::WithParamInterface<int64_t> {};

TEST_P(SilentTimeStep, SecondRunCopiesNothing) {
    const int64_t step = GetParam();
    t.WriteFile("s/a", "a", kNew + 123456789);
    t.WriteFile("s/b", "b", kNew + 1500000001);
    t.WriteFile("s/c", "c", kNew + 999999999);
    t.MakeDir("s/sub");
    t.WriteFile("s/sub/e", "e", kNew + 7);

    FailingFileSystem fs;
    fs.SimulateVolume(VolumeInfo{false, step}, /*reported=*/false);
    EngineRig first(fs);
    first.Run(S(), D(), kActionDelete);
    ASSERT_EQ(first.recorder.ActionLines().size(), 4u);
    ASSERT_NE(t.Mtime("d/a"), t.Mtime("s/a"));  // the volume did cut the times

    EngineRig second(fs);
    second.Run(S(), D(), kActionDelete);
    EXPECT_TRUE(second.recorder.ActionLines().empty());

    // A source changed by more than a step is copied again.
    t.SetMtime("s/b", t.Mtime("d/b") + step + 1);
    EngineRig third(fs);
    third.Run(S(), D(), kActionDelete);
    EXPECT_EQ(third.recorder.ActionLines(), std::vector<std::string>{Copy("b")});
}

INSTANTIATE_TEST_SUITE_P(Steps, SilentTimeStep,
                         ::testing::Values(int64_t{10000000}, kSec, 2 * kSec));

// A destination file that is simply older is copied over, also when it is older by less than
// a coarse step and its time happens to fall on a whole step.
TEST_F(DestRulesRun, SimplyOlderFilesAreStillCopied) {
    t.WriteFile("s/1", "1", kNew + 123456789);
    t.WriteFile("d/1", "old", kNew + 122456789);  // a millisecond older, fine time
    t.WriteFile("s/2", "2", kNew + 123456789);
    t.WriteFile("d/2", "old", kNew + 120000000);  // looks cut to 10 ms, but the volume is finer
    t.WriteFile("s/3", "3", kNew + 1500000000);
    t.WriteFile("d/3", "old", kNew);
    t.WriteFile("s/4", "4", kNew + 700000000);
    t.WriteFile("d/4", "old", kNew + 200000000);  // within a second, not a cut-down time

    EngineRig rig;
    rig.Run(S(), D(), kActionKeep);
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{Copy("1"), Copy("2"), Copy("3"), Copy("4")}));
}

TEST_F(DestRulesRun, LoneOlderFileNotOnACutDownTimeIsCopied) {
    t.WriteFile("s/x", "new", kNew + 500000007);
    t.WriteFile("d/x", "old", kNew + 200000000);
    EngineRig rig;
    rig.Run(S(), D(), kActionKeep);
    EXPECT_EQ(rig.recorder.ActionLines(), std::vector<std::string>{Copy("x")});
}

// A volume that keeps whole seconds shows only even times now and then; that alone never makes
// it a two-second volume. A source changed within the next second after its copy is copied
// again unless the volume itself shows, on a file the run writes, that it keeps two seconds.
struct StepCase {
    const char* name;
    int64_t volumeStep;  // as the volume keeps times, without saying so
    bool probeFails;     // the run cannot write its probe there
    int64_t changedTo;   // the source's time for the second run
    bool copied;         // whether the second run copies it
};

class TimeStepEvidence : public DestRulesRun, public ::testing::WithParamInterface<StepCase> {};

TEST_P(TimeStepEvidence, ACoarseStepIsTakenOnlyFromTheVolumeItself) {
    const StepCase& c = GetParam();
    t.WriteFile("s/f", "first", kNew + 300000000);  // ...00.3 s, kept as ...00 s
    FailingFileSystem fs;
    fs.SimulateVolume(VolumeInfo{false, c.volumeStep}, /*reported=*/false);
    if (c.probeFails) {
        fs.FailOn(Op::kProbeTime, "/d");
    }
    EngineRig first(fs);
    first.Run(S(), D(), kActionKeep);
    ASSERT_EQ(first.recorder.ActionLines(), std::vector<std::string>{Copy("f")});
    ASSERT_EQ(t.Mtime("d/f"), kNew);

    t.WriteFile("s/f", "second", c.changedTo);
    EngineRig second(fs);
    second.Run(S(), D(), kActionKeep);
    EXPECT_EQ(second.recorder.ActionLines(),
              c.copied ? std::vector<std::string>{Copy("f")} : std::vector<std::string>{});
    EXPECT_EQ(t.ReadFile("d/f"), c.copied ? "second" : "first");
    // The probe is written once per job at most, and nothing of it stays behind.
    EXPECT_LE(fs.CallCount(Op::kProbeTime), 2);
    EXPECT_EQ(t.List("d"), std::set<std::string>{"f"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeStepEvidence,
    ::testing::Values(
        StepCase{"WholeSecondsChangedInTheNextSecond", kSec, false, kNew + 1600000000, true},
        StepCase{"WholeSecondsChangedWithinTheSecond", kSec, false, kNew + 900000000, false},
        StepCase{"TwoSecondsChangedWithinTheStep", 2 * kSec, false, kNew + 1600000000, false},
        StepCase{"TwoSecondsChangedPastTheStep", 2 * kSec, false, kNew + 2100000000, true},
        // Without the volume's word the finer step is used: a needless copy, never a lost one.
        StepCase{"TwoSecondsUnprobed", 2 * kSec, true, kNew + 1600000000, true}),
    [](const ::testing::TestParamInfo<StepCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tandrel
