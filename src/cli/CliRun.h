#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CJobQueue.h"
#include "RunConstants.h"

namespace tandrel {

// Exit statuses of tandrel-cli.
inline constexpr int kExitOk = 0;        // no run line carries the "!" mark
inline constexpr int kExitFailures = 1;  // at least one does (or the output could not be written)
inline constexpr int kExitUsage = 2;     // bad usage or a refused job: nothing was done
inline constexpr int kExitInterrupted = 130;

// What a job leaves out, as given on the command line.
struct FilterOptions {
    std::vector<std::string> exclude;  // --exclude PATTERN and --exclude-from FILE, in order
    bool includeHidden = false;        // --include-hidden
};

// Takes a filter option at args[*i] (--exclude PATTERN, --exclude-from FILE,
// --include-hidden), moving *i past its argument. 1 taken, 0 not a filter option, -1 bad
// usage with a message in `error`: a missing argument, a pattern that cannot be used, or a file
// that cannot be read.
int TakeFilterOption(const std::vector<std::string>& args, size_t* i, FilterOptions* filter,
                     std::string* error);

struct RunOptions {
    ExtraFileAction action = kActionKeep;
    std::string recycle;            // with kActionMove
    std::string logFile;            // empty: no log file
    bool allowEmptySource = false;  // --allow-empty-source
    int64_t maxDelete = -1;         // --max-delete N; negative: no limit
    bool noWait = false;            // --no-wait: refuse a job another run holds
    bool dryRun = false;            // --dry-run: print the lines, change nothing
    FilterOptions filter;           // --exclude, --exclude-from, --include-hidden
};

// Takes the run options (--keep | --delete | --move RECYCLE, --log FILE, --allow-empty-source,
// --max-delete N, --no-wait, --dry-run, and the filter options) out of `args`; the
// other arguments go to `positional` in order. "--" ends the options, so that paths beginning
// with a dash can be given. False with a message in `error` on bad usage.
bool ParseRunOptions(const std::vector<std::string>& args, RunOptions* options,
                     std::vector<std::string>* positional, std::string* error);

// Runs the jobs queued in `queue` as one run with `options`, on a worker thread: every run line
// goes to standard output, progress to stderr when it is a terminal, and at the end one line
// on stderr sums the run up ("tandrel-cli: 2 copied, 0 deleted, 0 moved, 1 failed, 0 jobs
// refused", after "dry run: " and/or "stopped: " where that applies). Ctrl-C stops the run.
// Returns the exit status (kExitOk, kExitFailures or kExitInterrupted; kExitUsage when a job
// was refused because another run held its directories and the run was not to wait).
int RunQueuedJobs(CJobQueue& queue, const RunOptions& options);

// Prints "tandrel-cli: <message>" on stderr.
void PrintError(const std::string& message);

// Checks that `path` names a directory a run can use, as the window checks a typed directory.
// On failure prints which directory (`fieldId`: the source, destination or recycle field),
// its name shown escaped, and why ("tandrel-cli: source directory '/x' not found"), and
// returns false.
bool CheckDirectoryArg(const std::string& path, int fieldId);

}  // namespace tandrel
