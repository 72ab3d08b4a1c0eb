// Control of a run from the window: a preview, the question before a big delete, and Stop.
// The worker runs on its own thread here, as in the window.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CBackup.h"
#include "CJobQueue.h"
#include "FailingFileSystem.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

// Every entry below `rel` with its kind, bits, time (not a directory's: a run changes what
// is in it) and (files) contents.
std::map<std::string, std::string> Snapshot(const TempTree& t, const std::string& rel) {
    std::map<std::string, std::string> shot;
    for (const std::string& entry : t.List(rel)) {
        const char kind = entry.back();
        const std::string path =
            rel + "/" + (kind == '@' ? entry.substr(0, entry.size() - 1) : entry);
        std::string state = kind == '/' ? std::string() : std::to_string(t.Mtime(path));
        if (kind == '@') {
            state += " " + t.ReadLink(path);
        } else {
            state += " " + std::to_string(t.Mode(path));
        }
        if (kind != '/' && kind != '@') {
            state += " " + t.ReadFile(path);
        }
        shot[entry] = state;
    }
    return shot;
}

// A recorder that is asked before big deletes, as the window is: it keeps each question and
// says whether it will be answered (by the test's other thread).
class Questioner : public RunRecorder {
  public:
    bool AskBeforeDeleting(const DeleteQuestion& question) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            questions.push_back(question);
        }
        changed.notify_all();
        return willAnswer;
    }
    // Waits until a question was asked or the run ended; the question, if any.
    std::optional<DeleteQuestion> WaitForQuestion() {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, std::chrono::minutes(1), [&] {
            return !questions.empty() || (!events.empty() && events.back().kind == 'd');
        });
        if (questions.empty()) {
            return std::nullopt;
        }
        return questions.front();
    }

    bool willAnswer = true;  // set before the run
    std::vector<DeleteQuestion> questions;
};

// A queue wired to a recorder and a worker on its own thread, as the window has them.
struct ThreadRig {
    explicit ThreadRig(FileSystem& fs = DefaultFileSystem()) : backup(queue, fs) {
        queue.m_pPageLog = &recorder;
        queue.m_pSheet = &recorder;
        queue.m_pThread = &backup;
        backup.SetClock([] { return time_t{920297109}; });  // Mon Mar 01 14:05:09 1999 UTC
        backup.Start();
    }
    ~ThreadRig() { backup.Stop(); }
    // Runs the queued jobs and waits for the end of the run, which is the `run`th; then clears
    // the running flag as the sheet does when the notice arrives.
    void RunQueued(int run, ExtraFileAction action, const std::string& recycle = std::string()) {
        ASSERT_TRUE(queue.StartRun(action, recycle));
        ASSERT_TRUE(recorder.WaitForDone(run));
        queue.m_bRunning = false;
    }

    CJobQueue queue;
    Questioner recorder;
    CBackup backup;
};

