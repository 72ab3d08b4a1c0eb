// What a run must never do: follow a link out of the trees, delete what it could not read,
// leave a half-written file, move without a recycle directory, or work on overlapping trees.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "FailingFileSystem.h"
#include "HeapPeak.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

using Op = FailingFileSystem::Op;

class Safety : public ::testing::Test {
  protected:
    Safety() {
        t.MakeDir("s");
        t.MakeDir("d");
        t.MakeDir("r");
    }
    std::string S(const std::string& rel = "") { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") { return t.Path("d/" + rel); }

    TempTree t;
};

// A directory outside every tree, reachable through links planted on both sides.
class Links : public Safety, public ::testing::WithParamInterface<ExtraFileAction> {};

TEST_P(Links, AreNeverFollowedOnEitherSide) {
    t.MakeDir("outside/deep");
    t.WriteFile("outside/keep.txt", "precious", 5 * 1000000000LL);
    t.WriteFile("outside/deep/also.txt", "also");
    const std::set<std::string> before = t.List("outside");

    // Source: a link to the outside directory, and a directory x/ where the destination has
    // a link x to the outside directory.
    t.MakeLink("s/srclink", t.Path("outside"));
    t.MakeDir("s/x");
    t.WriteFile("s/x/keep.txt", "would overwrite through the link");
    t.MakeLink("d/x", t.Path("outside"));
    t.MakeLink("d/extralink", t.Path("outside"));
    t.MakeLink("d/extrafilelink", t.Path("outside/keep.txt"));

    EngineRig rig;
    rig.Run(S(), D(), GetParam(), t.Path("r"));

    EXPECT_EQ(t.List("outside"), before);
    EXPECT_EQ(t.ReadFile("outside/keep.txt"), "precious");
    EXPECT_EQ(t.ReadFile("outside/deep/also.txt"), "also");
    // The source link is mirrored as a link with the same target text.
    EXPECT_EQ(t.ReadLink("d/srclink"), t.Path("outside"));
    // Nothing was written through d/x.
    const std::vector<std::string> lines = rig.recorder.ActionLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "!Copy: " + S("x/keep.txt") + " => " + D("x/keep.txt") + " (" + D("x") +
                            ": is a symbolic link; links are not followed)"),
              lines.end());
    if (GetParam() == kActionKeep) {
        EXPECT_EQ(t.ReadLink("d/x"), t.Path("outside"));
        EXPECT_EQ(t.ReadLink("d/extralink"), t.Path("outside"));
    } else {
        // The links themselves are the extra entries: gone from the destination (moved as
        // links with Move), their targets untouched.
        EXPECT_FALSE(t.Exists("d/x"));
        EXPECT_FALSE(t.Exists("d/extralink"));
        EXPECT_FALSE(t.Exists("d/extrafilelink"));
        if (GetParam() == kActionMove) {
            EXPECT_EQ(t.ReadLink("r/extralink"), t.Path("outside"));
        }
        // The next run can now make the directory and copy into it.
        EngineRig next;
        next.Run(S(), D(), GetParam(), t.Path("r"));
        EXPECT_EQ(t.ReadFile("d/x/keep.txt"), "would overwrite through the link");
        EXPECT_EQ(t.List("outside"), before);
    }
}

INSTANTIATE_TEST_SUITE_P(AllActions, Links,
                         ::testing::Values(kActionKeep, kActionDelete, kActionMove));

TEST_F(Safety, ARootGivenAsALinkIsUsedButLinksBelowItAreNot) {
    t.WriteFile("s/f", "f");
    t.MakeLink("dlink", t.Path("d"));
    EngineRig rig;
    rig.Run(S(), t.Path("dlink"), kActionDelete);
    EXPECT_EQ(rig.recorder.ActionLines(),
              std::vector<std::string>{" Copy: " + S("f") + " => " + t.Path("dlink/f")});
    EXPECT_EQ(t.ReadFile("d/f"), "f");
}

TEST_F(Safety, AnUnreadableSourceDirectoryNeverCausesDeletions) {
    t.MakeDir("s/locked");
    t.WriteFile("s/locked/f", "f");
    t.MakeDir("d/locked");
    t.WriteFile("d/locked/precious", "p");
    t.WriteFile("d/stale", "x");
    FailingFileSystem fs;
    fs.FailOn(Op::kListDirectory, "/s/locked", Status::Code::kPermission);
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{"!Read: " + S("locked/") + " (injected failure)",
                                        " Delete: " + D("stale")}));
    EXPECT_EQ(t.ReadFile("d/locked/precious"), "p");
}

