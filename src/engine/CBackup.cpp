#include "CBackup.h"

#include "CJobQueue.h"
#include "JobCheck.h"
#include "NameText.h"
#include "PathText.h"
#include "ResourceIds.h"
#include "StringTable.h"

namespace tandrel {

namespace {

constexpr int kHeaderDashes = 100;

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
    // The count lists every directory once more before the walk: made only for a bar.
    if (monitor != nullptr && monitor->ShowsProgress()) {
        int total = CountFiles(m_queue.SourceRoots());
        if (m_queue.m_nRunAction != kActionKeep) {
            total += CountFiles(m_queue.DestRoots());
        }
        monitor->SetProgressRange(0, total);
    }
    m_nSteps = 0;

    std::string source;
    std::string dest;
    int flag = 0;
    while (m_queue.GetNextJob(&source, &dest, &flag)) {
        if (Cancelled()) {
            continue;  // a stopped run drops the jobs still waiting
        }
        m_queue.WriteLine(header);
        MirrorTree(source, dest, m_queue.m_nRunAction, m_queue.m_strRecycleDir);
        // The job's copies get their real times once they are safe on the disk. A stopped run
        // does the same for the copies it finished: none is left looking out of date (and
        // dated 1970) until the next run copies it again; only the copy in flight was dropped.
        if (!m_fs->CommitCopies(false).ok()) {
            WriteActionLine(false, IDS_VERB_SYNC, dest, nullptr);
        }
        m_locks.clear();  // the next run on these directories may start
        m_queue.WriteLine(separator);
        m_queue.FlushLog();
    }
    m_listSrcFiles.clear();
    m_listSrcDirs.clear();
    m_listDstFiles.Clear();
    m_listDstDirs.Clear();
    if (m_preview) {
        UseFileSystem(m_baseFs);
        m_preview.reset();
    }

    if (monitor != nullptr) {
        monitor->SetProgressPos(0);
    }
    m_cancel.store(false);
    if (monitor != nullptr) {
        monitor->PostJobsDone();
    }
}

int CBackup::CountFiles(const std::deque<std::string>& roots) {
    int count = 0;
    // Directories relative to the root, ending with '/'. Counted through open directories,
    // like the walk, so that a directory swapped for a link meanwhile is not looked into.
    std::deque<std::string> work;
    std::vector<DirEntry> entries;
    TreeCursor tree(*m_fs);
    for (const std::string& root : roots) {
        // A root given as a link is the user's choice; below it nothing is followed.
        std::string canonical;
        if (!m_fs->CanonicalPath(StripSlash(root), &canonical).ok() ||
            !tree.OpenRoot(canonical).ok()) {
            continue;
        }
        work.clear();
        work.emplace_back();
        while (!work.empty() && !Cancelled()) {
            const std::string rel = std::move(work.front());
            work.pop_front();
            const DirHandle* dir = tree.Open(rel);
            if (dir == nullptr || !m_fs->ListDirectoryAt(*dir, &entries).ok()) {
                continue;
            }
            for (const DirEntry& e : entries) {
                if (e.kind != EntryKind::kDirectory) {
                    ++count;
                } else if (!StartsWithDot(e.name)) {
                    work.push_back(rel + e.name + "/");
                }
            }
        }
    }
    return count;
}

void CBackup::Step() {
    ++m_nSteps;
    if (m_queue.m_pSheet != nullptr) {
        m_queue.m_pSheet->SetProgressPos(m_nSteps);
    }
}

void CBackup::WriteActionLine(bool ok, int verbId, const std::string& a, const std::string* b) {
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
    m_queue.WriteLine(line);
}

}  // namespace tandrel
