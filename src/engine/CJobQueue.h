#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "FileSystem.h"
#include "PathFilter.h"
#include "RunConstants.h"
#include "RunSinks.h"

namespace tandrel {

class CBackup;
class CPageBatch;

// The jobs waiting to be run, the settings of the current run, the log file, and the links
// the engine needs to the rest of the program. One instance, theJobQueue, lives for the whole
// process; tests make their own.
//
// Threads: the user-interface thread adds jobs and starts a run while m_bRunning is clear;
// the worker takes the jobs out while it handles UM_RUN_JOBS. The job lists are guarded by a
// mutex all the same, so that a stop request or a test on another thread cannot tear them.
// The log members and the file system are set by the user-interface thread only while no run is
// going.
class CJobQueue {
  public:
    CJobQueue();
    virtual ~CJobQueue();
    CJobQueue(const CJobQueue&) = delete;
    CJobQueue& operator=(const CJobQueue&) = delete;

    // Queues one job. Both roots get a trailing '/' when they lack one. Flag is carried
    // through unchanged; the run does not act on it. `filter` (compiled by the caller, which
    // tells the user about a pattern that cannot be used before anything is queued) says what
    // the job leaves out; by default names beginning with "." and nothing else.
    void AddJob(const std::string& source, const std::string& dest, int flag,
                PathFilter filter = PathFilter());
    // Takes the oldest job out: 1, or 0 (changing nothing) when the queue is empty. `filter`,
    // when given, receives the job's filter.
    JobPresence GetNextJob(std::string* source, std::string* dest, int* flag,
                           PathFilter* filter = nullptr);
    int GetJobCount() const;
    // Copies of the queued roots and filters, oldest first (the run loop counts their files).
    std::deque<std::string> SourceRoots() const;
    std::deque<std::string> DestRoots() const;
    std::deque<PathFilter> Filters() const;

    // Sets the running flag, the run's action and recycle directory (a trailing '/' added to a
    // non-empty one; an empty one stays empty) and kind, and posts UM_RUN_JOBS to the worker.
    // Returns whether the post reached a running worker. A preview runs the same jobs with the
    // same action and recycle directory through a file system that changes nothing
    // (DryRunFileSystem): its lines are the run's, under headers marked as a preview, and
    // none goes to the log file.
    bool StartRun(ExtraFileAction action, const std::string& recycleDir,
                  RunKind kind = RunKind::kRun);
    // Stops the current run as closing the window does (CBackup::CancelRun); the worker stays,
    // ready for the next StartRun. Harmless when no run is going. User-interface thread.
    void StopRun();
    // The answer to the question IRunMonitor::AskBeforeDeleting put with `id`. False (and
    // nothing done) when that question is no longer waiting: answered before, or its run
    // stopped. Any thread.
    bool AnswerDeleteQuestion(uint64_t id, DeleteAnswer answer);

    // The file system the log file goes through, and the one callers hand CheckDirectory
    // (DefaultFileSystem() unless a test sets another, which must outlive the queue or the next
    // SetFileSystem).
    void SetFileSystem(FileSystem& fs) { m_pFileSystem = &fs; }
    FileSystem& GetFileSystem() const { return *m_pFileSystem; }

    // Hands `line` to the Status page and, when logging is enabled, appends it to the log
    // file (opened at the first line that needs it, and emptied the first time this process
    // opens that name). The open file stays in use, through later changes of the name and
    // logging switched off and on, until a line cannot be written. A log file that cannot be
    // opened (not a regular file, say) or written switches logging off and is let go; the line
    // still reaches the Status page. Switched on again, logging opens the name set by then
    // (continuing a file this process already opened). Worker thread.
    void WriteLine(std::string_view line);
    // Writes the log file's buffer out; a failure switches logging off. Called by the worker at
    // the end of each job.
    void FlushLog();

    // Directory checks used before a job is queued: 0 the directory exists, 1 the name is
    // empty, 2 not found (missing, not a directory, or not readable), looked at through `fs`.
    // A name that is a link to a directory is fine. Any thread.
    static DirCheckResult CheckDirectory(const std::string& path,
                                         FileSystem& fs = DefaultFileSystem());
    // The text a failed check shows, "!" dropped: e.g. "Error: Directory name of 'To' not
    // found...". `fieldId` is the string id of the field's name (3008, 3009, 3010).
    static std::string DirectoryErrorText(DirCheckResult result, int fieldId);

    CBackup* m_pThread = nullptr;
    std::string m_strRecycleDir;
    ExtraFileAction m_nRunAction = kActionKeep;
    ILineSink* m_pPageLog = nullptr;
    CPageBatch* m_pPageBatch = nullptr;
    IRunMonitor* m_pSheet = nullptr;
    std::string m_strLogFileName;
    std::atomic<bool> m_bLogEnabled{false};
    std::atomic<bool> m_bRunning{false};
    // Gates of the run, set while no run is going. With Delete, a job whose source holds
    // nothing while its destination holds something is refused unless m_bAllowEmptySource;
    // a job that would delete more than m_nMaxDelete entries (files, links and directories)
    // is refused before its first delete (negative: no limit). With m_bWaitForOtherRuns
    // clear, a job whose destination or recycle directory another run holds is refused
    // instead of waiting.
    bool m_bAllowEmptySource = false;
    int64_t m_nMaxDelete = -1;
    bool m_bWaitForOtherRuns = true;
    // A job that would delete or move more than m_nAskAbove destination entries (counted as
    // for m_nMaxDelete) asks IRunMonitor::AskBeforeDeleting first and waits for the answer;
    // 0 never asks. Set while no run is going.
    int64_t m_nAskAbove = 0;
    // The kind of the run going (or last run), set by StartRun.
    RunKind m_nRunKind = RunKind::kRun;

  private:
    // Stops logging and lets the failed log file go.
    void DropLog();

    mutable std::mutex m_mutex;
    std::deque<std::string> m_listSource;
    std::deque<std::string> m_listDest;
    std::deque<int> m_listFlag;
    std::deque<PathFilter> m_listFilter;
    FileSystem* m_pFileSystem = &DefaultFileSystem();
    std::unique_ptr<LogFile> m_logFile;
    // The log names this process has opened: opened again after a failure, they are
    // continued, not emptied.
    std::set<std::string> m_logNamesOpened;
};

// Appends '/' to a non-empty path that does not end with one.
std::string WithTrailingSlash(std::string path);

extern CJobQueue theJobQueue;

}  // namespace tandrel