TEST_F(Safety, AnUnreadableOrMissingRootStopsTheJob) {
    t.WriteFile("d/precious", "p");
    t.WriteFile("s/f", "f");
    FailingFileSystem fs;
    fs.FailOn(Op::kListDirectory, "/s", Status::Code::kPermission);
    EngineRig unreadable(fs);
    unreadable.Run(S(), D(), kActionDelete);
    EXPECT_EQ(unreadable.recorder.ActionLines(),
              std::vector<std::string>{"!Read: " + S() + " (injected failure)"});
    EXPECT_TRUE(t.Exists("d/precious"));

    EngineRig missingDest;
    missingDest.Run(S(), t.Path("unmounted/backup"), kActionDelete);
    EXPECT_EQ(missingDest.recorder.ActionLines(),
              std::vector<std::string>{"!Read: " + t.Path("unmounted/backup/") +
                                       " (No such file or directory)"});
    EXPECT_FALSE(t.Exists("unmounted"));

    EngineRig missingSource;
    missingSource.Run(t.Path("gone"), D(), kActionDelete);
    EXPECT_EQ(
        missingSource.recorder.ActionLines(),
        std::vector<std::string>{"!Read: " + t.Path("gone/") + " (No such file or directory)"});
    EXPECT_TRUE(t.Exists("d/precious"));
}

TEST_F(Safety, AnUnreadableDestinationDirectoryIsLeftAlone) {
    t.MakeDir("s/sub");
    t.WriteFile("s/sub/f", "old source", 1000000000LL);
    t.MakeDir("d/sub");
    t.WriteFile("d/sub/f", "newer destination", 9000000000LL);
    FailingFileSystem fs;
    fs.FailOn(Op::kListDirectory, "/d/sub");
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(rig.recorder.ActionLines(),
              std::vector<std::string>{"!Read: " + D("sub/") + " (injected failure)"});
    EXPECT_EQ(t.ReadFile("d/sub/f"), "newer destination");

    // A directory the run has made but then cannot open takes no files, and says so.
    t.MakeDir("s/new");
    t.WriteFile("s/new/g", "g");
    FailingFileSystem shut;
    shut.FailOn(Op::kOpenDirectory, "/d/new");
    EngineRig again(shut);
    again.Run(S(), D(), kActionKeep);
    EXPECT_EQ(again.recorder.ActionLines(),
              std::vector<std::string>{"!Copy: " + S("new/g") + " => " + D("new/g") + " (" +
                                       D("new") + ": injected failure)"});
    EXPECT_EQ(t.List("d/new"), std::set<std::string>{});
}

TEST_F(Safety, AFailedCopyLeavesTheOldFileAndNoTemporary) {
    t.WriteFile("s/f", "new", 9000000000LL);
    t.WriteFile("d/f", "old", 1000000000LL);
    FailingFileSystem fs;
    fs.FailOn(Op::kCopyFile, "/s/f", Status::Code::kIoError, "No space left on device");
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionKeep);
    EXPECT_EQ(rig.recorder.ActionLines(),
              std::vector<std::string>{"!Copy: " + S("f") + " => " + D("f") +
                                       " (No space left on device)"});
    EXPECT_EQ(t.List("d"), std::set<std::string>{"f"});
    EXPECT_EQ(t.ReadFile("d/f"), "old");
}

TEST_F(Safety, TemporariesOfDeadProcessesAreClearedOthersAreKept) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        _exit(0);
    }
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string stale = ".tandrel-" + std::to_string(child) + "-00000000000000a1.tmp";
    const std::string live = ".tandrel-" + std::to_string(getpid()) + "-00000000000000b2.tmp";
    t.MakeDir("s/sub");
    t.MakeDir("d/sub");
    t.WriteFile("d/sub/" + stale, "partial");
    t.WriteFile("d/sub/" + live, "in flight");
    t.WriteFile("s/" + stale, "the source is never changed");

    EngineRig rig;
    rig.Run(S(), D(), kActionKeep);
    EXPECT_FALSE(t.Exists("d/sub/" + stale));
    EXPECT_TRUE(t.Exists("d/sub/" + live));
    EXPECT_TRUE(t.Exists("s/" + stale));
    EXPECT_TRUE(rig.recorder.ActionLines().empty());
}

