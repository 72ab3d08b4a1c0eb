#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CJobQueue.h"
#include "DestFileTable.h"
#include "DestIndex.h"
#include "JobCheck.h"
#include "ResourceIds.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

TEST(JobQueue, QueuesJobsInOrderWithOneTrailingSlash) {
    CJobQueue q;
    q.AddJob("/src", "/dst/", 0);
    q.AddJob("/a/", "/b", 7);
    q.AddJob("rel", "x", 0);
    EXPECT_EQ(q.GetJobCount(), 3);

    std::string s, d;
    int flag = -1;
    ASSERT_EQ(q.GetNextJob(&s, &d, &flag), 1);
    EXPECT_EQ(s, "/src/");
    EXPECT_EQ(d, "/dst/");
    ASSERT_EQ(q.GetNextJob(&s, &d, &flag), 1);
    EXPECT_EQ(s, "/a/");
    EXPECT_EQ(d, "/b/");
    EXPECT_EQ(flag, 7);
    ASSERT_EQ(q.GetNextJob(&s, &d, &flag), 1);
    EXPECT_EQ(s, "rel/");
    EXPECT_EQ(q.GetJobCount(), 0);

    s = "unchanged";
    EXPECT_EQ(q.GetNextJob(&s, &d, &flag), 0);
    EXPECT_EQ(s, "unchanged");
}

TEST(JobQueue, StartRunStoresSettingsAndKeepsAnEmptyRecycleEmpty) {
    CJobQueue q;
    EXPECT_FALSE(q.StartRun(kActionMove, "/bin"));  // no worker to post to
    EXPECT_TRUE(q.m_bRunning);
    EXPECT_EQ(q.m_nRunAction, kActionMove);
    EXPECT_EQ(q.m_strRecycleDir, "/bin/");
    q.StartRun(kActionDelete, "");
    EXPECT_EQ(q.m_strRecycleDir, "");

    CBackup worker(q);
    q.m_pThread = &worker;
    EXPECT_FALSE(q.StartRun(kActionKeep, ""));  // thread not started yet
    worker.Start();
    RunRecorder rec;
    q.m_pSheet = &rec;
    EXPECT_TRUE(q.StartRun(kActionKeep, ""));
    worker.Stop();
}

TEST(RunHeader, HasTheFixedLayout) {
    const std::string header = CBackup::FormatHeader(920297109);
    EXPECT_EQ(header, "(Mon Mar 01 14:05:09 1999) " + std::string(100, '-'));
    EXPECT_EQ(header.size(), 127u);
}

TEST(DirectoryCheck, TellsEmptyFromMissingAndAcceptsTrailingSlash) {
    TempTree t;
    t.WriteFile("file", "x");
    t.MakeDir("dir");
    t.MakeLink("link", "dir");
    EXPECT_EQ(CJobQueue::CheckDirectory(""), 1);
    EXPECT_EQ(CJobQueue::CheckDirectory(t.Path("dir")), 0);
    EXPECT_EQ(CJobQueue::CheckDirectory(t.Path("dir/")), 0);
    EXPECT_EQ(CJobQueue::CheckDirectory(t.Path("link")), 0);  // a root may be a link
    EXPECT_EQ(CJobQueue::CheckDirectory("/"), 0);
    EXPECT_EQ(CJobQueue::CheckDirectory(t.Path("missing")), 2);
    EXPECT_EQ(CJobQueue::CheckDirectory(t.Path("file")), 2);
    EXPECT_EQ(CJobQueue::DirectoryErrorText(kDirNameEmpty, IDS_FIELD_FROM),
              "Error: Directory name of 'From' is empty...");
    EXPECT_EQ(CJobQueue::DirectoryErrorText(kDirNotFound, IDS_FIELD_RECYCLE),
              "Error: Directory name of 'Recycle' not found...");
}

