#pragma once

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "DestFileTable.h"
#include "DestIndex.h"
#include "DestRules.h"
#include "DryRunFileSystem.h"
#include "ExtraTree.h"
#include "FileSystem.h"
#include "NextDirectory.h"
#include "PathFilter.h"
#include "ReadAhead.h"
#include "RunConstants.h"
#include "RunLock.h"
#include "RunSinks.h"
#include "RunSummary.h"
#include "SideThread.h"
#include "TreeCursor.h"
#include "WakeEvent.h"

namespace tandrel {

class CJobQueue;

// The worker: a thread with its own small message queue that waits for UM_RUN_JOBS and then
// runs every job in the job queue, one after the other, framing each job's lines with a
// time-stamped header and a separator, driving the progress display, and announcing the end
// of the run with IRunMonitor::PostJobsDone.
//
// Threads: Start, PostThreadMessage, CancelRun, Stop and the destructor are called on the
// controlling (user-interface) thread. OnRunJobs and everything below it run on the worker
// thread, or on the caller's thread when a test calls them directly with no thread started.
class CBackup {
  public:
    explicit CBackup(CJobQueue& queue, FileSystem& fs = DefaultFileSystem());
    ~CBackup();  // Stop()
    CBackup(const CBackup&) = delete;
    CBackup& operator=(const CBackup&) = delete;

    // Starts the thread; it waits for UM_RUN_JOBS.
    void Start();
    // Queues a message for the worker. Only UM_RUN_JOBS is understood. False when the thread
    // is not running or the message is unknown. A run posted after a CancelRun is not stopped
    // by it: a stop that arrives as a run ends cannot stop the next one. (The queue posts a
    // run only while none is going.)
    bool PostThreadMessage(int message);
    // Ends the current run as soon as possible: the copy in flight is abandoned (its temporary
    // removed, the destination file left as it was), the copies already finished are flushed
    // to the disk and given their real times as at the end of any job, the job's separator is
    // still written, the remaining jobs are dropped, and the run ends as usual with the bar
    // reset and the notice posted. A question before deleting that is waiting for its answer
    // is given up: nothing of that job is deleted or moved. Harmless when no run is going.
    // Any thread; async-signal-safe.
    void CancelRun();
    // The answer to the question asked with `id` (IRunMonitor::AskBeforeDeleting); false when
    // no question with that id is waiting. Any thread.
    bool AnswerDeleteQuestion(uint64_t id, DeleteAnswer answer);
    // Cancels any run, ends the thread and waits for it. Idempotent.
    void Stop();

    // How the directories coming are read ahead on a cold cache (see ReadAhead); tests switch
    // it on without a slow disk. Takes effect with the next job.
    void SetReadAhead(const ReadAhead::Settings& settings) { m_readAhead.SetSettings(settings); }

    // The clock that stamps the run header; tests fix it.
    void SetClock(std::function<time_t()> clock) { m_clock = std::move(clock); }

    // The run loop for one UM_RUN_JOBS.
    void OnRunJobs();
    // Number of non-directory entries in all the trees (names beginning with "." included;
    // links are entries, never followed). With `filters` (one per root, in the same order),
    // what a root's filter excludes is not counted nor entered, and a filter that includes
    // names beginning with "." has their directories entered too.
    int CountFiles(const std::deque<std::string>& roots,
                   const std::deque<PathFilter>& filters = {});
    // One job: brings destination root `dest` up to date with source root `source` and applies
    // `action` to the extra destination entries, writing one run line per file operation.
    // Both roots end with '/'. `recycle` is used only when action is kActionMove. A job whose
    // trees overlap (or whose recycle directory cannot be placed) gets one "!Skip" line with
    // the reason; a root that cannot be listed one "!Read" line with the reason; in both cases
    // nothing else happens. `filter` says what takes part: what it leaves out is neither copied
    // from the source nor deleted or moved from the destination, and its directories are not
    // entered.
    void MirrorTree(const std::string& source, const std::string& dest, ExtraFileAction action,
                    const std::string& recycle, const PathFilter& filter = PathFilter());

    // The header line of a run started at `start`: "(Mon Mar 01 14:05:09 1999) " + 100 "-".
    // A preview's says so, and is as wide: "(Preview Mon Mar 01 14:05:09 1999) " + 92 "-".
    static std::string FormatHeader(time_t start, RunKind kind = RunKind::kRun);

