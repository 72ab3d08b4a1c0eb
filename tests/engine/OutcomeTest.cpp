// What a run tells about how it went: every failure line ends with its reason, and the run's
// summary counts its lines.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "DryRunFileSystem.h"
#include "FailingFileSystem.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

using Op = FailingFileSystem::Op;

// A source s/ and a destination d/ in a fresh temporary tree.
struct Trees {
    Trees() {
        t.MakeDir("s");
        t.MakeDir("d");
    }
    std::string S(const std::string& rel = "") const { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") const { return t.Path("d/" + rel); }

    TempTree t;
};

class Outcome : public ::testing::Test, public Trees {};

// A small tmpfs mounted over a directory of the test, gone with the object. Mounting needs
// root (or a mount namespace of one's own); error() says why it could not be made.
class SmallVolume {
  public:
    SmallVolume(const std::string& at, unsigned long flags, const std::string& options) : at_(at) {
        if (mount("tmpfs", at.c_str(), "tmpfs", flags, options.c_str()) != 0) {
            error_ = "cannot mount a tmpfs at " + at + ": " + std::strerror(errno);
            at_.clear();
        }
    }
    ~SmallVolume() {
        if (!at_.empty() && umount2(at_.c_str(), 0) != 0) {
            umount2(at_.c_str(), MNT_DETACH);
        }
    }
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;
    bool mounted() const { return !at_.empty(); }
    const std::string& error() const { return error_; }

  private:
    std::string at_;
    std::string error_;
};

// A failure the file system reports shows its reason as the system words it; the names stay
// escaped as before, and so does the reason.
TEST_F(Outcome, EveryFailureLineEndsWithTheSystemsReason) {
    struct Case {
        const char* what;
        std::function<void(TempTree&)> setUp;
        Op op;
        std::string path;
        Status::Code code;
        std::string reason;
        ExtraFileAction action;
        std::function<std::string(const Trees&)> line;
    };
    const std::vector<Case> cases = {
        {"an unreadable file", [](TempTree& tt) { tt.WriteFile("s/f", "f"); }, Op::kCopyFile,
         "/s/f", Status::Code::kPermission, "Permission denied", kActionKeep,
         [](const Trees& o) {
             return "!Copy: " + o.S("f") + " => " + o.D("f") + " (Permission denied)";
         }},
        {"an unreadable directory",
         [](TempTree& tt) {
             tt.MakeDir("s/locked");
             tt.WriteFile("s/locked/f", "f");
         },
         Op::kListDirectory, "/s/locked", Status::Code::kPermission, "Permission denied",
         kActionKeep,
         [](const Trees& o) { return "!Read: " + o.S("locked/") + " (Permission denied)"; }},
        {"a destination directory that cannot be opened",
         [](TempTree& tt) {
             tt.MakeDir("s/sub");
             tt.MakeDir("d/sub");
         },
         Op::kOpenDirectory, "/d/sub", Status::Code::kPermission, "Permission denied",
         kActionDelete,
         [](const Trees& o) { return "!Read: " + o.D("sub/") + " (Permission denied)"; }},
        {"a full destination", [](TempTree& tt) { tt.WriteFile("s/f", "f"); }, Op::kCopyFile,
         "/s/f", Status::Code::kIoError, "No space left on device", kActionKeep,
         [](const Trees& o) {
             return "!Copy: " + o.S("f") + " => " + o.D("f") + " (No space left on device)";
         }},
        {"a read-only destination",
         [](TempTree& tt) {
             tt.WriteFile("s/kept", "k");
             tt.WriteFile("d/old", "o");
         },
         Op::kDeleteFile, "/d/old", Status::Code::kPermission, "Read-only file system",
         kActionDelete,
         [](const Trees& o) { return "!Delete: " + o.D("old") + " (Read-only file system)"; }},
        {"a name too long", [](TempTree& tt) { tt.WriteFile("s/f", "f"); }, Op::kCopyFile, "/s/f",
         Status::Code::kInvalid, "File name too long", kActionKeep,
         [](const Trees& o) {
             return "!Copy: " + o.S("f") + " => " + o.D("f") + " (File name too long)";
         }},
        {"copies that cannot be flushed", [](TempTree& tt) { tt.WriteFile("s/f", "f"); },
         Op::kCommitCopies, "", Status::Code::kIoError, "Input/output error", kActionKeep,
         [](const Trees& o) { return "!Sync: " + o.D() + " (Input/output error)"; }},
        {"a reason holding a line feed",
         [](TempTree& tt) {
             tt.WriteFile("s/kept", "k");
             tt.WriteFile("d/old", "o");
         },
         Op::kDeleteFile, "/d/old", Status::Code::kIoError, "bad\nline", kActionDelete,
         [](const Trees& o) { return "!Delete: " + o.D("old") + " (bad\\nline)"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Trees o;
        c.setUp(o.t);
        FailingFileSystem fs;
        fs.FailOn(c.op, c.path, c.code, c.reason);
        EngineRig rig(fs);
        rig.Run(o.S(), o.D(), c.action);
        const std::vector<std::string> lines = rig.recorder.ActionLines();
        const std::string expected = c.line(o);
        EXPECT_TRUE(std::find(lines.begin(), lines.end(), expected) != lines.end())
            << expected << "\nnot among " << ::testing::PrintToString(lines);
    }
}

// What the engine refuses on its own says so in its own words.
TEST_F(Outcome, TheEnginesOwnFailuresSayWhy) {
    t.MakeFifo("s/pipe");
    t.MakeDir("s/x");
    t.WriteFile("s/x/f", "f");
    t.MakeLink("d/x", t.Path("s"));
    t.WriteFile("d/g", "g");
    EngineRig rig;
    rig.Run(S(), D(), kActionMove, "");
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{
                  "!Copy: " + S("pipe") + " => " + D("pipe") +
                      " (is a pipe, socket or device; only files and links are copied)",
                  "!Copy: " + S("x/f") + " => " + D("x/f") + " (" + D("x") +
                      ": is a symbolic link; links are not followed)",
                  "!Move: " + D("g") + " => g (there is no recycle directory)",
                  "!Move: " + D("x") + " => x (there is no recycle directory)"}));

    EngineRig missing;
    missing.Run(S(), D(), kActionMove, t.Path("nowhere"));
    const std::vector<std::string> lines = missing.recorder.ActionLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "!Move: " + D("x") + " => " + t.Path("nowhere/x") +
                                " (the recycle directory cannot be opened: No such file or "
                                "directory)");
}