TEST(JobCheck, RefusesOverlappingTrees) {
    TempTree t;
    t.MakeDir("src/inner");
    t.MakeDir("dst/bin");
    t.MakeDir("other");
    t.MakeLink("alias", "src");
    const std::string src = t.Path("src/"), dst = t.Path("dst/");

    EXPECT_TRUE(CheckJobPaths(src, dst, kActionMove, t.Path("other")).ok());
    EXPECT_TRUE(CheckJobPaths(src, dst, kActionMove, t.Path("dst/bin")).ok());
    EXPECT_TRUE(CheckJobPaths(src, dst, kActionKeep, t.Path("src")).ok());  // recycle unused

    EXPECT_FALSE(CheckJobPaths("", dst, kActionKeep, "").ok());
    EXPECT_FALSE(CheckJobPaths(src, "", kActionKeep, "").ok());
    EXPECT_FALSE(CheckJobPaths(src, src, kActionKeep, "").ok());
    EXPECT_FALSE(CheckJobPaths(src, t.Path("alias/"), kActionKeep, "").ok());  // same via link
    EXPECT_FALSE(CheckJobPaths(src, t.Path("src/inner/"), kActionKeep, "").ok());
    EXPECT_FALSE(CheckJobPaths(src, t.Path("src/new/deeper"), kActionKeep, "").ok());
    EXPECT_FALSE(CheckJobPaths(t.Path("src/inner"), src, kActionKeep, "").ok());
    EXPECT_FALSE(CheckJobPaths(src, t.Path("src/../src/./"), kActionKeep, "").ok());
    EXPECT_FALSE(CheckJobPaths(src, dst, kActionMove, t.Path("src/inner")).ok());
    EXPECT_FALSE(CheckJobPaths(src, dst, kActionMove, src).ok());
    EXPECT_FALSE(CheckJobPaths(src, dst, kActionMove, dst).ok());
    EXPECT_FALSE(CheckJobPaths(src, t.Path("other/d"), kActionMove, t.Path("other")).ok());
    const Status s = CheckJobPaths(src, t.Path("src/inner"), kActionKeep, "");
    EXPECT_EQ(s.reason(), "Directory 'To' is or lies inside 'From'");
    EXPECT_EQ(JobCheckMessage(s), "Error: Directory 'To' is or lies inside 'From'...");
}

TEST(DestIndex, FindsTheFirstMatchInListOrder) {
    DestIndex exact;
    exact.PushBack("Readme.TXT", EntryKind::kFile);
    exact.PushBack("README.txt", EntryKind::kLink);
    exact.PushBack("b", EntryKind::kFile);
    EXPECT_FALSE(exact.RemoveMatch("readme.txt"));
    EXPECT_TRUE(exact.RemoveMatch("README.txt"));
    EXPECT_EQ(exact.Size(), 2u);
    EXPECT_EQ(exact.PopFront().rel, "Readme.TXT");
    EXPECT_EQ(exact.PopFront().rel, "b");
    EXPECT_TRUE(exact.Empty());

    DestIndex folded;
    folded.SetCaseInsensitive(true);
    folded.PushBack("x/A.txt", EntryKind::kFile);
    folded.PushBack("x/a.txt", EntryKind::kFile);
    folded.PushBack("y", EntryKind::kFile);
    EXPECT_TRUE(folded.RemoveMatch("X/a.TXT"));  // the first in list order goes
    EXPECT_EQ(folded.PopFront().rel, "x/a.txt");
    EXPECT_FALSE(folded.RemoveMatch("x/a.txt"));  // both gone now
    EXPECT_TRUE(folded.RemoveMatch("Y"));
    EXPECT_TRUE(folded.Empty());
}

// The destination files of one directory: a match is the first equal entry not yet matched in
// listing order, exactly or ignoring ASCII case; what was not added is never matched; what is
// left unmatched comes out in listing order.
TEST(DestFileTable, MatchesTheFirstEqualEntryInListingOrder) {
    struct Case {
        bool folded;
        std::vector<std::string> asked;
        std::vector<std::string> matched;  // the listed name each question found ("" none)
        std::vector<std::string> left;
    };
    // Listed (in this order): "Readme.TXT", "README.txt", "b", "skipped", "x\xe9", "y".
    const std::vector<Case> cases = {
        {false,
         {"readme.txt", "README.txt", "README.txt", "skipped", "x\xe9"},
         {"", "README.txt", "", "", "x\xe9"},
         {"Readme.TXT", "b", "y"}},
        {true,
         {"readme.txt", "README.TXT", "README.TXT", "B", "X\xe9", "x\xc9"},
         {"Readme.TXT", "README.txt", "", "b", "x\xe9", ""},
         {"y"}},
        {true, {}, {}, {"Readme.TXT", "README.txt", "b", "x\xe9", "y"}},
    };
    DestFileTable table;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.asked));
        table.Reset();
        table.SetCaseInsensitive(c.folded);
        for (const char* name : {"Readme.TXT", "README.txt", "b", "skipped", "x\xe9", "y"}) {
            ASSERT_TRUE(table.Listing().Add(name, EntryKind::kFile));
        }
        table.Listing().SetTime(1, 42);
        for (size_t i : {0, 1, 2, 4, 5}) {
            table.Add(i);
        }
        for (size_t q = 0; q < c.asked.size(); ++q) {
            EntryKind kind = EntryKind::kOther;
            std::optional<int64_t> time;
            const bool found = table.Match(c.asked[q], &kind, &time);
            EXPECT_EQ(found, !c.matched[q].empty()) << c.asked[q];
            if (found) {
                EXPECT_EQ(kind, EntryKind::kFile);
                EXPECT_EQ(time.has_value(), c.matched[q] == "README.txt") << c.asked[q];
            }
        }
        std::vector<std::string> left;
        table.ForEachUnmatched(
            [&](size_t i) { left.push_back(std::string(table.Listing().Name(i))); });
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(table.Unmatched(), c.left.size());
    }
}

