// The gates of a job in CBackup: what it must pass before it may change anything (a source
// that holds something, a limit on deletes, the run locks), and where the log file lies.

#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>

#include "CBackup.h"
#include "CJobQueue.h"
#include "JobCheck.h"
#include "NameText.h"
#include "PathText.h"
#include "ResourceIds.h"
#include "StringTable.h"

namespace tandrel {

namespace {

// Any value other than Keep and Move deletes.
bool Deletes(ExtraFileAction action) {
    return action != kActionKeep && action != kActionMove;
}

}  // namespace

void CBackup::RefuseJob(JobRefusal why, const std::string& reason) {
    // A reason may hold names (of roots, of a lock file), so it is escaped like them.
    std::string line = "!";
    line += LoadString(IDS_VERB_SKIP);
    line += ": " + ShownName(m_src.shown) + " => " + ShownName(m_dst.shown) + " (" +
            ShownName(reason) + ")";
    ++m_summary.refused;
    m_queue.WriteLine(line);
    if (m_queue.m_pSheet != nullptr) {
        m_queue.m_pSheet->JobRefused(why, line);
    }
}

bool CBackup::PassesEmptySourceGate(ExtraFileAction action, const DirListing& srcEntries,
                                    const DirListing& dstEntries) {
    // An unmounted disk leaves an empty mount point behind: mirrored with Delete it would
    // empty the backup. Keep deletes nothing and Move keeps everything in the recycle
    // directory, so only Delete is held back.
    // Only what takes part counts: a source holding only what the job leaves out holds
    // nothing, and a destination holding only what it protects has nothing to lose.
    auto holdsAnything = [this](const DirListing& entries) {
        return std::any_of(entries.begin(), entries.end(), [this](const DirListing::Entry& e) {
            return TakesPart(e.name, e.kind == EntryKind::kDirectory);
        });
    };
    if (!Deletes(action) || m_queue.m_bAllowEmptySource || holdsAnything(srcEntries) ||
        !holdsAnything(dstEntries)) {
        return true;
    }
    RefuseJob(JobRefusal::kEmptySource, "the source holds nothing; nothing is deleted");
    return false;
}

bool CBackup::PassesDeleteGates(ExtraFileAction action) {
    const int64_t limit = Deletes(action) ? m_queue.m_nMaxDelete : -1;
    // A preview deletes nothing: it shows what would go instead of asking.
    const int64_t askAbove =
        action != kActionKeep && m_queue.m_nRunKind != RunKind::kPreview ? m_queue.m_nAskAbove : 0;
    if (limit < 0 && askAbove <= 0) {
        return true;
    }
    const int64_t count = CountExtraEntries();
    if (Cancelled()) {
        return false;  // the count was cut short: nothing is deleted
    }
    const std::string what = action == kActionMove ? "moved" : "deleted";
    if (limit >= 0 && count > limit) {
        RefuseJob(JobRefusal::kTooManyDeletes,
                  std::to_string(count) + " entries would be deleted, more than the limit of " +
                      std::to_string(limit));
        return false;
    }
    if (askAbove <= 0 || count <= askAbove) {
        return true;
    }
    DeleteQuestion question;
    question.source = m_src.shown;
    question.dest = m_dst.shown;
    question.entries = count;
    question.held = CountDestEntries();
    question.action = action;
    const std::optional<DeleteAnswer> answer =
        Cancelled() ? std::nullopt : Ask(std::move(question));
    if (Cancelled()) {
        return false;  // stopped while asking: the run ends, nothing is deleted
    }
    if (answer == DeleteAnswer::kProceed) {
        return true;
    }
    RefuseJob(JobRefusal::kNotConfirmed,
              std::to_string(count) + " entries would be " + what + ", more than the " +
                  std::to_string(askAbove) + " allowed without asking; " +
                  (answer.has_value() ? "skipped when asked" : "no one could be asked"));
    return false;
}

std::optional<DeleteAnswer> CBackup::Ask(DeleteQuestion question) {
    IRunMonitor* monitor = m_queue.m_pSheet;
    if (monitor == nullptr || !m_wake.Open()) {
        return std::nullopt;
    }
    {
        std::lock_guard<std::mutex> lock(m_askMutex);
        question.id = ++m_askLast;
        m_askWaiting = question.id;
        m_answer.reset();
    }
    // Wake-ups meant for an earlier question go; a stop since then is seen below by its flag.
    m_wake.Clear();
    std::optional<DeleteAnswer> answer;
    const bool asked = monitor->AskBeforeDeleting(question);
    if (asked) {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_askMutex);
                answer = m_answer;
            }
            if (answer.has_value() || m_cancel.load() || !m_wake.Wait()) {
                break;
            }
        }
    }
    std::lock_guard<std::mutex> lock(m_askMutex);
    m_askWaiting = 0;  // a late answer finds no question
    if (!asked) {
        return std::nullopt;
    }
    // Waiting that failed is taken as a skip: nothing is deleted without a yes.
    return answer.value_or(DeleteAnswer::kSkip);
}

