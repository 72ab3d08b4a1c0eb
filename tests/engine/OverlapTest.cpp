// Trees that overlap are refused by what they are, not by how they are spelt: a recycle
// directory that holds the source, and the same directories reached through bind mounts.

#include <gtest/gtest.h>

#include "BindMounts.h"
#include "JobCheck.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

class Overlap : public ::testing::Test {
  protected:
    Overlap() {
        t.MakeDir("a/sub");
        t.WriteFile("a/sub/p", "precious");
        t.WriteFile("a/q", "also precious");
        t.MakeDir("d");
        t.MakeDir("m");
    }
    void TearDown() override { mounts.UnmountAll(); }

    std::string P(const std::string& rel) { return t.Path(rel); }
    // Runs one job and returns its action lines.
    std::vector<std::string> Run(const std::string& source, const std::string& dest,
                                 ExtraFileAction action, const std::string& recycle = "") {
        EngineRig rig;
        rig.Run(source, dest, action, recycle);
        return rig.recorder.ActionLines();
    }
    std::vector<std::string> Skip(const std::string& source, const std::string& dest,
                                  const std::string& reason) {
        return {"!Skip: " + source + "/ => " + dest + "/ (" + reason + ")"};
    }

    TempTree t;
    BindMounts mounts;
};

TEST_F(Overlap, ARecycleDirectoryHoldingTheSourceIsRefused) {
    // The destination has docs/report.txt, which the source (home/docs) lacks at that place:
    // moving it to the recycle directory home would put it over the source's own file.
    t.MakeDir("home/docs");
    t.WriteFile("home/docs/report.txt", "orig");
    t.MakeDir("b/docs");
    t.WriteFile("b/docs/report.txt", "old");
    t.MakeLink("bin", "home");
    const Status s = CheckJobPaths(P("home/docs"), P("b"), kActionMove, P("home"));
    EXPECT_EQ(s.reason(), "Directory 'Recycle' contains 'From'");
    EXPECT_FALSE(CheckJobPaths(P("home/docs"), P("b"), kActionMove, P("bin/")).ok());
    EXPECT_TRUE(CheckJobPaths(P("home/docs"), P("b"), kActionDelete, P("home")).ok());

    EXPECT_EQ(Run(P("home/docs"), P("b"), kActionMove, P("home")),
              Skip(P("home/docs"), P("b"), "Directory 'Recycle' contains 'From'"));
    EXPECT_EQ(Run(P("home/docs"), P("b"), kActionMove, P("bin")),
              Skip(P("home/docs"), P("b"), "Directory 'Recycle' contains 'From'"));
    EXPECT_EQ(t.ReadFile("home/docs/report.txt"), "orig");
    EXPECT_EQ(t.ReadFile("b/docs/report.txt"), "old");
}

TEST_F(Overlap, SourceAndDestinationMeetingThroughABindMountAreRefused) {
    if (!mounts.Bind(P("a/sub"), P("m"))) {
        GTEST_SKIP() << mounts.error();
    }
    // m is a/sub: a contains it, it lies inside a, it is a/sub, and so is anything below it.
    for (const auto& [source, dest] : std::vector<std::pair<std::string, std::string>>{
             {P("m"), P("a")},
             {P("a"), P("m")},
             {P("a/sub"), P("m")},
             {P("m"), P("a/sub")},
             {P("a"), P("m/new/deeper")},
         }) {
        EXPECT_FALSE(CheckJobPaths(source, dest, kActionKeep, "").ok()) << source << " " << dest;
    }
    EXPECT_EQ(CheckJobPaths(P("m"), P("a"), kActionKeep, "").reason(),
              "Directory 'To' contains 'From'");

    // With Delete the first would remove a/sub, the second move the source into itself.
    EXPECT_EQ(Run(P("m"), P("a"), kActionDelete),
              Skip(P("m"), P("a"), "Directory 'To' contains 'From'"));
    EXPECT_EQ(Run(P("a"), P("m"), kActionDelete),
              Skip(P("a"), P("m"), "Directory 'To' is or lies inside 'From'"));
    EXPECT_EQ(t.List("a"), (std::set<std::string>{"q", "sub/", "sub/p"}));
}