TEST_F(Safety, TemporariesOfKilledMovesAreClearedFromTheRecycleDirectory) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        _exit(0);
    }
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string stale = ".tandrel-" + std::to_string(child) + "-00000000000000c3.tmp";
    const std::string live = ".tandrel-" + std::to_string(getpid()) + "-00000000000000d4.tmp";
    t.MakeDir("s/a");
    t.MakeDir("d/a");
    t.WriteFile("d/a/x", "x");
    t.WriteFile("d/y", "y");
    t.MakeDir("r/a");
    t.MakeDir("r/untouched");
    t.WriteFile("r/" + stale, "62 MiB of a move that was killed");
    t.WriteFile("r/a/" + stale, "partial");
    t.WriteFile("r/a/" + live, "in flight");
    t.WriteFile("r/untouched/" + stale, "no move goes here this run");

    EngineRig rig;
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    EXPECT_EQ(t.List("r"), (std::set<std::string>{"a/", "a/" + live, "a/x", "untouched/",
                                                  "untouched/" + stale, "y"}));
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{" Move: " + D("y") + " => " + t.Path("r/y"),
                                        " Move: " + D("a/x") + " => " + t.Path("r/a/x")}));
}

TEST_F(Safety, OverlappingTreesAreSkippedWithOneLine) {
    t.MakeDir("s/inner");
    t.WriteFile("s/f", "f");
    EngineRig inside;
    inside.Run(S(), S("inner"), kActionDelete);
    EXPECT_EQ(inside.recorder.ActionLines(),
              std::vector<std::string>{"!Skip: " + S() + " => " + S("inner/") +
                                       " (Directory 'To' is or lies inside 'From')"});
    EXPECT_EQ(t.List("s"), (std::set<std::string>{"f", "inner/"}));

    EngineRig recycleInSource;
    recycleInSource.Run(S(), D(), kActionMove, S("inner"));
    EXPECT_EQ(recycleInSource.recorder.ActionLines(),
              std::vector<std::string>{"!Skip: " + S() + " => " + D() +
                                       " (Directory 'Recycle' is or lies inside 'From')"});
    EXPECT_EQ(t.List("d"), std::set<std::string>{});
}

TEST_F(Safety, ARecycleDirectoryInsideTheDestinationIsNeverExtra) {
    t.MakeDir("d/bin/old");
    t.WriteFile("d/bin/old/kept", "k");
    t.WriteFile("d/extra", "x");
    t.MakeDir("s/bin");
    t.WriteFile("s/bin/tool", "a source directory of the same name is not copied into it");
    EngineRig rig;
    rig.Run(S(), D(), kActionMove, D("bin"));
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{
                  "!Copy: " + S("bin/tool") + " => " + D("bin/tool") +
                      " (it would land in the recycle directory inside the destination)",
                  " Move: " + D("extra") + " => " + D("bin/extra")}));
    EXPECT_EQ(t.List("d/bin"), (std::set<std::string>{"extra", "old/", "old/kept"}));
}

TEST_F(Safety, PipesInTheSourceAreNeverOpened) {
    t.MakeFifo("s/pipe");
    t.MakeFifo("d/pipe");  // even a matching one is reported, never compared and skipped
    t.WriteFile("s/after", "a");
    EngineRig rig;
    rig.Run(S(), D(), kActionDelete);
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{
                  " Copy: " + S("after") + " => " + D("after"),
                  "!Copy: " + S("pipe") + " => " + D("pipe") +
                      " (is a pipe, socket or device; only files and links are copied)"}));
}

// An extra chain of directories, each inside the last, deleted from the bottom up: every level
// is reached again from the level below it, not from the root, so the directories opened grow
// with the depth and not with its square.
TEST_F(Safety, ADeepExtraChainIsDeletedWithOpensInProportionToItsDepth) {
    t.WriteFile("s/keep", "k");
    for (const int depth : {64, 256}) {
        SCOPED_TRACE(depth);
        std::string rel = "d/chain" + std::to_string(depth) + "/";
        t.MakeDir(rel);
        for (int level = 1; level < depth; ++level) {
            rel += "d/";
            t.MakeDir(rel);
        }
        t.WriteFile(rel + "leaf", "x");
        FailingFileSystem fs;
        EngineRig rig(fs);
        rig.Run(S(), D(), kActionDelete);
        EXPECT_EQ(t.List("d"), (std::set<std::string>{"keep"}));
        EXPECT_EQ(fs.CallCount(Op::kRemoveDirectory), depth);
        // Listed once by the count and once by the walk, and reached once more on the way up.
        EXPECT_LE(fs.CallCount(Op::kOpenDirectory), 4 * depth + 16);
    }
}

