#pragma once

#include <cstdint>
#include <string>

namespace tandrel {

// The outcome of one run, counted from its run lines as the worker writes them, so that the
// numbers always agree with the lines: each is the number of lines of its kind.
//
// A dry run counts what the run would do (its lines are the real run's). A stopped run counts
// what was done before it stopped.
struct RunSummary {
    int64_t copied = 0;    // " Copy:" lines: files and links copied
    int64_t deleted = 0;   // " Delete:" lines: files and links deleted (an emptied directory
                           // removed after them has no line and is not counted)
    int64_t moved = 0;     // " Move:" lines: files and links moved into the recycle directory
    int64_t failed = 0;    // "!" lines other than refusals: operations that failed
    int64_t refused = 0;   // "!Skip:" lines: jobs (or a job's deletes) the engine refused
    bool stopped = false;  // the run was stopped before its end

    // Whether anything went wrong: a failure or a refusal.
    bool HasProblems() const { return failed > 0 || refused > 0; }
};

// The counts in words, always all of them in this order:
// "12 copied, 3 deleted, 0 moved, 1 failed, 1 job refused" ("N jobs refused" for any other
// number). Whether the run was stopped is not part of it.
std::string SummaryText(const RunSummary& summary);

}  // namespace tandrel