int64_t CBackup::CountDestEntries() {
    int64_t count = 0;
    std::deque<std::string> dirs{std::string()};
    DirListing entries;
    while (!dirs.empty() && !Cancelled()) {
        const std::string rel = std::move(dirs.front());
        dirs.pop_front();
        if (!List(Side::kDest, rel, &entries).ok()) {
            continue;
        }
        for (const DirListing::Entry e : entries) {
            const std::string path = rel + std::string(e.name);
            if (!TakesPart(path, e.kind == EntryKind::kDirectory)) {
                continue;
            }
            if (e.kind == EntryKind::kDirectory) {
                if (path + "/" == m_recycleRel) {
                    continue;  // the recycle directory lies inside: not part of the backup
                }
                dirs.push_back(path + "/");
                ++count;
            } else if (!IsLogFile(path, false)) {
                ++count;
            }
        }
    }
    return count;
}

int64_t CBackup::CountExtraEntries() {
    // Counted as phase 2 would meet them: the entries it would skip as written by this job
    // under another spelling are not counted, a directory counts once besides its contents,
    // and what the job's filter leaves out (names beginning with "." unless it includes them,
    // what its patterns match) takes no part.
    auto kept = [this](const std::string& rel) {
        const auto [parent, name] = TreeCursor::SplitRel(rel);
        const DirHandle* dir = m_dstTree.Open(parent);
        return dir != nullptr && m_rules.IsKept(*dir, name);
    };
    int64_t count = 0;
    // The log file never reaches the list of extra files.
    for (const DestIndex::Entry& e : m_listDstFiles) {
        if (!kept(e.rel)) {
            ++count;
        }
    }
    std::deque<std::string> dirs;
    for (const DestIndex::Entry& e : m_listDstDirs.Entries()) {
        if (!kept(e.rel)) {
            dirs.push_back(e.rel);
        }
    }
    DirListing entries;
    while (!dirs.empty() && !Cancelled()) {
        const std::string rel = std::move(dirs.front());
        dirs.pop_front();
        ++count;
        if (!List(Side::kDest, rel, &entries).ok()) {
            continue;  // phase 2 reports it and deletes nothing in it
        }
        for (const DirListing::Entry e : entries) {
            const std::string path = rel + std::string(e.name);
            if (!TakesPart(path, e.kind == EntryKind::kDirectory)) {
                continue;
            }
            if (e.kind == EntryKind::kDirectory) {
                dirs.push_back(path + "/");
            } else if (!IsLogFile(path, false)) {
                ++count;
            }
        }
    }
    return count;
}