// A stop asked for while a deep chain is being taken down ends the job at once: the levels not
// yet removed stay, nothing else is touched, and the next run finishes the work.
TEST_F(Safety, AStopDuringTheRemovalOfADeepChainIsHonouredAtOnce) {
    constexpr int kDepth = 40;
    constexpr int kRemovedBeforeStop = 10;
    t.WriteFile("s/keep", "k");
    std::string rel = "d/chain/";
    t.MakeDir(rel);
    for (int level = 1; level < kDepth; ++level) {
        rel += "d/";
        t.MakeDir(rel);
    }
    t.WriteFile(rel + "leaf", "x");
    FailingFileSystem fs;
    EngineRig rig(fs);
    int removed = 0;
    fs.SetHook([&](const FailingFileSystem::Call& call) {
        if (call.op == Op::kRemoveDirectory && ++removed == kRemovedBeforeStop) {
            rig.backup.CancelRun();
        }
    });
    rig.Run(S(), D(), kActionDelete);
    // The removal under way when the stop came is the last one.
    EXPECT_EQ(removed, kRemovedBeforeStop);
    std::string left = "d/chain/";
    for (int level = 1; level < kDepth - kRemovedBeforeStop; ++level) {
        left += "d/";
    }
    EXPECT_TRUE(t.Exists(left));
    EXPECT_FALSE(t.Exists(left + "d"));
    EXPECT_EQ(t.ReadFile("d/keep"), "k");
    for (const std::string& line : rig.recorder.ActionLines()) {
        EXPECT_EQ(line[0], ' ') << line;
    }

    fs.SetHook({});
    EngineRig next(fs);
    next.Run(S(), D(), kActionDelete);
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"keep"}));
}

// The extra directories of a chain take memory in proportion to their number, not to the length
// of their paths: a chain four times as deep takes about four times as much, not sixteen. Moved,
// each level holding a file, the chain's levels in the recycle directory as well. (The run lines
// themselves name whole paths; they are passed on, never kept.)
TEST_F(Safety, ADeepExtraChainTakesMemoryInProportionToItsDepth) {
    t.WriteFile("s/keep", "k", 5 * 1000000000LL);
    t.WriteFile("d/keep", "k", 5 * 1000000000LL);
    for (const ExtraFileAction action : {kActionDelete, kActionMove}) {
        SCOPED_TRACE(action);
        auto peakFor = [&](int depth) {
            std::string rel = "d/chain/";
            for (int level = 1; level < depth; ++level) {
                rel += "d/";
            }
            t.MakeDir(rel);  // with every level above it
            if (action == kActionMove) {
                for (size_t slash = rel.find('/', 2); slash != std::string::npos;
                     slash = rel.find('/', slash + 1)) {
                    t.WriteFile(rel.substr(0, slash + 1) + "f", "x");
                }
            }
            t.WriteFile(rel + "leaf", "x");
            EngineRig rig;
            // The lines are counted, not kept: a line holds a whole path.
            struct : ILineSink {
                void AddLine(std::string_view) override { ++count; }
                int count = 0;
            } lines;
            rig.queue.m_pPageLog = &lines;
            const HeapPeak peak;
            rig.Run(S(), D(), action, t.Path("r"));
            EXPECT_EQ(lines.count, 2 + (action == kActionMove ? depth + 1 : 1));
            EXPECT_EQ(t.List("d"), (std::set<std::string>{"keep"}));
            return peak.Bytes();
        };
        const int64_t shallow = peakFor(250);
        const int64_t deep = peakFor(1000);
        EXPECT_LT(deep, 6 * shallow) << "250 levels: " << shallow << " bytes, 1000: " << deep;
    }
}