  private:
    // A waiting source directory of the walk. `blocked` marks one whose destination cannot
    // take it (a file or link stands where it or a directory above it should be, or it would
    // land in the recycle directory): the copies of its files fail without touching the disk,
    // so nothing is ever written through a link.
    struct Pending {
        std::string rel;  // relative to the roots, ending with '/'
        EntryKind kind = EntryKind::kDirectory;
        bool blocked = false;
    };
    // The source file at hand, as a view of the directory being matched.
    struct SourceFile {
        const std::string& parent;  // its directory relative to the roots ('/' ended, or empty)
        const std::string& name;
        EntryKind kind;
        bool blocked;                     // as for its directory (Pending)
        std::optional<int64_t> mtime_ns;  // as the listing found it, when it was looked up
    };

    enum class Side { kSource, kDest };
    // Lists root + prefix through the side's open directories; an error (with nothing added)
    // when it cannot be opened or listed. *dir is then the directory listed.
    Status List(Side side, const std::string& prefix, DirListing* entries,
                const DirHandle** dir = nullptr);
    // Lists both roots at once, the destination's on the side thread, and looks up their files'
    // times, where the file system may be read from two threads and the destination's root
    // opens; false (nothing read) otherwise. *srcRead and *dstRead then say how each listing
    // went; a failed one is left empty.
    bool ReadRootsTogether(const DirHandle** srcRoot, DirListing* dstEntries,
                           const DirHandle** dstRoot, Status* srcRead, Status* dstRead);
    // Lists the destination directory `rel`, whose source directory `srcDir` listed
    // `srcEntries`. In a directory large enough for it to pay, the times of the files of both
    // listings are looked up as well, the destination's on the side thread while the source's
    // are on this one. An error (with nothing listed) as for List.
    Status ListDestination(const std::string& rel, const DirHandle& srcDir, DirListing* srcEntries,
                           DirListing* dstEntries, const DirHandle** dstDir);
    // Opens the root of `tree` at `op`, the job's root `shown` as the disk operations reach it;
    // an error saying why it cannot be.
    Status OpenJobRoot(TreeCursor& tree, const std::string& shown, const std::string& op);
    // Learns the destination's case rule from the listing `entries` of its directory `dir`,
    // unless it is known, and matches names by it from then on.
    void LearnCase(const DirHandle& dir, const DirListing& entries);
    // Whether the entry at `rel` (no trailing '/') takes part in the job, under its filter and
    // the destination's case rule.
    bool TakesPart(std::string_view rel, bool isDir) const {
        return m_filter.TakesPart(rel, isDir, m_destVolume.case_insensitive);
    }
    // Makes the listing of the source directory `prefix` in m_srcListing the one whose files
    // are matched next, and queues its directories that take part.
    void AddSourceEntries(const std::string& prefix, bool blocked);
    // Takes in the listing `entries` of the destination directory `prefix`, open as `dir` (its
    // stale temporaries are removed). `extraDir`, when that directory is extra, is its number
    // in phase 2's ExtraTree: its entries then go straight to the extra lists and keep only
    // their names. Otherwise `entries` is m_dstFiles' listing, and its files are matched
    // against the source's of the same directory.
    void AddDestEntries(const std::string& prefix, const DirListing& entries, const DirHandle& dir,
                        size_t extraDir);
    // Ends the matching of the directory at hand: the destination files its source files did
    // not match join the extra files, in listing order.
    void FinishDirectoryFiles();
    // Whether a destination file listed so far is still unmatched.
    bool AnyDestFileUnmatched() const {
        return !m_listDstFiles.empty() || m_dstFiles.Unmatched() != 0;
    }
    // Sets up the per-job roots below. An error, whose reason says why, when the recycle
    // directory's place in the destination cannot be worked out (the job is then refused).
    Status ResolveRoots(const std::string& source, const std::string& dest, ExtraFileAction action,
                        const std::string& recycle);
    void MirrorFiles(ExtraFileAction action);
    void EnterDirectory(const Pending& dir);
    // Starts reading `next` on the side thread (NextDirectory) when the walk may: a file system
    // read from two threads, and a destination that tells names apart by case (where two
    // source directories never share one destination directory).
    void ReadNextDirectory(const Pending& next);
    // Whether `rel` is the recycle directory inside the destination.
    bool IsRecycleRel(const std::string& rel) const;
    // Creates the destination directory `rel` for the source directory `srcDir`; false when
    // something already stands there.
    bool CreateDestDirectory(const std::string& rel, const DirHandle& parent,
                             const DirHandle& srcDir);
    void CopyOne(const SourceFile& file);
    // Why the blocked source entry `rel` cannot be copied.
    Status BlockedReason(const std::string& rel);
    // Whether the source file is newer than the destination file of the same name, at the
    // destination's time precision. `dstTime` is the destination's time as its listing found it.
    bool IsNewer(const SourceFile& file, const std::optional<int64_t>& dstTime);
    // The recycle directory's level for the relative directory `rel`, with every missing level
    // created (with the bits of the destination directory it mirrors: it opens destination
    // directories, so a destination handle held from before must be opened again); nullptr
    // when there is no recycle directory or a level is not a real directory, *why then saying
    // which.
    const DirHandle* RecycleLevel(const std::string& rel, Status* why);
    void ExtraEntries(ExtraFileAction action);
    // Removes the directories of `dirs` that are empty by now, from the back (children were
    // listed after their parents), until the run is stopped.
    void RemoveExtraDirectories(ExtraTree* dirs);
    // The gates of a job (RunGates.cpp). RefuseJob is the one place a refusal is written: one
    // line "!Skip: SOURCE => DEST (reason)", `reason` shown escaped like a name, handed to the
    // monitor as well.
    void RefuseJob(JobRefusal why, const std::string& reason);
    // With Delete, whether a source root listing `srcEntries` may go on against a destination
    // root listing `dstEntries`: a source that holds nothing empties no backup.
    bool PassesEmptySourceGate(ExtraFileAction action, const DirListing& srcEntries,
                               const DirListing& dstEntries);
    // With Delete and a limit, counts what phase 2 would delete (the extra files and links, the
    // extra directories and everything in them that takes part) and refuses the deletes when
    // that is more than the limit. Then, with Delete or Move and more of them than the run
    // lets go without asking, asks (AskBeforeDeleting) and waits for the answer; a skip, a
    // question that cannot be asked and a stop while waiting all refuse the deletes or moves.
    bool PassesDeleteGates(ExtraFileAction action);
    int64_t CountExtraEntries();
    // The entries of the destination, counted as CountExtraEntries counts them.
    int64_t CountDestEntries();
    // Puts `question` to the monitor and waits for its answer or a stop; nothing when it
    // cannot be asked, kSkip when the run was stopped or waiting failed.
    std::optional<DeleteAnswer> Ask(DeleteQuestion question);
    // Looks at the disk through `fs` from now on (the walk, the counts, the checks).
    void UseFileSystem(FileSystem& fs);
    // Takes the run locks of the job's destination and (with Move) recycle directory, in the
    // order of their identities so that two runs can never hold one each and wait for the
    // other. While another run holds one, the job waits (saying so once) or, when the run does
    // not wait, is refused. False when the job must not go on (refused, or the run was
    // stopped while waiting); the locks are released at the end of the job.
    bool TakeRunLocks(ExtraFileAction action);
    // Finds where the log file lies, once per run before its first line: one inside a source
    // tree (opening it would empty a source file) switches logging off.
    void PlaceLogFile();
    // Per job: the log file's path relative to the destination and to the recycle directory,
    // when it lies inside them; the walk then leaves it alone there.
    void PlaceLogFileInJob();
    // Whether `rel` (relative to the destination, or with `inRecycle` to the recycle
    // directory) is the log file.
    bool IsLogFile(const std::string& rel, bool inRecycle) const;
    // Gives the directories this job created (in the destination: the source's; in the
    // recycle directory: the destination's) their exact permission bits, deepest first.
    void FinishNewDirectories();
    // Runs `op`, an operation on `name` in `dir`; when it is refused, tries once more with the
    // directory opened for writing (WritingInto) and then with the file made replaceable.
    Status RetryIfLocked(const DirHandle& dir, const std::string& name,
                         const std::function<Status()>& op);
    // Runs `op`, which writes into the destination directory `dir`. When it is refused and the
    // directory's owner may not write into it (a read-only source directory gave it its bits),
    // the directory is opened for its owner, `op` tried once more and the bits put back at once.
    Status WritingInto(const DirHandle& dir, const std::function<Status()>& op);
    // CountFiles through `fs`; it gives up (with what it has) when the run is stopped or the
    // count is told to end. Any thread.
    int CountFilesIn(FileSystem& fs, const std::deque<std::string>& roots,
                     const std::deque<PathFilter>& filters) const;
    // The count for the bar, made only where one is shown. The sources are counted beside the
    // walk on a thread of their own where the file system can be read from two threads: the
    // range is then IRunMonitor::kCounting until the total is in, and set at the first step
    // after that (ApplyCount), so that every monitor call stays on the worker. Elsewhere, and
    // for the destinations (with Delete or Move: the walk writes there), the count is made
    // here, before the walk.
    void StartCount(IRunMonitor* monitor);
    void ApplyCount();
    // At the end of the run: a finished run waits for the count and sets the range if no step
    // has since it came in; a stopped one ends it without setting a range.
    void FinishCount();
    // One more step of the bar.
    void Step();
    // Writes the line of one operation on `a` (and `b`) and counts it in the run's summary:
    // marked with a blank when `outcome` is ok, else with "!" and ending with the reason in
    // parentheses, so that no failure goes without its reason.
    void WriteActionLine(const Status& outcome, int verbId, const std::string& a,
                         const std::string* b);
    bool Cancelled() const { return m_cancel.load(std::memory_order_relaxed); }
    void ThreadMain();

