// A job's filters in the walk: what an exclude pattern matches takes no part in the source and
// is protected in the destination, and names beginning with "." take part only on request.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "PathFilter.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

class RefusalRecorder : public RunRecorder {
  public:
    void JobRefused(JobRefusal why, std::string_view) override { refusals.push_back(why); }
    std::vector<JobRefusal> refusals;
};

class FilterWalk : public ::testing::Test {
  protected:
    FilterWalk() {
        rig.queue.m_pPageLog = &recorder;
        rig.queue.m_pSheet = &recorder;
    }
    void Run(ExtraFileAction action, const std::vector<std::string>& patterns, bool hidden,
             const std::string& recycle = std::string()) {
        PathFilter filter;
        ASSERT_TRUE(PathFilter::Compile(patterns, hidden, &filter).ok());
        recorder.lines.clear();
        recorder.events.clear();
        recorder.refusals.clear();
        rig.queue.AddJob(S(), D(), 0, filter);
        rig.queue.StartRun(action, recycle);
        rig.backup.OnRunJobs();
    }
    std::string S(const std::string& rel = "") { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") { return t.Path("d/" + rel); }
    // Writes a file, making its directories first.
    void Write(const std::string& rel, const std::string& contents) {
        t.MakeDir(rel.substr(0, rel.rfind('/')));
        t.WriteFile(rel, contents);
    }
    void Remove(const std::string& rel) { std::filesystem::remove_all(t.Path(rel)); }
    std::string Copy(const std::string& rel) { return " Copy: " + S(rel) + " => " + D(rel); }

    TempTree t;
    EngineRig rig;
    RefusalRecorder recorder;
};

TEST_F(FilterWalk, AnExcludedSourceEntryIsNotCopiedCountedOrListed) {
    Write("s/a.txt", "a");
    Write("s/b.tmp", "b");
    Write("s/build/x.o", "x");
    Write("s/sub/c.tmp", "c");
    Write("s/sub/d.txt", "d");
    Write("s/sub/build", "a file, not a directory");
    t.MakeDir("d");
    Run(kActionKeep, {"*.tmp", "build/"}, false);
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"a.txt", "sub/", "sub/build", "sub/d.txt"}));
    EXPECT_EQ(recorder.ActionLines(),
              (std::vector<std::string>{Copy("a.txt"), Copy("sub/build"), Copy("sub/d.txt")}));
    EXPECT_EQ(recorder.Range(), 3);
    EXPECT_EQ(recorder.MaxPos(), 3);
}

// What a pattern matches in the destination stays, whatever the source lacks; a directory
// holding such an entry stays with it.
TEST_F(FilterWalk, AMatchingDestinationEntryIsNeverDeletedOrMoved) {
    for (ExtraFileAction action : {kActionDelete, kActionMove}) {
        SCOPED_TRACE(action == kActionDelete ? "Delete" : "Move");
        Write("s/a.txt", "a");
        Write("d/old.tmp", "o");
        Write("d/cache/keep.bin", "k");
        Write("d/gone.txt", "g");
        Write("d/gonedir/x.tmp", "x");
        Write("d/gonedir/y.txt", "y");
        t.MakeDir("r");
        Run(action, {"*.tmp", "cache/"}, false, t.Path("r"));
        EXPECT_EQ(t.List("d"), (std::set<std::string>{"a.txt", "cache/", "cache/keep.bin",
                                                      "gonedir/", "gonedir/x.tmp", "old.tmp"}));
        if (action == kActionDelete) {
            EXPECT_EQ(recorder.ActionLines(),
                      (std::vector<std::string>{Copy("a.txt"), " Delete: " + D("gone.txt"),
                                                " Delete: " + D("gonedir/y.txt")}));
            EXPECT_EQ(t.List("r"), std::set<std::string>{});
        } else {
            EXPECT_EQ(t.List("r"),
                      (std::set<std::string>{"gone.txt", "gonedir/", "gonedir/y.txt"}));
        }
        // One source file, two destination files that take part: the bar ends full.
        EXPECT_EQ(recorder.Range(), 3);
        EXPECT_EQ(recorder.MaxPos(), 3);
        Remove("s");
        Remove("d");
        Remove("r");
    }
}

TEST_F(FilterWalk, TheDeleteGatesCountOnlyWhatTakesPart) {
    // gone.txt, gonedir/ and gonedir/y.txt would go; the protected entries are not counted.
    Write("s/a.txt", "a");
    Write("d/old.tmp", "o");
    Write("d/cache/keep.bin", "k");
    Write("d/gone.txt", "g");
    Write("d/gonedir/x.tmp", "x");
    Write("d/gonedir/y.txt", "y");
    rig.queue.m_nMaxDelete = 3;
    Run(kActionDelete, {"*.tmp", "cache/"}, false);
    EXPECT_TRUE(recorder.refusals.empty());
    EXPECT_FALSE(t.Exists("d/gone.txt"));

    // A source holding only what is left out holds nothing.
    Write("d/gone.txt", "g");
    Remove("s/a.txt");
    Write("s/x.tmp", "x");
    Run(kActionDelete, {"*.tmp", "cache/"}, false);
    EXPECT_EQ(recorder.refusals, std::vector<JobRefusal>{JobRefusal::kEmptySource});
    EXPECT_TRUE(t.Exists("d/gone.txt"));

    // A destination holding only what is protected has nothing to lose.
    Remove("d");
    Write("d/keep.tmp", "k");
    Run(kActionDelete, {"*.tmp"}, false);
    EXPECT_TRUE(recorder.refusals.empty());
    EXPECT_TRUE(t.Exists("d/keep.tmp"));
}

TEST_F(FilterWalk, NamesBeginningWithDotTakePartOnRequestOnBothSides) {
    auto make = [&] {
        Write("s/.bashrc", "b");
        Write("s/.config/x", "x");
        Write("s/a", "a");
        Write("s/.tandrel-999999-0123456789abcdef.tmp", "another run's copy");
        Write("d/.old", "o");
        Write("d/.cache/y", "y");
    };
    make();
    Run(kActionDelete, {}, false);
    EXPECT_EQ(t.List("d"), (std::set<std::string>{".cache/", ".cache/y", ".old", "a"}));
    EXPECT_EQ(recorder.ActionLines(), std::vector<std::string>{Copy("a")});

    Remove("d");
    make();
    Run(kActionDelete, {}, true);
    EXPECT_EQ(t.List("d"), (std::set<std::string>{".bashrc", ".config/", ".config/x", "a"}));
    EXPECT_EQ(recorder.ActionLines(),
              (std::vector<std::string>{Copy(".bashrc"), Copy("a"), Copy(".config/x"),
                                        " Delete: " + D(".old"), " Delete: " + D(".cache/y")}));
    // Source: .bashrc, .config/x, a; destination: .old, .cache/y.
    EXPECT_EQ(recorder.Range(), 5);
    EXPECT_EQ(recorder.MaxPos(), 5);
}

}  // namespace
}  // namespace tandrel