// Matching a large directory against its unchanged copy holds each entry once per side, in a
// compact form: the names and a small record, and a table of numbers for the destination's,
// never a copy of a name per list. The heap it takes at its peak stays under a fixed number of
// bytes an entry (names of 11 bytes here).
TEST_F(Safety, MatchingALargeDirectoryTakesFewBytesAnEntry) {
    constexpr int kFiles = 20000;
    constexpr int64_t kMaxBytesAnEntry = 150;
    for (int i = 0; i < kFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "file-%06d", i);
        t.WriteFile(std::string("s/") + name, "", 7 * 1000000000LL);
        t.WriteFile(std::string("d/") + name, "", 7 * 1000000000LL);
    }
    EngineRig rig;
    // No bar: its count lists the directory once more, on a thread of its own, whenever that
    // thread gets a core; what is measured here is the walk's own lists.
    rig.queue.m_pSheet = nullptr;
    const HeapPeak peak;
    rig.Run(S(), D(), kActionDelete);
    const int64_t bytes = peak.Bytes();
    EXPECT_TRUE(rig.recorder.ActionLines().empty());
    EXPECT_LT(bytes, kMaxBytesAnEntry * kFiles) << bytes / kFiles << " bytes an entry";
}

// Moving a deep chain creates each of its levels in the recycle directory once, reached from the
// one above it, rather than going over every level above it again for each.
TEST_F(Safety, ADeepExtraChainIsMovedWithCallsInProportionToItsDepth) {
    constexpr int kDepth = 200;
    t.WriteFile("s/keep", "k");
    std::string rel = "d/chain/";
    for (int level = 1; level < kDepth; ++level) {
        rel += "d/";
    }
    t.MakeDir(rel);
    for (size_t slash = rel.find('/', 2); slash != std::string::npos;
         slash = rel.find('/', slash + 1)) {
        t.WriteFile(rel.substr(0, slash + 1) + "f", "x");
    }
    FailingFileSystem fs;
    EngineRig rig(fs);
    rig.Run(S(), D(), kActionMove, t.Path("r"));
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"keep"}));
    EXPECT_EQ(t.ReadFile(rel.replace(0, 1, "r") + "f"), "x");
    EXPECT_EQ(fs.CallCount(Op::kCreateDirectory), kDepth);
    EXPECT_LE(fs.CallCount(Op::kOpenDirectory), 8 * kDepth + 16);
}

}  // namespace
}  // namespace tandrel

