// The gates a job passes before it may delete: a source that holds nothing never empties a
// destination, and a job that would delete more than the run allows deletes nothing.

#include <gtest/gtest.h>

#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

// Records the refusals the engine reports besides its run lines.
class RefusalRecorder : public RunRecorder {
  public:
    void JobRefused(JobRefusal why, std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex);
        refusals.emplace_back(why, std::string(line));
    }
    std::vector<std::pair<JobRefusal, std::string>> refusals;
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
    }
    std::string S(const std::string& rel = "") { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") { return t.Path("d/" + rel); }

    TempTree t;
    EngineRig rig;
    RefusalRecorder recorder;
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
    rig.queue.m_nMaxDelete = 2;
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(t.List("d"),
              (std::set<std::string>{".dotfile", "a.txt", "new.txt", "sub/", "sub/b.txt"}));
    const std::vector<std::string> lines = recorder.ActionLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], " Copy: " + S("new.txt") + " => " + D("new.txt"));
    EXPECT_EQ(lines[1], "!Skip: " + S() + " => " + D() +
                            " (3 entries would be deleted, more than the limit of 2)");
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

}  // namespace
}  // namespace tandrel
