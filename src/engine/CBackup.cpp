#include "CBackup.h"

#include "CJobQueue.h"
#include "JobCheck.h"
#include "NameText.h"
#include "PathText.h"
#include "ResourceIds.h"
#include "StringTable.h"

#include <pthread.h>
#include <sched.h>

#include <system_error>

namespace tandrel {

namespace {

constexpr int kHeaderDashes = 100;

// The reason a failure line ends with: the failed call's own words (the system's error text
// for a system call), or the engine's for what it refused to do.
std::string FailureReason(const Status& outcome) {
    if (outcome.IsCancelled()) {
        return "stopped before it was done; left as it was";
    }
    if (outcome.reason().empty()) {
        return "failed";  // every error names its reason; this is only a guard
    }
    return outcome.reason();
}

}  // namespace

CBackup::CBackup(CJobQueue& queue, FileSystem& fs)
    : m_queue(queue),
      m_baseFs(fs),
      m_fs(&fs),
      m_clock([] { return time(nullptr); }),
      m_srcTree(fs),
      m_dstTree(fs),
      m_rcyTree(fs) {}

CBackup::~CBackup() {
    Stop();
}

void CBackup::Start() {
    std::lock_guard<std::mutex> lock(m_msgMutex);
    if (m_started) {
        return;
    }
    m_started = true;
    m_quit = false;
    m_thread = std::thread([this] { ThreadMain(); });
}

bool CBackup::PostThreadMessage(int message) {
    if (message != UM_RUN_JOBS) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_msgMutex);
        if (!m_started || m_quit) {
            return false;
        }
        // A stop that came after the last run ended (pressed just as it ended) must not stop
        // this one.
        m_cancel.store(false);
        m_messages.push_back(message);
    }
    m_msgCv.notify_one();
    return true;
}

void CBackup::CancelRun() {
    m_cancel.store(true);
    m_wake.Notify();  // a question waiting for its answer is given up
}

bool CBackup::AnswerDeleteQuestion(uint64_t id, DeleteAnswer answer) {
    {
        std::lock_guard<std::mutex> lock(m_askMutex);
        if (id == 0 || id != m_askWaiting || m_answer.has_value()) {
            return false;
        }
        m_answer = answer;
    }
    m_wake.Notify();
    return true;
}

void CBackup::UseFileSystem(FileSystem& fs) {
    m_fs = &fs;
    m_srcTree.UseFileSystem(fs);
    m_dstTree.UseFileSystem(fs);
    m_rcyTree.UseFileSystem(fs);
    m_rules.UseFileSystem(fs);
}

void CBackup::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_msgMutex);
        if (!m_started) {
            return;
        }
        m_quit = true;
        m_messages.clear();
    }
    m_cancel.store(true);
    m_wake.Notify();
    m_msgCv.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    std::lock_guard<std::mutex> lock(m_msgMutex);
    m_started = false;
}

void CBackup::ThreadMain() {
    for (;;) {
        int message = 0;
        {
            std::unique_lock<std::mutex> lock(m_msgMutex);
            m_msgCv.wait(lock, [this] { return m_quit || !m_messages.empty(); });
            if (m_quit) {
                return;
            }
            message = m_messages.front();
            m_messages.pop_front();
        }
        if (message == UM_RUN_JOBS) {
            OnRunJobs();
        }
    }
}

std::string CBackup::FormatHeader(time_t start, RunKind kind) {
    // The C library's ctime() layout, in the C locale whatever the user's: "Mon Mar 01 14:05:09
    // 1999" (day of month with a leading zero).
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm local {};
    localtime_r(&start, &local);
    char text[64];
    snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %d", kDays[local.tm_wday % 7],
             kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
             local.tm_year + 1900);
    if (kind == RunKind::kPreview) {
        // As wide as a run's header, so that the separator below it is the same too.
        static const std::string kMarker = "Preview ";
        return "(" + kMarker + text + ") " + std::string(kHeaderDashes - kMarker.size(), '-');
    }
    return "(" + std::string(text) + ") " + std::string(kHeaderDashes, '-');
}

