#pragma once

#include <string_view>

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
    // The run is over (the UM_JOBS_DONE notice). The receiver clears the queue's running flag
    // on its own thread.
    virtual void PostJobsDone() = 0;
};

}  // namespace tandrel