// Many names in one table, each matched once under either rule, whatever their hashes share.
TEST(DestFileTable, FindsEveryNameOfALargeDirectoryOnce) {
    for (const bool folded : {false, true}) {
        DestFileTable table;
        table.SetCaseInsensitive(folded);
        constexpr size_t kNames = 5000;
        for (size_t i = 0; i < kNames; ++i) {
            ASSERT_TRUE(table.Listing().Add("n" + std::to_string(i), EntryKind::kLink));
        }
        table.Listing().SortByName();
        for (size_t i = 0; i < kNames; ++i) {
            table.Add(i);
        }
        EntryKind kind = EntryKind::kFile;
        std::optional<int64_t> time;
        for (size_t i = 0; i < kNames; i += 2) {
            const std::string asked = (folded ? "N" : "n") + std::to_string(i);
            EXPECT_TRUE(table.Match(asked, &kind, &time)) << asked;
            EXPECT_FALSE(table.Match(asked, &kind, &time)) << asked;
        }
        EXPECT_FALSE(table.Match("n" + std::to_string(kNames), &kind, &time));
        EXPECT_EQ(table.Unmatched(), kNames / 2);
        EXPECT_EQ(kind, EntryKind::kLink);
    }
}

class RunLog : public ::testing::Test {
  protected:
    std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    TempTree t;
};

TEST_F(RunLog, WritesEveryLineAndEmptiesTheFileOncePerProcess) {
    t.MakeDir("s");
    t.MakeDir("d");
    t.WriteFile("s/a.txt", "a");
    t.WriteFile("log.txt", "from an earlier start\n");
    const std::string logName = t.Path("log.txt");

    EngineRig rig;
    rig.queue.m_strLogFileName = logName;
    rig.queue.m_bLogEnabled = true;
    rig.Run(t.Path("s"), t.Path("d"), kActionKeep);
    rig.queue.FlushLog();
    const std::string header = CBackup::FormatHeader(920297109);
    const std::string sep(127, '-');
    const std::string copy = " Copy: " + t.Path("s/a.txt") + " => " + t.Path("d/a.txt");
    EXPECT_EQ(ReadAll(logName), header + "\n" + copy + "\n" + sep + "\n");

    // A second run appends; a new name does not move the open file.
    rig.queue.m_strLogFileName = t.Path("other.txt");
    rig.Run(t.Path("s"), t.Path("d"), kActionKeep);
    rig.queue.FlushLog();
    EXPECT_EQ(ReadAll(logName),
              header + "\n" + copy + "\n" + sep + "\n" + header + "\n" + sep + "\n");
    EXPECT_FALSE(t.Exists("other.txt"));
    EXPECT_EQ(rig.recorder.lines.size(), 5u);
}

TEST_F(RunLog, AnUnopenableFileSwitchesLoggingOffAndTheLinesStillArrive) {
    t.MakeDir("s");
    t.MakeDir("d");
    EngineRig rig;
    rig.queue.m_strLogFileName = t.Path("no/such/dir/log.txt");
    rig.queue.m_bLogEnabled = true;
    rig.Run(t.Path("s"), t.Path("d"), kActionKeep);
    EXPECT_FALSE(rig.queue.m_bLogEnabled);
    EXPECT_EQ(rig.recorder.lines.size(), 2u);

    EngineRig quiet;  // logging off: no file is made
    quiet.queue.m_strLogFileName = t.Path("never.txt");
    quiet.Run(t.Path("s"), t.Path("d"), kActionKeep);
    EXPECT_FALSE(t.Exists("never.txt"));
}

}  // namespace
}  // namespace tandrel