void CBackup::OnRunJobs() {
    const RunKind kind = m_queue.m_nRunKind;
    // A preview reads the trees as the run would and changes nothing: every write is only
    // checked and reported as done by a file system made for this preview alone.
    if (kind == RunKind::kPreview) {
        m_preview = std::make_unique<DryRunFileSystem>(m_baseFs);
        UseFileSystem(*m_preview);
    } else {
        UseFileSystem(m_baseFs);
    }
    const std::string header = FormatHeader(m_clock(), kind);
    const std::string separator(header.size(), '-');
    PlaceLogFile();

    IRunMonitor* monitor = m_queue.m_pSheet;
    m_nSteps = 0;
    m_summary = RunSummary{};
    StartCount(monitor);

    std::string source;
    std::string dest;
    int flag = 0;
    PathFilter filter;
    while (m_queue.GetNextJob(&source, &dest, &flag, &filter)) {
        if (Cancelled()) {
            continue;  // a stopped run drops the jobs still waiting
        }
        m_queue.WriteLine(header);
        MirrorTree(source, dest, m_queue.m_nRunAction, m_queue.m_strRecycleDir, filter);
        // The job's copies get their real times once they are safe on the disk. A stopped run
        // does the same for the copies it finished: none is left looking out of date (and
        // dated 1970) until the next run copies it again; only the copy in flight was dropped.
        const Status committed = m_fs->CommitCopies(false);
        if (!committed.ok()) {
            WriteActionLine(committed, IDS_VERB_SYNC, dest, nullptr);
        }
        m_locks.clear();  // the next run on these directories may start
        m_queue.WriteLine(separator);
        m_queue.FlushLog();
    }
    FinishCount();
    m_listSrcDirs.clear();
    m_listDstFiles.clear();
    m_listDstDirs.Clear();
    if (m_preview) {
        UseFileSystem(m_baseFs);
        m_preview.reset();
    }

    if (monitor != nullptr) {
        monitor->SetProgressPos(0);
    }
    m_summary.stopped = Cancelled();
    m_cancel.store(false);
    if (monitor != nullptr) {
        monitor->RunEnded(m_summary);
        monitor->PostJobsDone();
    }
}

int CBackup::CountFiles(const std::deque<std::string>& roots,
                        const std::deque<PathFilter>& filters) {
    return CountFilesIn(*m_fs, roots, filters);
}

int CBackup::CountFilesIn(FileSystem& fs, const std::deque<std::string>& roots,
                          const std::deque<PathFilter>& filters) const {
    int count = 0;
    // Directories relative to the root, ending with '/'. Counted through open directories,
    // like the walk, so that a directory swapped for a link meanwhile is not looked into.
    std::deque<std::string> work;
    DirListing entries;
    std::string path;
    TreeCursor tree(fs);
    const PathFilter plain;
    for (size_t r = 0; r < roots.size(); ++r) {
        const std::string& root = roots[r];
        const PathFilter& filter = r < filters.size() ? filters[r] : plain;
        // The destination's case rule is not known yet; the count is only for the bar.
        constexpr bool kExactCase = false;
        // A root given as a link is the user's choice; below it nothing is followed.
        std::string canonical;
        if (!fs.CanonicalPath(StripSlash(root), &canonical).ok() ||
            !tree.OpenRoot(canonical).ok()) {
            continue;
        }
        work.clear();
        work.emplace_back();
        while (!work.empty() && !Cancelled() && !m_countStop.load(std::memory_order_relaxed)) {
            const std::string rel = std::move(work.front());
            work.pop_front();
            const DirHandle* dir = tree.Open(rel);
            if (dir == nullptr || !fs.ListDirectoryAt(*dir, &entries).ok()) {
                continue;
            }
            for (const DirListing::Entry e : entries) {
                const bool isDir = e.kind == EntryKind::kDirectory;
                path.assign(rel).append(e.name);
                if (filter.Excludes(path, isDir, kExactCase)) {
                    continue;
                }
                if (isDir) {
                    if (filter.TakesPart(path, true, kExactCase)) {
                        work.push_back(path + "/");
                    }
                } else if (!filter.IncludesHidden() || filter.TakesPart(path, false, kExactCase)) {
                    // Without names beginning with ".", their files are counted all the same.
                    ++count;
                }
            }
        }
    }
    return count;
}