namespace tandrel {
namespace {

// A read-only file is made writable only to let a copy, move or delete through; when that did
// not help, it gets its mode back.
TEST_F(Safety, AFailedRetryPutsTheReadOnlyModeBack) {
    t.WriteFile("s/ro.txt", "new", 9 * 1000000000LL);
    t.WriteFile("d/ro.txt", "old", 1 * 1000000000LL, 0444);
    t.WriteFile("d/extra1.txt", "extra", std::nullopt, 0440);
    t.WriteFile("d/extra2.txt", "extra", std::nullopt, 0400);
    FailingFileSystem fs;
    fs.FailOn(Op::kCopyFile, "/d/ro.txt", Status::Code::kPermission);
    fs.FailOn(Op::kDeleteFile, "/d/extra", Status::Code::kPermission);
    fs.FailOn(Op::kMoveFile, "/d/extra", Status::Code::kPermission);
    for (ExtraFileAction action : {kActionDelete, kActionMove}) {
        EngineRig rig(fs);
        rig.Run(S(), D(), action, t.Path("r"));
        EXPECT_EQ(t.Mode("d/ro.txt"), 0444u);
        EXPECT_EQ(t.ReadFile("d/ro.txt"), "old");
        EXPECT_EQ(t.Mode("d/extra1.txt"), 0440u);
        EXPECT_EQ(t.Mode("d/extra2.txt"), 0400u);
    }
    EXPECT_EQ(fs.CallCount(Op::kMakeReplaceable), 6);
}

// An entry that is a file on one side and a link or a pipe on the other is never taken for up
// to date, whatever the times say: the destination's entry is replaced by the source's kind.
TEST_F(Safety, AnEntryOfAnotherKindIsNeverUpToDate) {
    struct Case {
        const char* name;
        char source;  // 'f' file, 'l' link
        char dest;    // 'f' file, 'l' link, 'p' pipe
    };
    const Case cases[] = {
        {"file-over-link", 'f', 'l'}, {"link-over-file", 'l', 'f'}, {"file-over-pipe", 'f', 'p'}};
    const int64_t older = 1 * 1000000000LL;
    const int64_t newer = 9 * 1000000000LL;
    for (const Case& c : cases) {
        const std::string rel = c.name;
        if (c.source == 'f') {
            t.WriteFile("s/" + rel, "the source file", older);
        } else {
            t.MakeLink("s/" + rel, "target-text");
            t.SetMtime("s/" + rel, older);
        }
        if (c.dest == 'f') {
            t.WriteFile("d/" + rel, "a destination file", newer);
        } else if (c.dest == 'l') {
            t.MakeLink("d/" + rel, "elsewhere");
            t.SetMtime("d/" + rel, newer);
        } else {
            t.MakeFifo("d/" + rel);
            t.SetMtime("d/" + rel, newer);
        }
    }
    for (ExtraFileAction action : {kActionKeep, kActionDelete}) {
        EngineRig rig;
        rig.Run(S(), D(), action);
        if (action == kActionKeep) {
            EXPECT_EQ(rig.recorder.ActionLines().size(), std::size(cases));
        } else {
            EXPECT_TRUE(rig.recorder.ActionLines().empty());  // done by the first run
        }
        for (const Case& c : cases) {
            const std::string rel = c.name;
            if (c.source == 'f') {
                EXPECT_EQ(t.ReadFile("d/" + rel), "the source file") << rel;
            } else {
                EXPECT_EQ(t.ReadLink("d/" + rel), "target-text") << rel;
            }
        }
    }
}

// Extra entries of one name from two jobs, or from two runs, all stay in the recycle
// directory: a taken name gets the next numbered one beside it, and the line says so.
TEST_F(Safety, MovesNeverReplaceAnythingInTheRecycleDirectory) {
    t.MakeDir("s2");
    t.MakeDir("d2/sub");
    t.WriteFile("d/notes.txt", "first");
    t.WriteFile("d2/notes.txt", "second");
    t.WriteFile("d2/sub/x", "x");
    t.MakeDir("r/sub");
    t.WriteFile("r/sub/x", "already there");
    EngineRig rig;
    rig.queue.AddJob(S(), D(), 0);
    rig.queue.AddJob(t.Path("s2"), t.Path("d2"), 0);
    rig.queue.StartRun(kActionMove, t.Path("r"));
    rig.backup.OnRunJobs();
    std::vector<std::string> moves;
    for (const std::string& line : rig.recorder.lines) {
        if (line.find("Move: ") != std::string::npos) {
            moves.push_back(line);
        }
    }
    EXPECT_EQ(moves, (std::vector<std::string>{
                         " Move: " + D("notes.txt") + " => " + t.Path("r/notes.txt"),
                         " Move: " + t.Path("d2/notes.txt") + " => " + t.Path("r/notes.txt.~1~"),
                         " Move: " + t.Path("d2/sub/x") + " => " + t.Path("r/sub/x.~1~")}));
    EXPECT_EQ(t.ReadFile("r/notes.txt"), "first");
    EXPECT_EQ(t.ReadFile("r/notes.txt.~1~"), "second");
    EXPECT_EQ(t.ReadFile("r/sub/x"), "already there");
    EXPECT_EQ(t.ReadFile("r/sub/x.~1~"), "x");

    t.WriteFile("d/notes.txt", "third");
    EngineRig later;
    later.Run(S(), D(), kActionMove, t.Path("r"));
    EXPECT_EQ(
        later.recorder.ActionLines(),
        std::vector<std::string>{" Move: " + D("notes.txt") + " => " + t.Path("r/notes.txt.~2~")});
    EXPECT_EQ(t.ReadFile("r/notes.txt.~2~"), "third");
}

// A link replaced by the file it pointed to (the file moved to the link's place): the
// destination's link must not pass for the file, or the file's only copy would be deleted as
// extra and never copied again.
TEST_F(Safety, AFileMovedOntoItsLinkIsCopiedBeforeItsOldCopyGoes) {
    t.MakeDir("s/drafts");
    t.WriteFile("s/drafts/r.pdf", "the paper", 1 * 1000000000LL);
    t.MakeLink("s/r.pdf", "drafts/r.pdf");
    t.SetMtime("s/r.pdf", 5 * 1000000000LL);
    EngineRig first;
    first.Run(S(), D(), kActionDelete);
    ASSERT_EQ(t.ReadLink("d/r.pdf"), "drafts/r.pdf");
    ASSERT_EQ(::rename(S("drafts/r.pdf").c_str(), S("r.pdf").c_str()), 0);
    EngineRig second;
    second.Run(S(), D(), kActionDelete);
    EXPECT_EQ(second.recorder.ActionLines(),
              (std::vector<std::string>{" Copy: " + S("r.pdf") + " => " + D("r.pdf"),
                                        " Delete: " + D("drafts/r.pdf")}));
    EXPECT_EQ(t.ReadFile("d/r.pdf"), "the paper");
}

}  // namespace
}  // namespace tandrel