    CJobQueue& m_queue;
    // The file system the worker was given, and the one the current run goes through: the
    // same, or for a preview a DryRunFileSystem over it, made afresh for each preview.
    FileSystem& m_baseFs;
    FileSystem* m_fs;
    std::unique_ptr<DryRunFileSystem> m_preview;
    std::function<time_t()> m_clock;

    // The walk's working lists. The directory being matched (m_hereRel): its source listing,
    // which of its entries are files taking part (nonzero) and the next one to take, whether
    // it is blocked, and its destination files (DestFileTable). Then the source directories
    // waiting, the destination files left extra by the directories done (in listing order,
    // phase 2's list), and the destination directories listed and not yet matched (with an
    // index that finds the first match in list order in O(1)).
    std::string m_hereRel;
    DirListing m_srcListing;
    std::vector<uint8_t> m_srcMirror;
    size_t m_srcNext = 0;
    bool m_srcBlocked = false;
    DestFileTable m_dstFiles;
    std::deque<Pending> m_listSrcDirs;
    std::deque<DestIndex::Entry> m_listDstFiles;
    DestIndex m_listDstDirs;
    int m_nSteps = 0;
    // The count beside the walk: its thread, the flag that ends it early, the sources' total
    // once it is in (-1 before), the destinations' files counted before the walk, and (worker
    // only) whether the range is still to be set from it.
    std::thread m_counter;
    std::atomic<bool> m_countStop{false};
    std::atomic<int> m_countTotal{-1};
    int m_countBase = 0;
    bool m_countPending = false;
    // What the run has done so far, counted as its lines are written.
    RunSummary m_summary;