void CBackup::StartCount(IRunMonitor* monitor) {
    m_countPending = false;
    m_countStop.store(false);
    m_countTotal.store(-1);
    // The count is made only for a bar: a display without one gets none, and every directory
    // is listed once, by the walk.
    if (monitor == nullptr || !monitor->ShowsProgress()) {
        return;
    }
    const std::deque<PathFilter> filters = m_queue.Filters();
    std::deque<std::string> sources = m_queue.SourceRoots();
    // The sources are only read by the run, so they can be counted beside the walk, on a
    // thread of their own, where the file system may be read from two threads at once. A
    // preview counts them on the disk itself, which it leaves as it is.
    FileSystem& sourceFs = m_preview ? m_baseFs : *m_fs;
    int total = 0;
    bool counting = false;
    if (!sources.empty() && sourceFs.ReadsInParallel()) {
        try {
            m_counter = std::thread([this, &sourceFs, sources = std::move(sources), filters] {
                // The count is only for the bar: it takes a core only when the walk leaves one
                // idle, so that it never slows the run down.
                const sched_param idle{};
                pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
                const int counted = CountFilesIn(sourceFs, sources, filters);
                // A count cut short by a stop is no count.
                if (!m_countStop.load() && !Cancelled()) {
                    m_countTotal.store(counted, std::memory_order_release);
                }
            });
            counting = true;
            m_countPending = true;
            monitor->SetProgressRange(0, IRunMonitor::kCounting);
        } catch (const std::system_error&) {
            // No thread to be had: counted here, before the walk, as a display without a
            // second thread must.
        }
    }
    if (!counting) {
        total += CountFilesIn(*m_fs, m_queue.SourceRoots(), filters);
    }
    // The destinations' files are steps as well when extra entries are deleted or moved. The
    // walk writes into them, so they are counted before it: a copy it made meanwhile would be
    // counted too, and the bar would end short.
    if (m_queue.m_nRunAction != kActionKeep) {
        total += CountFilesIn(*m_fs, m_queue.DestRoots(), filters);
    }
    m_countBase = total;
    if (!counting) {
        monitor->SetProgressRange(0, total);
    }
}

void CBackup::ApplyCount() {
    const int counted = m_countTotal.load(std::memory_order_acquire);
    if (counted >= 0 && m_queue.m_pSheet != nullptr) {
        m_countPending = false;
        m_queue.m_pSheet->SetProgressRange(0, m_countBase + counted);
    }
}

void CBackup::FinishCount() {
    if (!m_counter.joinable()) {
        m_countPending = false;
        return;
    }
    // A stopped run does not wait for the rest of the count; a finished one needs it for the
    // bar's end, and it lists less than the walk did, so it is done or nearly.
    if (Cancelled()) {
        m_countStop.store(true);
    }
    m_counter.join();
    if (m_countPending && !Cancelled()) {
        ApplyCount();
    }
    m_countPending = false;
}

void CBackup::Step() {
    ++m_nSteps;
    if (m_queue.m_pSheet != nullptr) {
        // The count made beside the walk becomes the range at the first step after it is in.
        if (m_countPending) {
            ApplyCount();
        }
        m_queue.m_pSheet->SetProgressPos(m_nSteps);
    }
}

void CBackup::WriteActionLine(const Status& outcome, int verbId, const std::string& a,
                              const std::string* b) {
    const bool ok = outcome.ok();
    if (!ok) {
        ++m_summary.failed;
    } else if (verbId == IDS_VERB_COPY) {
        ++m_summary.copied;
    } else if (verbId == IDS_VERB_DELETE) {
        ++m_summary.deleted;
    } else if (verbId == IDS_VERB_MOVE) {
        ++m_summary.moved;
    }
    std::string line;
    line.reserve(a.size() + (b ? b->size() : 0) + 16);
    line += ok ? ' ' : '!';
    line += LoadString(verbId);
    line += ": ";
    // Names are shown escaped, so that none can split the line or pose as a line of its own.
    line += ShownName(a);
    if (b != nullptr) {
        line += " => ";
        line += ShownName(*b);
    }
    if (!ok) {
        // The reason may hold names (the system's words never do), so it is escaped like them.
        line += " (";
        line += ShownName(FailureReason(outcome));
        line += ')';
    }
    m_queue.WriteLine(line);
}

}  // namespace tandrel
