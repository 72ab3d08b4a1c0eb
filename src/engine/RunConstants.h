#pragma once

#include <cstdint>

namespace tandrel {

// What a run does with destination entries the source no longer has. The pages pass the index
// of the selected radio button (control id minus 2000). The engine tests for 0 and 2 only: any
// other value behaves as Delete.
// The underlying type is fixed, so that such other values can be carried as they were passed.
enum ExtraFileAction : int32_t { kActionKeep = 0, kActionDelete = 1, kActionMove = 2 };

// What CJobQueue::CheckDirectory finds for a typed directory name.
enum DirCheckResult : int32_t { kDirExists = 0, kDirNameEmpty = 1, kDirNotFound = 2 };

// What CJobQueue::GetNextJob hands back: a job taken out of the queue, or none waiting.
enum JobPresence : int32_t { kNoJob = 0, kJobTaken = 1 };

// Why the engine refused a job as a whole (IRunMonitor::JobRefused).
enum class JobRefusal : int32_t {
    kPaths,           // the roots cannot be used together: a name is empty, the trees overlap,
                      // or where a root lies cannot be told
    kEmptySource,     // Delete with a source that holds nothing: the backup would be emptied
    kTooManyDeletes,  // Delete of more entries than the run allows
    kBusy,            // another run holds the destination or recycle directory, and the run
                      // does not wait
    kNotConfirmed,    // the deletes or moves of more entries than the run asks about were not
                      // confirmed (the answer was to skip them, or no one could be asked)
};

// What a run does to the disk: a run changes the destination (and the recycle directory);
// a preview only reads, and writes the lines the run would write.
enum class RunKind : int32_t { kRun, kPreview };

// The answer to IRunMonitor::AskBeforeDeleting.
enum class DeleteAnswer : int32_t {
    kProceed,  // delete or move the entries
    kSkip,     // leave them; the job's copies are made all the same
};

// Messages between the two threads (values kept from the message numbers they stand for).
inline constexpr int UM_RUN_JOBS = 0x0400 + 5;   // to the worker: run what the queue holds
inline constexpr int UM_JOBS_DONE = 0x0400 + 6;  // to the sheet: the run has ended

}  // namespace tandrel