// Stop mid-run (after a chosen number of copies were begun), or just as a run ends: the copies
// finished have their source's time, the one in flight left the file it would have replaced as
// it was, no temporary is left, nothing looks up to date that is not, and the next run on the
// same queue does the rest.
TEST(RunControl, AStopLeavesNothingHalfDoneAndTheNextRunFinishesTheWork) {
    constexpr int kAsTheRunEnds = 0;
    for (int stopAt : {1, 6, 12, kAsTheRunEnds}) {
        SCOPED_TRACE(stopAt);
        TempTree t;
        int64_t time = int64_t{1'600'000'000} * 1'000'000'000;
        for (int dir = 0; dir < 3; ++dir) {
            t.MakeDir("s/d" + std::to_string(dir));
            t.MakeDir("d/d" + std::to_string(dir));
            for (int file = 0; file < 4; ++file) {
                const std::string rel = "d" + std::to_string(dir) + "/f" + std::to_string(file);
                t.WriteFile("s/" + rel, "new " + rel, time += 1'000'000'000);
                if (file % 2 == 0) {  // an older copy the run replaces
                    t.WriteFile("d/" + rel, "old", time - 500'000'000'000);
                }
            }
        }
        t.WriteFile("d/extra", "gone after a run that ends");

        FailingFileSystem fs;
        ThreadRig rig(fs);
        int copies = 0;  // worker thread only
        fs.SetHook([&](const FailingFileSystem::Call& call) {
            if (call.op == FailingFileSystem::Op::kCopyFile && ++copies == stopAt) {
                rig.queue.StopRun();  // the Stop button
            }
        });
        if (stopAt == kAsTheRunEnds) {
            rig.recorder.onDone = [&] { rig.queue.StopRun(); };  // pressed as the run ends
        }
        rig.queue.AddJob(t.Path("s"), t.Path("d"), 0);
        rig.queue.AddJob(t.Path("s"), t.Path("d"), 0);  // dropped by the stop
        rig.RunQueued(1, kActionDelete);
        rig.recorder.onDone = nullptr;
        EXPECT_EQ(rig.queue.GetJobCount(), 0);

        int upToDate = 0;
        for (const std::string& rel : t.List("d")) {
            ASSERT_EQ(rel.find(".tmp"), std::string::npos) << rel;
            if (rel.back() == '/' || rel == "extra") {
                continue;
            }
            if (t.ReadFile("d/" + rel) == "new " + rel) {
                EXPECT_EQ(t.Mtime("d/" + rel), t.Mtime("s/" + rel)) << rel;
                ++upToDate;
            } else {
                EXPECT_EQ(t.ReadFile("d/" + rel), "old") << rel;
                EXPECT_LT(t.Mtime("d/" + rel), t.Mtime("s/" + rel)) << rel;
            }
        }
        EXPECT_EQ(upToDate, stopAt == kAsTheRunEnds ? 12 : stopAt - 1);

        // Go again: the same queue and worker finish the work.
        t.WriteFile("s/late", "made after the first run");
        rig.queue.AddJob(t.Path("s"), t.Path("d"), 0);
        rig.RunQueued(2, kActionDelete);
        EXPECT_EQ(Snapshot(t, "d"), Snapshot(t, "s"));
    }
}

// A preview writes the very lines the real run after it writes, under a header that says it is
// a preview and is as wide, and changes nothing: not the trees, not the log file, not the
// setting that the log is kept.
TEST(RunControl, APreviewWritesTheRunsLinesAndChangesNothing) {
    for (ExtraFileAction action : {kActionKeep, kActionDelete, kActionMove}) {
        SCOPED_TRACE(action);
        TempTree t;
        t.MakeDir("s/tree/deeper");
        t.MakeDir("d/gone/deep");
        t.MakeDir("d/clash");
        t.MakeDir("r");
        t.WriteFile("s/new.txt", "new");
        t.WriteFile("s/newer.txt", "newer", 9 * 1000000000LL);
        t.WriteFile("d/newer.txt", "older", 1 * 1000000000LL, 0444);
        t.WriteFile("s/tree/deeper/leaf", "leaf");
        t.WriteFile("s/clash", "a file where the destination has a directory");
        t.WriteFile("d/clash/inside", "i");
        t.WriteFile("d/gone/deep/old", "old");
        t.WriteFile("d/extra", "extra");
        t.WriteFile("r/extra", "moved by an earlier run");  // the move takes "extra.~1~"
        // Left by a copy that was killed (no process has that id): a run clears it.
        t.WriteFile("d/.tandrel-4999999-0123456789abcdef.tmp", "stale");
        t.WriteFile("run.log", "the last run's lines");
        const auto before = std::make_tuple(Snapshot(t, "s"), Snapshot(t, "d"), Snapshot(t, "r"));

        ThreadRig rig;
        rig.queue.m_strLogFileName = t.Path("run.log");
        rig.queue.m_bLogEnabled = true;
        rig.queue.AddJob(t.Path("s"), t.Path("d"), 0);
        ASSERT_TRUE(rig.queue.StartRun(action, t.Path("r"), RunKind::kPreview));
        ASSERT_TRUE(rig.recorder.WaitForDone(1));
        rig.queue.m_bRunning = false;
        EXPECT_EQ(std::make_tuple(Snapshot(t, "s"), Snapshot(t, "d"), Snapshot(t, "r")), before);
        EXPECT_EQ(t.ReadFile("run.log"), "the last run's lines");
        EXPECT_TRUE(rig.queue.m_bLogEnabled);
        std::vector<std::string> preview = rig.recorder.lines;

        rig.queue.AddJob(t.Path("s"), t.Path("d"), 0);
        rig.RunQueued(2, action, t.Path("r"));
        std::vector<std::string> real(rig.recorder.lines.begin() + preview.size(),
                                      rig.recorder.lines.end());
        EXPECT_EQ(t.ReadFile("d/new.txt"), "new");  // the real run did its work

        ASSERT_GE(preview.size(), 2u);
        ASSERT_EQ(preview.size(), real.size());
        EXPECT_EQ(preview.front(), "(Preview Mon Mar 01 14:05:09 1999) " + std::string(92, '-'));
        EXPECT_EQ(preview.front().size(), real.front().size());
        EXPECT_EQ(real.front(), CBackup::FormatHeader(920297109));
        preview.erase(preview.begin());
        real.erase(real.begin());
        EXPECT_EQ(preview, real);
        EXPECT_NE(t.ReadFile("run.log").find(real.front()), std::string::npos);
    }
}

// A job that would delete or move more entries than the run allows without asking asks, and
// waits for the answer given on another thread, or for a stop or close of the run.
TEST(RunControl, AJobOverTheThresholdAsksAndWaitsForTheAnswer) {
    enum class Response { kNone, kProceed, kSkip, kStop, kClose, kCannotAsk };
    struct Case {
        const char* name;
        ExtraFileAction action;
        int64_t askAbove;
        Response response;  // kNone: no question expected
        bool extrasGo;
        RunKind kind = RunKind::kRun;
    };
    const Case cases[] = {
        {"over the limit, skipped", kActionDelete, 3, Response::kSkip, false},
        {"over the limit, confirmed", kActionDelete, 3, Response::kProceed, true},
        {"a move over the limit, skipped", kActionMove, 3, Response::kSkip, false},
        {"at the limit", kActionDelete, 4, Response::kNone, true},
        {"never asking", kActionDelete, 0, Response::kNone, true},
        {"keeping", kActionKeep, 1, Response::kNone, false},
        {"stopped while asking", kActionDelete, 3, Response::kStop, false},
        {"closed while asking", kActionDelete, 3, Response::kClose, false},
        {"no one to ask", kActionDelete, 3, Response::kCannotAsk, false},
        // A preview deletes nothing, so it shows what would go instead of asking.
        {"a preview", kActionDelete, 3, Response::kNone, false, RunKind::kPreview},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        t.MakeDir("s");
        t.MakeDir("d/xd");
        t.MakeDir("d2");
        t.MakeDir("r");
        t.WriteFile("s/same.txt", "same", 5 * 1000000000LL);
        t.WriteFile("d/same.txt", "same", 5 * 1000000000LL);
        t.WriteFile("s/new.txt", "new");
        t.WriteFile("d/x1", "1");
        t.WriteFile("d/x2", "2");
        t.WriteFile("d/xd/x3", "3");  // with its directory: four extra entries

        ThreadRig rig;
        rig.queue.m_nAskAbove = c.askAbove;
        rig.recorder.willAnswer = c.response != Response::kCannotAsk;
        rig.queue.AddJob(t.Path("s"), t.Path("d"), 0);
        rig.queue.AddJob(t.Path("s"), t.Path("d2"), 0);  // dropped by a stop or close
        std::thread answering([&] {
            const std::optional<DeleteQuestion> q = rig.recorder.WaitForQuestion();
            if (!q.has_value() || c.response == Response::kCannotAsk) {
                return;
            }
            if (c.response == Response::kProceed || c.response == Response::kSkip) {
                EXPECT_TRUE(rig.queue.AnswerDeleteQuestion(q->id, c.response == Response::kProceed
                                                                      ? DeleteAnswer::kProceed
                                                                      : DeleteAnswer::kSkip));
            } else if (c.response == Response::kStop) {
                rig.queue.StopRun();
            } else if (c.response == Response::kClose) {
                rig.backup.Stop();  // as the window's close does: cancels and joins
            }
        });
        ASSERT_TRUE(rig.queue.StartRun(c.action, t.Path("r"), c.kind));
        const bool done = rig.recorder.WaitForDone(1);
        answering.join();
        ASSERT_TRUE(done);

        const std::vector<DeleteQuestion> questions = rig.recorder.questions;
        if (c.response == Response::kNone) {
            EXPECT_TRUE(questions.empty());
        } else {
            ASSERT_EQ(questions.size(), 1u);
            const DeleteQuestion& q = questions.front();
            EXPECT_EQ(q.source, t.Path("s/"));
            EXPECT_EQ(q.dest, t.Path("d/"));
            EXPECT_EQ(q.entries, 4);
            EXPECT_EQ(q.held, 6);  // the copy of new.txt is made before the question
            EXPECT_EQ(q.action, c.action);
            // An answer after the question is over changes nothing.
            EXPECT_FALSE(rig.queue.AnswerDeleteQuestion(q.id, DeleteAnswer::kProceed));
        }
        const bool stopped = c.response == Response::kStop || c.response == Response::kClose;
        EXPECT_EQ(t.Exists("d/x1"), !c.extrasGo);
        EXPECT_EQ(t.Exists("d/xd/x3"), !c.extrasGo);
        EXPECT_TRUE(t.List("r").empty());
        const bool preview = c.kind == RunKind::kPreview;
        // The copies are made whatever the answer.
        EXPECT_EQ(t.Exists("d/new.txt"), !preview);
        EXPECT_EQ(t.Exists("d2/new.txt"), !stopped && !preview);
        const std::string refusal =
            "!Skip: " + t.Path("s/") + " => " + t.Path("d/") + " (4 entries would be " +
            (c.action == kActionMove ? "moved" : "deleted") +
            ", more than the 3 allowed without asking; " +
            (c.response == Response::kSkip ? "skipped when asked" : "no one could be asked") + ")";
        const bool refused = c.response == Response::kSkip || c.response == Response::kCannotAsk;
        const std::vector<std::string>& lines = rig.recorder.lines;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), refusal), refused ? 1 : 0);
    }
}

}  // namespace
}  // namespace tandrel
