#pragma once

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

// The progress bar and the end-of-run notice: the main sheet in the window, the terminal in
// tandrel-cli. Called on the worker thread; no call may wait for another thread. Range and
// position changes must reach the display in the order they were made, and the notice given by
// PostJobsDone must arrive after the last of them.
class IRunMonitor {
  public:
    virtual ~IRunMonitor() = default;
    virtual void SetProgressRange(int lower, int upper) = 0;
    virtual void SetProgressPos(int pos) = 0;
    // False when the progress is shown nowhere (tandrel-cli writing to no terminal): the run
    // then does not list every directory beforehand to count the files for the range, and
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
};

}  // namespace tandrel