// The same reasons from the real system: a destination volume that is full, and one mounted
// read-only.
TEST_F(Outcome, RealVolumesGiveTheirReasons) {
    t.WriteFile("s/big", std::string(256 * 1024, 'b'));
    {
        SmallVolume full(D(), 0, "size=16k");
        if (!full.mounted()) {
            GTEST_SKIP() << full.error();
        }
        EngineRig rig;
        rig.Run(S(), D(), kActionKeep);
        EXPECT_EQ(rig.recorder.ActionLines(),
                  std::vector<std::string>{"!Copy: " + S("big") + " => " + D("big") +
                                           " (No space left on device)"});
        EXPECT_EQ(t.List("d"), std::set<std::string>{});
    }
    {
        SmallVolume readOnly(D(), MS_RDONLY, "size=16k");
        ASSERT_TRUE(readOnly.mounted()) << readOnly.error();
        EngineRig rig;
        rig.queue.m_strLogFileName = t.Path("run.log");
        rig.queue.m_bLogEnabled = true;
        rig.Run(S(), D(), kActionKeep);
        rig.queue.FlushLog();
        const std::string line =
            "!Copy: " + S("big") + " => " + D("big") + " (Read-only file system)";
        EXPECT_EQ(rig.recorder.ActionLines(), std::vector<std::string>{line});
        // The log file holds the same line, reason and all.
        EXPECT_NE(t.ReadFile("run.log").find("\n" + line + "\n"), std::string::npos);
    }
}

// Two jobs in one run: copies, a delete and a failed copy, then a job refused.
TEST_F(Outcome, TheSummaryCountsTheRunsLines) {
    t.WriteFile("s/a", "a");
    t.WriteFile("s/b", "b");
    t.WriteFile("s/c", "c");
    t.WriteFile("d/old", "o");
    t.MakeDir("s2");
    t.MakeDir("d2");
    t.WriteFile("d2/kept", "k");
    FailingFileSystem fs;
    fs.FailOn(Op::kCopyFile, "/s/c", Status::Code::kIoError, "No space left on device");
    EngineRig rig(fs);
    rig.queue.AddJob(S(), D(), 0);
    rig.queue.AddJob(t.Path("s2"), t.Path("d2"), 0);
    rig.queue.StartRun(kActionDelete, "");
    rig.backup.OnRunJobs();
    ASSERT_EQ(rig.recorder.summaries.size(), 1u);
    const RunSummary& sum = rig.recorder.summaries.front();
    EXPECT_EQ(sum.copied, 2);
    EXPECT_EQ(sum.deleted, 1);
    EXPECT_EQ(sum.moved, 0);
    EXPECT_EQ(sum.failed, 1);
    EXPECT_EQ(sum.refused, 1);
    EXPECT_FALSE(sum.stopped);
    EXPECT_EQ(SummaryText(sum), "2 copied, 1 deleted, 0 moved, 1 failed, 1 job refused");
    EXPECT_TRUE(t.Exists("d2/kept"));

    // Each run counts afresh; a preview counts what the run would do, moves included.
    t.WriteFile("d/extra1", "x");
    t.WriteFile("d/extra2", "x");
    t.MakeDir("r");
    DryRunFileSystem preview;
    EngineRig dry(preview);
    dry.Run(S(), D(), kActionMove, t.Path("r"));
    EngineRig real;
    real.Run(S(), D(), kActionMove, t.Path("r"));
    ASSERT_EQ(dry.recorder.summaries.size(), 1u);
    ASSERT_EQ(real.recorder.summaries.size(), 1u);
    for (const RunSummary& s : {dry.recorder.summaries[0], real.recorder.summaries[0]}) {
        EXPECT_EQ(SummaryText(s), "1 copied, 0 deleted, 2 moved, 0 failed, 0 jobs refused");
    }
    EXPECT_EQ(t.List("r"), (std::set<std::string>{"extra1", "extra2"}));
}

TEST_F(Outcome, AStoppedRunSaysSoAndCountsWhatItDid) {
    t.WriteFile("s/a", "a");
    t.WriteFile("s/b", "b");
    FailingFileSystem fs;
    EngineRig rig(fs);
    fs.SetHook([&](const FailingFileSystem::Call& call) {
        if (call.op == Op::kCopyFile && call.path.ends_with("/s/b")) {
            rig.backup.CancelRun();
        }
    });
    rig.Run(S(), D(), kActionKeep);
    ASSERT_EQ(rig.recorder.summaries.size(), 1u);
    const RunSummary& sum = rig.recorder.summaries.front();
    EXPECT_TRUE(sum.stopped);
    EXPECT_EQ(sum.copied + sum.failed, 2);
    EXPECT_EQ(sum.copied, t.Exists("d/b") ? 2 : 1);
}

}  // namespace
}  // namespace tandrel
