#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "RunConstants.h"
#include "RunSummary.h"

namespace tandrel {

// Where run lines go: the Status page in the window, standard output in tandrel-cli.
// AddLine is called on the worker thread, once per line, in order. It must take its own copy
// of the line and return without waiting for any other thread.
class ILineSink {
  public:
    virtual ~ILineSink() = default;
    virtual void AddLine(std::string_view line) = 0;
};

// A job of the run would delete or move more destination entries than the run lets go without
// asking. Roots are shown as the run lines show them (with their trailing '/').
struct DeleteQuestion {
    uint64_t id = 0;  // handed back with the answer (CJobQueue::AnswerDeleteQuestion)
    std::string source;
    std::string dest;
    int64_t entries = 0;  // that would be deleted or moved, counted as the delete limit counts
    int64_t held = 0;     // that the destination holds, counted the same way
    ExtraFileAction action = kActionDelete;  // kActionMove: they would be moved, not deleted
};

// The progress bar and the end-of-run notice: the main sheet in the window, the terminal in
// tandrel-cli. Called on the worker thread; no call may wait for another thread. Range and
// position changes must reach the display in the order they were made, and the notice given by
// PostJobsDone must arrive after the last of them.
class IRunMonitor {
  public:
    // The upper bound while the files are still being counted beside the walk: the total is
    // not known yet (a bar shows that it is busy, a count shows no total). The real range
    // follows once the count is in, at a later step or at the end of the run, so positions may
    // come before it; a stopped run may never get it.
    static constexpr int kCounting = -1;

    virtual ~IRunMonitor() = default;
    virtual void SetProgressRange(int lower, int upper) = 0;
    virtual void SetProgressPos(int pos) = 0;
    // False when the progress is shown nowhere (tandrel-cli writing to no terminal): the run
    // then does not list every directory a second time to count the files for the range, and
    // sets no range.
    virtual bool ShowsProgress() const { return true; }
    // The run is over (the UM_JOBS_DONE notice). The receiver clears the queue's running flag
    // on its own thread.
    virtual void PostJobsDone() = 0;
    // How the run went, counted from its lines: called once per run, after the last progress
    // change and just before PostJobsDone. The receiver takes its own copy.
    virtual void RunEnded(const RunSummary& summary) { static_cast<void>(summary); }

    // A job was refused as a whole: nothing of it was deleted or moved. `line` is the run line
    // that says so and why ("!Skip: SOURCE => DEST (reason)"), written already. A display that
    // shows every run line anyway may ignore this.
    virtual void JobRefused(JobRefusal why, std::string_view line) {
        static_cast<void>(why);
        static_cast<void>(line);
    }
    // A job waits for another run that uses its destination or recycle directory; `line` is
    // the run line that says so, written already. It goes on once that run has ended.
    virtual void JobWaits(std::string_view line) { static_cast<void>(line); }
    // A job would delete or move more entries than CJobQueue::m_nAskAbove: the worker waits,
    // before it touches the first of them, for CJobQueue::AnswerDeleteQuestion with
    // `question.id`, or for the run to be stopped. This call must return without waiting for
    // the answer (it may give it before it returns). True when the question is put to someone
    // who will answer it; false when it cannot be asked: the deletes or moves are then skipped
    // as if the answer were to skip them. Nothing that cannot answer asks no one, so the
    // default says it cannot be asked.
    virtual bool AskBeforeDeleting(const DeleteQuestion& question) {
        static_cast<void>(question);
        return false;
    }
};

}  // namespace tandrel