    // Per job: what takes part.
    PathFilter m_filter;
    // Per job: each root as the run lines show it and as the disk operations use it (a root
    // given as a link is resolved once; nothing below a root is ever followed), how the
    // destination's file system compares names and stores times, and the recycle directory's
    // path relative to the destination when it lies inside it (left out of the walk).
    struct Root {
        std::string shown;
        std::string op;
    };
    Root m_src;
    Root m_dst;
    Root m_rcy;
    VolumeInfo m_destVolume;
    std::string m_recycleRel;
    // What the job learns from the destination itself: its case rule, its time step, and the
    // entries it wrote or entered that must never be taken for extra.
    DestRules m_rules{*m_fs};

    // Per job: the open directories of each tree (see TreeCursor), the directories created
    // whose permission bits are still to be set, and the recycle levels already cleared of
    // stale temporaries (by identity: a path each would take room in proportion to the square
    // of the depth of a chain).
    struct NewDirectory {
        std::string rel;
        mode_t mode;  // the source's bits, set when the job is done
    };
    TreeCursor m_srcTree;
    TreeCursor m_dstTree;
    TreeCursor m_rcyTree;
    // Declared before the side thread, which is joined first.
    NextDirectory m_nextDir;
    SideThread m_side;
    ReadAhead m_readAhead;  // reads from m_srcTree's and m_dstTree's roots until its End
    std::vector<NewDirectory> m_newDirs;
    std::vector<NewDirectory> m_newRecycleDirs;  // the destination directory's bits
    struct IdHash {
        size_t operator()(const FileId& id) const {
            return std::hash<uint64_t>()(id.ino) ^ (std::hash<uint64_t>()(id.dev) << 1);
        }
    };
    std::unordered_set<FileId, IdHash> m_cleanedRecycle;
    std::vector<RunLock> m_locks;
    // The log file of the run (its directory with every link resolved, its place and its name;
    // empty directory when there is no log file) and, per job, its relative paths.
    std::string m_logDir;
    std::string m_logName;
    DirectoryPlace m_logPlace;
    std::string m_logRelDst;
    std::string m_logRelRcy;

    std::atomic<bool> m_cancel{false};
    // The question before deleting: the id of the one waiting (0: none) and its answer, guarded
    // by m_askMutex; m_wake wakes the worker for an answer or a stop.
    WakeEvent m_wake;
    std::mutex m_askMutex;
    uint64_t m_askLast = 0;
    uint64_t m_askWaiting = 0;
    std::optional<DeleteAnswer> m_answer;
    std::thread m_thread;
    std::mutex m_msgMutex;
    std::condition_variable m_msgCv;
    std::deque<int> m_messages;
    bool m_quit = false;
    bool m_started = false;
};

}  // namespace tandrel