TEST_F(Overlap, ASourceShownInsideTheDestinationByAMountThereIsRefused) {
    // The destination holds a mount point that shows the source: walking the destination
    // would meet the source's own files as extra entries.
    t.MakeDir("d/x/m");
    if (!mounts.Bind(P("a"), P("d/x/m"))) {
        GTEST_SKIP() << mounts.error();
    }
    EXPECT_EQ(CheckJobPaths(P("a"), P("d"), kActionKeep, "").reason(),
              "Directory 'To' contains 'From'");
    EXPECT_EQ(Run(P("a"), P("d"), kActionDelete),
              Skip(P("a"), P("d"), "Directory 'To' contains 'From'"));
    EXPECT_EQ(t.ReadFile("a/sub/p"), "precious");
}

TEST_F(Overlap, RecycleDirectoriesMeetingTheTreesThroughBindMountsAreRefused) {
    t.MakeDir("r");
    t.MakeDir("rd");
    if (!mounts.Bind(P("a/sub"), P("m")) || !mounts.Bind(P("d"), P("rd"))) {
        GTEST_SKIP() << mounts.error();
    }
    struct Case {
        std::string source, dest, recycle, reason;
    };
    const std::vector<Case> cases = {
        {P("a"), P("d"), P("m"), "Directory 'Recycle' is or lies inside 'From'"},
        {P("a"), P("d"), P("m/new"), "Directory 'Recycle' is or lies inside 'From'"},
        {P("a/sub"), P("d"), P("m"), "Directory 'Recycle' is or lies inside 'From'"},
        {P("m"), P("d"), P("a"), "Directory 'Recycle' contains 'From'"},
        {P("r"), P("d"), P("rd"), "Directory 'Recycle' is or contains 'To'"},
        {P("r"), P("m"), P("a"), "Directory 'Recycle' is or contains 'To'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckJobPaths(c.source, c.dest, kActionMove, c.recycle).reason(), c.reason)
            << c.source << " " << c.dest << " " << c.recycle;
    }
    t.WriteFile("d/extra", "x");
    EXPECT_EQ(Run(P("m"), P("d"), kActionMove, P("a")),
              Skip(P("m"), P("d"), "Directory 'Recycle' contains 'From'"));
    EXPECT_EQ(Run(P("r"), P("d"), kActionMove, P("rd")),
              Skip(P("r"), P("d"), "Directory 'Recycle' is or contains 'To'"));
    EXPECT_EQ(t.List("a"), (std::set<std::string>{"q", "sub/", "sub/p"}));
    EXPECT_EQ(t.List("d"), std::set<std::string>{"extra"});
}

TEST_F(Overlap, ARecycleDirectoryInsideTheDestinationThroughABindMountIsLeftOutOfTheWalk) {
    t.MakeDir("s");
    t.MakeDir("d/bin");
    t.WriteFile("d/bin/kept", "k");
    t.WriteFile("d/extra", "x");
    if (!mounts.Bind(P("d/bin"), P("m"))) {
        GTEST_SKIP() << mounts.error();
    }
    ASSERT_TRUE(CheckJobPaths(P("s"), P("d"), kActionMove, P("m")).ok());
    // Without recognising d/bin as the recycle directory, the walk would move it into itself,
    // one level deeper at each run.
    EXPECT_EQ(Run(P("s"), P("d"), kActionMove, P("m")),
              std::vector<std::string>{" Move: " + P("d/extra") + " => " + P("m/extra")});
    EXPECT_TRUE(Run(P("s"), P("d"), kActionMove, P("m")).empty());
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"bin/", "bin/extra", "bin/kept"}));

    // The same when the destination is the one reached through the mount.
    t.MakeDir("d2/bin");
    t.MakeDir("m2");
    if (!mounts.Bind(P("d2"), P("m2"))) {
        GTEST_SKIP() << mounts.error();
    }
    t.WriteFile("d2/old", "o");
    EXPECT_EQ(Run(P("s"), P("m2"), kActionMove, P("d2/bin")),
              std::vector<std::string>{" Move: " + P("m2/old") + " => " + P("d2/bin/old")});
    EXPECT_EQ(t.List("d2"), (std::set<std::string>{"bin/", "bin/old"}));
}

}  // namespace
}  // namespace tandrel