bool CBackup::TakeRunLocks(ExtraFileAction action) {
    struct Wanted {
        FileId id;
        std::string shown;
    };
    std::vector<Wanted> wanted;
    auto want = [&](const Root& root) {
        EntryInfo info;
        // A directory that is not there cannot be changed by this job either (the walk reports
        // it), so it needs no lock.
        if (!root.op.empty() && m_fs->Stat(StripSlash(root.op), &info).ok() &&
            info.kind == EntryKind::kDirectory) {
            wanted.push_back(Wanted{info.id, root.shown});
        }
    };
    want(m_dst);
    if (action == kActionMove) {
        want(m_rcy);
    }
    std::sort(wanted.begin(), wanted.end(), [](const Wanted& a, const Wanted& b) {
        return std::tie(a.id.dev, a.id.ino) < std::tie(b.id.dev, b.id.ino);
    });
    m_locks.clear();
    m_locks.resize(wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        bool told = false;
        for (;;) {
            const Status s = m_locks[i].TryLock(wanted[i].id);
            if (s.ok()) {
                break;
            }
            if (s.code() != Status::Code::kBusy) {
                // Without its lock the job could meet another run in the same tree.
                m_locks.clear();
                RefuseJob(JobRefusal::kBusy, "runs cannot be kept apart: " + s.ToString());
                return false;
            }
            if (!m_queue.m_bWaitForOtherRuns) {
                m_locks.clear();
                RefuseJob(JobRefusal::kBusy, "another run is using " + wanted[i].shown);
                return false;
            }
            if (!told) {
                told = true;
                const std::string line =
                    " Wait: " + ShownName(wanted[i].shown) + " (another run is using it)";
                m_queue.WriteLine(line);
                if (m_queue.m_pSheet != nullptr) {
                    m_queue.m_pSheet->JobWaits(line);
                }
            }
            if (Cancelled()) {
                m_locks.clear();
                return false;
            }
            // The other run may take hours; a look ten times a second costs nothing.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    return true;
}

void CBackup::PlaceLogFile() {
    m_logDir.clear();
    m_logName.clear();
    if (!m_queue.m_bLogEnabled || m_queue.m_strLogFileName.empty()) {
        return;
    }
    // Where the lines would really go: a name given through a link is the file it leads to.
    std::string canonical;
    bool placed = m_fs->CanonicalPath(m_queue.m_strLogFileName, &canonical).ok();
    const size_t slash = placed ? canonical.rfind('/') : std::string::npos;
    if (slash != std::string::npos) {
        m_logDir = slash == 0 ? std::string("/") : canonical.substr(0, slash);
        m_logName = canonical.substr(slash + 1);
        placed = !m_logName.empty() && m_fs->LocateDirectory(m_logDir, &m_logPlace).ok();
    } else {
        placed = false;
    }
    bool inSource = false;
    for (const std::string& root : m_queue.SourceRoots()) {
        DirectoryPlace source;
        if (placed && m_fs->LocateDirectory(root, &source).ok() &&
            SameOrInside(m_logPlace, source)) {
            inSource = true;
        }
    }
    // What cannot be placed might lie anywhere, a source tree included. A preview leaves the
    // setting alone (it writes no log file anyway) but places the file as the run would.
    if (!placed || inSource) {
        if (m_queue.m_nRunKind != RunKind::kPreview) {
            m_queue.m_bLogEnabled = false;
        }
        m_logDir.clear();
        m_logName.clear();
    }
}

void CBackup::PlaceLogFileInJob() {
    m_logRelDst.clear();
    m_logRelRcy.clear();
    if (m_logDir.empty()) {
        return;
    }
    auto below = [this](const Root& root) -> std::string {
        DirectoryPlace place;
        if (root.shown.empty() || !m_fs->LocateDirectory(root.shown, &place).ok()) {
            return std::string();
        }
        if (place.missing.empty() && m_logPlace.missing.empty() && place.id == m_logPlace.id) {
            return m_logName;
        }
        std::string rel;
        if (m_fs->PathBelow(root.shown, m_logDir, &rel).ok() && !rel.empty()) {
            return rel + "/" + m_logName;
        }
        return std::string();
    };
    m_logRelDst = below(m_dst);
    m_logRelRcy = below(m_rcy);
}

bool CBackup::IsLogFile(const std::string& rel, bool inRecycle) const {
    const std::string& log = inRecycle ? m_logRelRcy : m_logRelDst;
    if (log.empty()) {
        return false;
    }
    if (!m_destVolume.case_insensitive) {
        return rel == log;
    }
    return rel.size() == log.size() &&
           std::equal(rel.begin(), rel.end(), log.begin(), [](char a, char b) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
               return lower(a) == lower(b);
           });
}

}  // namespace tandrel
