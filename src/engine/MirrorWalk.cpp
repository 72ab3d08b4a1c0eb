// The mirroring walk of CBackup: one job, breadth-first over the source tree, then the extra
// destination entries. Every operation acts through open directories (TreeCursor): a
// directory that turns into a link during the run cannot lead the walk out of the trees.

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <optional>

#include "CBackup.h"
#include "CJobQueue.h"
#include "JobCheck.h"
#include "LookUpTimes.h"
#include "PathText.h"
#include "ResourceIds.h"

namespace tandrel {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

// The last name of a relative path: "a/b/" -> "b".
std::string LastName(const std::string& rel) {
    const size_t end = !rel.empty() && rel.back() == '/' ? rel.size() - 1 : rel.size();
    const size_t slash = end == 0 ? std::string::npos : rel.rfind('/', end - 1);
    const size_t begin = slash == std::string::npos ? 0 : slash + 1;
    return rel.substr(begin, end - begin);
}

bool EqualFolded(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// While the walk fills a new directory its owner may need to write into it and pass through it
// even when the source's owner bits forbid that; group and others never get more than the
// source gives them.
mode_t FillingMode(mode_t source) {
    return (source & 0077) | S_IRWXU;
}

// What the directory keeps once filled: the source's permission bits, set-group-id and sticky.
mode_t FinalMode(mode_t source) {
    return source & 03777;
}

// Below this many source entries a directory is read on one thread: handing the destination
// to the side thread would cost more than it saves.
constexpr size_t kSideThreadMinEntries = 16;

// A failure met on the way to the directory `rel` names the level it met it at, when that is
// a level above `rel` and the reason alone would read as if it were about `rel` itself.
Status OnTheWayTo(const std::string& rel, const Status& s) {
    if (s.ok() || rel.empty() || s.path().ends_with("/" + StripSlash(rel))) {
        return s;
    }
    return Status::Error(s.code(), s.path(), s.ToString());
}

// Whether a source time is newer than a destination time when both are cut to `step`.
bool NewerAtStep(int64_t sourceNs, int64_t destNs, int64_t step) {
    return FloorDiv(sourceNs, step) > FloorDiv(destNs, step);
}

}  // namespace

Status CBackup::ResolveRoots(const std::string& source, const std::string& dest,
                             ExtraFileAction action, const std::string& recycle) {
    // A root the user gave as a link is resolved once, here; the operations below it then never
    // meet a link they would have to follow.
    auto resolve = [this](const std::string& shown) {
        Root root{shown, shown};
        EntryInfo info;
        if (!shown.empty() && m_fs->Stat(StripSlash(shown), &info).ok() &&
            info.kind == EntryKind::kLink) {
            // A link that cannot be resolved leaves the root unusable: the job then reads and
            // writes nothing there, as the overlap checks could not vouch for where it leads.
            std::string canonical;
            root.op = m_fs->CanonicalPath(shown, &canonical).ok() ? WithTrailingSlash(canonical)
                                                                  : std::string();
        }
        return root;
    };
    m_src = resolve(source);
    m_dst = resolve(dest);
    m_rcy = action == kActionMove ? resolve(recycle) : Root{};

    m_destVolume = VolumeInfo{};
    if (!m_fs->GetVolumeInfo(StripSlash(m_dst.op), &m_destVolume).ok()) {
        m_destVolume = VolumeInfo{};
    }
    if (m_destVolume.time_granularity_ns < 1) {
        m_destVolume.time_granularity_ns = 1;
    }
    m_dstFiles.SetCaseInsensitive(m_destVolume.case_insensitive);
    m_listDstDirs.SetCaseInsensitive(m_destVolume.case_insensitive);
    m_rules.Reset(m_destVolume);

    PlaceLogFileInJob();
    // The recycle directory inside the destination is found by identity, however either is
    // reached (a link, a bind mount), under the names the walk will meet it by.
    m_recycleRel.clear();
    if (!m_rcy.shown.empty()) {
        std::string rel;
        const Status below = m_fs->PathBelow(m_dst.shown, m_rcy.shown, &rel);
        if (!below.ok()) {
            // The walk could not tell it from an extra directory.
            return Status::Error(
                below.code(), m_rcy.shown,
                "Directory 'Recycle' cannot be placed inside 'To' (" + below.ToString() + ")");
        }
        if (!rel.empty()) {
            m_recycleRel = rel + "/";
        }
    }
    return Status::Ok();
}

void CBackup::MirrorTree(const std::string& source, const std::string& dest, ExtraFileAction action,
                         const std::string& recycle, const PathFilter& filter) {
    m_filter = filter;
    m_hereRel.clear();
    m_srcListing.Clear();
    m_srcMirror.clear();
    m_srcNext = 0;
    m_dstFiles.Reset();
    m_listSrcDirs.clear();
    m_listDstFiles.clear();
    m_listDstDirs.Clear();
    m_newDirs.clear();
    m_newRecycleDirs.clear();
    m_cleanedRecycle.clear();

    // A refusal names the roots as they were given, until they are resolved.
    m_src = Root{source, std::string()};
    m_dst = Root{dest, std::string()};
    Status usable = CheckJobPaths(source, dest, action, recycle, *m_fs);
    if (usable.ok()) {
        usable = ResolveRoots(source, dest, action, recycle);
    }
    if (!usable.ok()) {
        RefuseJob(JobRefusal::kPaths, usable.reason());
        return;
    }
    if (!TakeRunLocks(action)) {
        return;
    }

    // Both roots must be listable before anything is done: a source that cannot be read would
    // look empty and make every destination entry extra, and a missing destination root is
    // never created (it may be a backup disk that is not mounted).
    // No descriptor outlives the job, and no listing of it stays held.
    auto endJob = [this] {
        m_nextDir.Drop(m_side);
        m_srcTree.Close();
        m_dstTree.Close();
        m_rcyTree.Close();
        m_srcListing.Release();
        std::vector<uint8_t>().swap(m_srcMirror);
        m_srcNext = 0;
        m_dstFiles.Release();
        m_listSrcDirs.clear();
        m_listDstFiles.clear();
        m_listDstDirs.Clear();
    };
    const ReadAhead::Clock::time_point reading = ReadAhead::Clock::now();
    const DirHandle* srcRoot = nullptr;
    DirListing& dstEntries = m_dstFiles.Listing();
    const DirHandle* dstRoot = nullptr;
    Status dstRead;
    bool bothRead = false;
    Status read = OpenJobRoot(m_srcTree, m_src.shown, m_src.op);
    if (read.ok()) {
        bothRead = ReadRootsTogether(&srcRoot, &dstEntries, &dstRoot, &read, &dstRead);
        if (!bothRead) {
            read = List(Side::kSource, std::string(), &m_srcListing, &srcRoot);
        }
    }
    if (!read.ok()) {
        WriteActionLine(read, IDS_VERB_READ, m_src.shown, nullptr);
        endJob();
        return;
    }
    if (bothRead) {
        read = dstRead;
    } else {
        read = OpenJobRoot(m_dstTree, m_dst.shown, m_dst.op);
        if (read.ok()) {
            read = ListDestination(std::string(), *srcRoot, &m_srcListing, &dstEntries, &dstRoot);
        }
    }
    if (!read.ok()) {
        WriteActionLine(read, IDS_VERB_READ, m_dst.shown, nullptr);
        endJob();
        return;
    }
    // The filter matches names by the destination's case rule, so that is learned first.
    LearnCase(*dstRoot, dstEntries);
    if (!PassesEmptySourceGate(action, m_srcListing, dstEntries)) {
        endJob();
        return;
    }
    m_readAhead.Begin(*m_fs, *srcRoot, dstRoot, m_cancel);
    const ReadAhead::Ending readAheadEnds(m_readAhead);  // also when something is thrown
    m_readAhead.Noticed(ReadAhead::Clock::now() - reading, m_srcListing.size() + dstEntries.size());
    AddSourceEntries(std::string(), false);
    AddDestEntries(std::string(), dstEntries, *dstRoot, ExtraTree::kRoot);

    MirrorFiles(action);
    m_nextDir.Drop(m_side);  // a stop may leave one being read
    m_readAhead.End();       // before the roots it reads from are closed
    if (action != kActionKeep && !Cancelled() && PassesDeleteGates(action)) {
        ExtraEntries(action);
    }
    FinishNewDirectories();
    endJob();
}

bool CBackup::ReadRootsTogether(const DirHandle** srcRoot, DirListing* dstEntries,
                                const DirHandle** dstRoot, Status* srcRead, Status* dstRead) {
    if (!m_fs->ReadsInParallel() || !OpenJobRoot(m_dstTree, m_dst.shown, m_dst.op).ok()) {
        return false;  // read one after the other, which says why the destination cannot be
    }
    const DirHandle* src = m_srcTree.Open(std::string());
    const DirHandle* dst = m_dstTree.Open(std::string());
    // The side thread lists the destination and looks up its times while this thread lists the
    // source; then both look up the source's. The side thread reads only through `dst`.
    ListingsMade sourceListed;
    std::optional<SharedLookUp> source;
    auto readDestination = [&] {
        *dstRead = m_fs->ListDirectoryAt(*dst, dstEntries);
        if (dstRead->ok()) {
            LookUpTimes(*m_fs, *dst, dstEntries, 0, dstEntries->size(), m_cancel);
        }
        sourceListed.Wait();
        if (source) {
            source->Work();
        }
    };
    const bool beside = m_side.Run(readDestination);
    {
        // Whatever happens here, the side thread is let go.
        const ListingsMade::OpensAtExit listed(sourceListed);
        *srcRead = m_fs->ListDirectoryAt(*src, &m_srcListing);
        if (srcRead->ok()) {
            source.emplace(*m_fs, *src, &m_srcListing, m_cancel);
        }
    }
    if (!beside) {
        readDestination();  // no second thread: all on this one
    }
    if (source) {
        source->Work();
    }
    m_side.Wait();
    if (!srcRead->ok()) {
        m_srcListing.Clear();
    }
    if (!dstRead->ok()) {
        dstEntries->Clear();
    }
    *srcRoot = src;
    *dstRoot = dst;
    return true;
}

Status CBackup::OpenJobRoot(TreeCursor& tree, const std::string& shown, const std::string& op) {
    if (!op.empty()) {
        return tree.OpenRoot(StripSlash(op));
    }
    // A root given as a link that could not be resolved: why, as its resolution says.
    std::string canonical;
    const Status resolved = m_fs->CanonicalPath(shown, &canonical);
    return resolved.ok() ? Status::Error(Status::Code::kNotFound, shown,
                                         "the link could not be followed when the job started")
                         : resolved;
}

Status CBackup::List(Side side, const std::string& prefix, DirListing* entries,
                     const DirHandle** dir) {
    entries->Clear();
    TreeCursor& tree = side == Side::kSource ? m_srcTree : m_dstTree;
    Status s;
    const DirHandle* handle = tree.Open(prefix, &s);
    if (handle == nullptr) {
        return OnTheWayTo(prefix, s);
    }
    s = m_fs->ListDirectoryAt(*handle, entries);
    if (!s.ok()) {
        entries->Clear();
        return s;
    }
    if (dir != nullptr) {
        *dir = handle;
    }
    return s;
}

Status CBackup::ListDestination(const std::string& rel, const DirHandle& srcDir,
                                DirListing* srcEntries, DirListing* dstEntries,
                                const DirHandle** dstDir) {
    if (!m_fs->ReadsInParallel() || srcEntries->size() < kSideThreadMinEntries ||
        m_nextDir.Running()) {
        return List(Side::kDest, rel, dstEntries, dstDir);
    }
    dstEntries->Clear();
    Status opened;
    const DirHandle* handle = m_dstTree.Open(rel, &opened);
    if (handle == nullptr) {
        return OnTheWayTo(rel, opened);
    }
    // The side thread reads only through `handle`, which stays open: this thread does not
    // touch the destination's open directories until the task is done. Once it has the
    // destination's times it helps with the source's.
    Status listed;
    SharedLookUp source(*m_fs, srcDir, srcEntries, m_cancel);
    auto readDestination = [&] {
        listed = m_fs->ListDirectoryAt(*handle, dstEntries);
        if (listed.ok()) {
            LookUpTimes(*m_fs, *handle, dstEntries, 0, dstEntries->size(), m_cancel);
        }
        source.Work();
    };
    if (!m_side.Run(readDestination)) {
        readDestination();  // no second thread: all on this one
    }
    source.Work();
    m_side.Wait();
    if (!listed.ok()) {
        dstEntries->Clear();
        return listed;
    }
    *dstDir = handle;
    return listed;
}

void CBackup::LearnCase(const DirHandle& dir, const DirListing& entries) {
    if (m_rules.LearnCase(dir, entries)) {
        // The volume matches names ignoring case although its type did not say so.
        m_destVolume.case_insensitive = true;
        m_dstFiles.SetCaseInsensitive(true);
        m_listDstDirs.SetCaseInsensitive(true);
    }
}

void CBackup::AddSourceEntries(const std::string& prefix, bool blocked) {
    m_hereRel = prefix;
    m_srcBlocked = blocked;
    m_srcNext = 0;
    m_srcMirror.assign(m_srcListing.size(), 0);
    std::string rel;
    for (size_t i = 0; i < m_srcListing.size(); ++i) {
        const EntryKind kind = m_srcListing.Kind(i);
        rel.assign(prefix).append(m_srcListing.Name(i));
        if (!TakesPart(rel, kind == EntryKind::kDirectory)) {
            // Invisible to the walk: never copied, and a directory is not entered.
            continue;
        }
        if (kind == EntryKind::kDirectory) {
            rel.push_back('/');
            m_readAhead.Coming(rel);
            m_listSrcDirs.push_back(Pending{rel, kind, blocked});
        } else {
            m_srcMirror[i] = 1;
        }
    }
}

void CBackup::AddDestEntries(const std::string& prefix, const DirListing& entries,
                             const DirHandle& dir, size_t extraDir) {
    const bool here = extraDir == ExtraTree::kRoot;
    if (here) {
        m_hereRel = prefix;
    }
    // Below an extra directory an entry keeps only its name: phase 2 builds the path from the
    // directory's when it comes to it.
    auto stored = [&](const std::string& rel) { return here ? rel : rel.substr(prefix.size()); };
    LearnCase(dir, entries);
    std::string rel;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string_view name = entries.Name(i);
        if (IsStaleTempName(name)) {
            // A temporary left by a copy that was killed is cleared away.
            m_fs->RemoveStaleTempAt(dir, std::string(name));
            continue;
        }
        const EntryKind kind = entries.Kind(i);
        rel.assign(prefix).append(name);
        if (!TakesPart(rel, kind == EntryKind::kDirectory)) {
            // Invisible to the walk: never taken for extra; a directory is not entered.
            continue;
        }
        if (kind == EntryKind::kDirectory) {
            rel.push_back('/');
            if (!m_recycleRel.empty() &&
                (m_destVolume.case_insensitive ? EqualFolded(rel, m_recycleRel)
                                               : rel == m_recycleRel)) {
                continue;  // the recycle directory inside the destination is never extra
            }
            m_listDstDirs.PushBack(stored(rel), kind, std::nullopt, extraDir);
        } else if (IsLogFile(rel, false)) {
            continue;  // the run's own log is never extra
        } else if (here) {
            m_dstFiles.Add(i);
        } else {
            m_listDstFiles.push_back(DestIndex::Entry{stored(rel), kind, std::nullopt, extraDir});
        }
    }
}

void CBackup::FinishDirectoryFiles() {
    const DirListing& listed = m_dstFiles.Listing();
    m_dstFiles.ForEachUnmatched([&](size_t i) {
        m_listDstFiles.push_back(DestIndex::Entry{m_hereRel + std::string(listed.Name(i)),
                                                  listed.Kind(i), listed.Time(i),
                                                  ExtraTree::kRoot});
    });
    m_dstFiles.Reset();
    m_srcListing.Clear();
    m_srcMirror.clear();
    m_srcNext = 0;
}

void CBackup::MirrorFiles(ExtraFileAction action) {
    std::string name;  // of the file at hand
    for (;;) {
        // The source files of the directory at hand, in listing order.
        while (m_srcNext < m_srcMirror.size()) {
            const size_t i = m_srcNext++;
            if (m_srcMirror[i] == 0) {
                continue;
            }
            if (Cancelled()) {
                return;
            }
            name.assign(m_srcListing.Name(i));
            const SourceFile file{m_hereRel, name, m_srcListing.Kind(i), m_srcBlocked,
                                  m_srcListing.Time(i)};
            bool copy = true;
            std::optional<int64_t> dstTime;
            EntryKind dstKind = EntryKind::kFile;
            if (m_dstFiles.Match(name, &dstKind, &dstTime)) {
                if (action != kActionKeep) {
                    ++m_nSteps;  // the matched destination file is accounted for
                }
                // A pipe, socket or device is never copied, and says so every run. An entry of
                // another kind than the source's (a link where the source has a file) is never
                // up to date, whatever its time: it is not the same thing at all.
                copy = file.kind == EntryKind::kOther || dstKind != file.kind ||
                       IsNewer(file, dstTime);
            }
            if (copy) {
                CopyOne(file);
            }
            Step();
        }
        FinishDirectoryFiles();
        if (m_listSrcDirs.empty()) {
            return;
        }
        if (Cancelled()) {
            return;
        }
        const Pending dir = std::move(m_listSrcDirs.front());
        m_listSrcDirs.pop_front();
        // Directories are read in pairs: the side thread reads the one after this while this
        // thread reads this one, unless this one was read that way itself.
        if (!m_nextDir.Running() && !m_listSrcDirs.empty()) {
            ReadNextDirectory(m_listSrcDirs.front());
        }
        EnterDirectory(dir);
    }
}

void CBackup::EnterDirectory(const Pending& dir) {
    m_readAhead.Entering();
    const ReadAhead::Clock::time_point reading = ReadAhead::Clock::now();
    const bool matched = m_listDstDirs.RemoveMatch(dir.rel);

    // The files of the directory before are done: its listings' places are taken.
    const DirHandle* srcDir = nullptr;
    // Read on the side thread already: the walk goes on with the descriptors that were read.
    const bool readAhead = m_nextDir.Rel() == dir.rel && m_nextDir.Finish(m_side);
    if (readAhead) {
        srcDir = m_srcTree.Adopt(dir.rel, std::move(m_nextDir.Source()));
        std::swap(m_srcListing, m_nextDir.SourceListing());
    } else if (const Status read = List(Side::kSource, dir.rel, &m_srcListing, &srcDir);
               !read.ok()) {
        // What cannot be read is reported, and its destination counterpart left alone: it was
        // taken off the extra list above and is neither copied into nor deleted.
        WriteActionLine(read, IDS_VERB_READ, m_src.shown + dir.rel, nullptr);
        return;
    }

    bool blocked = dir.blocked || IsRecycleRel(dir.rel);
    if (!blocked) {
        bool listDest = matched;
        if (!matched) {
            const DirHandle* parent = m_dstTree.Open(TreeCursor::SplitRel(dir.rel).first);
            if (parent == nullptr) {
                blocked = true;  // its parent is gone or no longer a directory
            } else if (!CreateDestDirectory(dir.rel, *parent, *srcDir)) {
                // Something is already there. Only a real directory can take the files; a file
                // or a link (perhaps to a directory elsewhere) must not be written into.
                EntryInfo info;
                if (m_fs->StatAt(*parent, TreeCursor::SplitRel(dir.rel).second, &info).ok() &&
                    info.kind == EntryKind::kDirectory) {
                    listDest = true;
                    m_rules.Keep(info.id);  // perhaps listed under another spelling
                } else {
                    blocked = true;
                }
            }
        }
        if (listDest) {
            DirListing& dstEntries = m_dstFiles.Listing();
            const DirHandle* dstDir = nullptr;
            Status read;
            if (readAhead && m_nextDir.DestRead().ok()) {
                dstDir = m_dstTree.Adopt(dir.rel, std::move(m_nextDir.Dest()));
                std::swap(dstEntries, m_nextDir.DestListing());
            } else {
                read = ListDestination(dir.rel, *srcDir, &m_srcListing, &dstEntries, &dstDir);
            }
            if (!read.ok()) {
                // Without the destination's listing every file would look missing and newer
                // destination files would be overwritten: leave this subtree alone.
                WriteActionLine(read, IDS_VERB_READ, m_dst.shown + dir.rel, nullptr);
                return;
            }
            m_readAhead.Noticed(readAhead ? m_nextDir.Took() : ReadAhead::Clock::now() - reading,
                                m_srcListing.size() + dstEntries.size());
            AddDestEntries(dir.rel, dstEntries, *dstDir, ExtraTree::kRoot);
        }
    }
    AddSourceEntries(dir.rel, blocked);
    if (readAhead) {
        m_nextDir.Drop(m_side);  // whatever of it was not taken
    }
}

void CBackup::ReadNextDirectory(const Pending& next) {
    if (!m_fs->ReadsInParallel() || m_destVolume.case_insensitive) {
        return;
    }
    const auto [parentRel, name] = TreeCursor::SplitRel(next.rel);
    const DirHandle* srcParent = m_srcTree.Open(parentRel);
    DirHandle src;
    if (srcParent == nullptr || !m_fs->OpenSubdirectory(*srcParent, name, &src).ok()) {
        return;  // the walk meets it, and says so, when it gets there
    }
    DirHandle dst;
    if (!next.blocked && !IsRecycleRel(next.rel) && m_listDstDirs.HasMatch(next.rel)) {
        const DirHandle* dstParent = m_dstTree.Open(parentRel);
        if (dstParent == nullptr || !m_fs->OpenSubdirectory(*dstParent, name, &dst).ok()) {
            dst.Reset();
        }
    }
    m_nextDir.Start(m_side, *m_fs, next.rel, std::move(src), std::move(dst), m_cancel);
}

bool CBackup::IsRecycleRel(const std::string& rel) const {
    return !m_recycleRel.empty() &&
           (m_destVolume.case_insensitive ? EqualFolded(rel, m_recycleRel) : rel == m_recycleRel);
}

bool CBackup::CreateDestDirectory(const std::string& rel, const DirHandle& parent,
                                  const DirHandle& srcDir) {
    EntryInfo source;
    const mode_t sourceMode =
        m_fs->StatAt(srcDir, std::string(), &source).ok() ? source.mode : 0700;
    const std::string name = TreeCursor::SplitRel(rel).second;
    if (!WritingInto(parent, [&] {
             return m_fs->CreateDirectoryAt(parent, name, FillingMode(sourceMode));
         }).ok()) {
        return false;
    }
    // The process's umask may have taken bits away that the source gives; and the owner's may
    // have been widened for filling. Either way the exact bits are set once the job is done.
    EntryInfo made;
    if (!m_fs->StatAt(parent, name, &made).ok() || made.mode != FinalMode(sourceMode)) {
        m_newDirs.push_back(NewDirectory{rel, FinalMode(sourceMode)});
    }
    return true;
}

void CBackup::FinishNewDirectories() {
    // Created parents first, so the back of the list is the deepest: a parent whose bits shut
    // its owner out is set only after everything below it.
    while (!m_newDirs.empty()) {
        const NewDirectory& dir = m_newDirs.back();
        if (const DirHandle* handle = m_dstTree.Open(dir.rel)) {
            m_fs->SetDirectoryMode(*handle, dir.mode);
        }
        m_newDirs.pop_back();
    }
    while (!m_newRecycleDirs.empty()) {
        const NewDirectory& dir = m_newRecycleDirs.back();
        if (const DirHandle* handle = m_rcyTree.Open(dir.rel)) {
            m_fs->SetDirectoryMode(*handle, dir.mode);
        }
        m_newRecycleDirs.pop_back();
    }
}

void CBackup::CopyOne(const SourceFile& file) {
    const std::string& parent = file.parent;
    const std::string& name = file.name;
    const std::string rel = parent + name;
    Status outcome;
    if (file.blocked) {
        outcome = BlockedReason(rel);
    } else if (file.kind == EntryKind::kOther) {
        outcome = Status::Error(Status::Code::kUnsupported, rel,
                                "is a pipe, socket or device; only files and links are copied");
    } else if (IsLogFile(rel, false)) {
        outcome = Status::Error(Status::Code::kBusy, rel,
                                "the destination is the run's log file; not copied over");
    } else {
        const DirHandle* src = m_srcTree.Open(parent, &outcome);
        const DirHandle* dst = src != nullptr ? m_dstTree.Open(parent, &outcome) : nullptr;
        if (src == nullptr || dst == nullptr) {
            // A directory on the way, not the file: say which.
            outcome = Status::Error(outcome.code(), outcome.path(), outcome.ToString());
        } else {
            outcome = RetryIfLocked(
                *dst, name, [&] { return m_fs->CopyFileAt(*src, name, *dst, name, &m_cancel); });
        }
    }
    const bool ok = outcome.ok();
    if (ok && AnyDestFileUnmatched()) {
        // An unmatched destination entry may be this very file under another spelling.
        if (const DirHandle* dst = m_dstTree.Open(parent)) {
            m_rules.Keep(*dst, name);
        }
    }
    const std::string shownDst = m_dst.shown + rel;
    WriteActionLine(outcome, IDS_VERB_COPY, m_src.shown + rel, &shownDst);
}

Status CBackup::BlockedReason(const std::string& rel) {
    if (!m_recycleRel.empty() &&
        (m_destVolume.case_insensitive
             ? EqualFolded(rel.substr(0, m_recycleRel.size()), m_recycleRel)
             : rel.starts_with(m_recycleRel))) {
        return Status::Error(Status::Code::kExists, rel,
                             "it would land in the recycle directory inside the destination");
    }
    // Its directory in the destination is no directory (a file or a link stands there) or has
    // gone: opening it again names the level that is in the way, and how.
    Status why;
    if (m_dstTree.Open(TreeCursor::SplitRel(rel).first, &why) == nullptr) {
        return Status::Error(why.code(), why.path(), why.ToString());
    }
    return Status::Error(Status::Code::kNotDirectory, rel,
                         "its directory in the destination could not be made");
}

Status CBackup::WritingInto(const DirHandle& dir, const std::function<Status()>& op) {
    Status s = op();
    constexpr mode_t kOwnerWrites = S_IWUSR | S_IXUSR;
    EntryInfo info;
    if (s.code() != Status::Code::kPermission || Cancelled() ||
        !m_fs->StatAt(dir, std::string(), &info).ok() || info.kind != EntryKind::kDirectory ||
        (info.mode & kOwnerWrites) == kOwnerWrites) {
        return s;
    }
    // Only its owner gets more, and only for this one operation: a run killed now leaves it
    // no more open to anyone else than it was.
    const mode_t before = info.mode & 07777;
    if (!m_fs->SetDirectoryMode(dir, before | kOwnerWrites).ok()) {
        return s;
    }
    s = op();
    m_fs->SetDirectoryMode(dir, before);
    return s;
}

Status CBackup::RetryIfLocked(const DirHandle& dir, const std::string& name,
                              const std::function<Status()>& op) {
    Status s = WritingInto(dir, op);
    // Some file systems (SMB shares, FAT) refuse to replace or delete a file marked read-only;
    // clear the mark and try once more.
    if (s.code() != Status::Code::kPermission || Cancelled()) {
        return s;
    }
    EntryInfo before;
    const bool known = m_fs->StatAt(dir, name, &before).ok() && before.kind == EntryKind::kFile;
    if (!m_fs->MakeReplaceableAt(dir, name).ok()) {
        return s;
    }
    s = op();
    EntryInfo after;
    if (!s.ok() && known && m_fs->StatAt(dir, name, &after).ok() && after.id == before.id &&
        after.mode != before.mode) {
        // It did not help: the file keeps the mark it had.
        m_fs->SetFileModeAt(dir, name, before.mode);
    }
    return s;
}

bool CBackup::IsNewer(const SourceFile& file, const std::optional<int64_t>& dstTime) {
    const std::string& parent = file.parent;
    const std::string& name = file.name;
    if (file.mtime_ns && dstTime &&
        !NewerAtStep(*file.mtime_ns, *dstTime,
                     m_rules.TimeStep(m_dstTree.Open(parent), *file.mtime_ns, *dstTime))) {
        // Not newer as the listings found them. Only a copy is confirmed by a fresh look: a
        // file changed since it was listed is taken up by the next run, as one changed just
        // after this comparison would be.
        return false;
    }
    const DirHandle* src = m_srcTree.Open(parent);
    const DirHandle* dst = m_dstTree.Open(parent);
    EntryInfo s;
    EntryInfo d;
    if (src == nullptr || dst == nullptr || !m_fs->StatAt(*src, name, &s).ok() ||
        !m_fs->StatAt(*dst, name, &d).ok()) {
        return false;
    }
    if (s.kind != d.kind) {
        return true;  // changed kind since it was listed
    }
    // Compare at the precision the destination keeps: a file system that stores times in
    // coarser steps than the source must not make every run copy the same files again.
    return NewerAtStep(s.mtime_ns, d.mtime_ns, m_rules.TimeStep(dst, s.mtime_ns, d.mtime_ns));
}

const DirHandle* CBackup::RecycleLevel(const std::string& rel, Status* why) {
    if (m_rcy.op.empty()) {
        *why = m_rcy.shown.empty()
                   ? Status::Error(Status::Code::kNotFound, rel, "there is no recycle directory")
                   : OpenJobRoot(m_rcyTree, m_rcy.shown, m_rcy.op);
        return nullptr;
    }
    if (!m_rcyTree.HasRoot()) {
        // Looked for again at each move until it can be opened: it may be a disk mounted late.
        EntryInfo info;
        Status s = m_fs->Stat(StripSlash(m_rcy.op), &info);
        if (s.ok() && info.kind != EntryKind::kDirectory) {
            s = Status::FromErrno(ENOTDIR, m_rcy.op);
        }
        if (s.ok()) {
            s = m_rcyTree.OpenRoot(StripSlash(m_rcy.op));
        }
        if (!s.ok()) {
            *why = Status::Error(s.code(), s.path(),
                                 "the recycle directory cannot be opened: " + s.reason());
            return nullptr;
        }
    }
    const DirHandle* level = m_rcyTree.Open(rel, why);
    if (level == nullptr) {
        // Create the missing levels one by one. An existing level is fine only as a real
        // directory: the open below never goes through a link. A level that cannot be made or
        // entered is named with its reason: the creation's, when that is what failed.
        // Each level takes the bits of the destination directory it mirrors (files moved out
        // of a private directory stay private), as a new destination directory takes its
        // source's; its owner may write into it until the job is done.
        Status made;
        auto fail = [&] {
            const Status& cause = made.ok() ? *why : made;
            *why = Status::Error(cause.code(), cause.path(), cause.ToString());
            return nullptr;
        };
        // When the level above is there (moving down a chain, it was made for the files one
        // level up) only the last level is missing; otherwise every level from the top is
        // made if missing.
        const std::string above = TreeCursor::SplitRel(rel).first;
        const size_t from = !above.empty() && m_rcyTree.Open(above) != nullptr ? above.size() : 0;
        for (size_t slash = rel.find('/', from); slash != std::string::npos;
             slash = rel.find('/', slash + 1)) {
            const std::string levelRel = rel.substr(0, slash + 1);
            const auto [parentRel, name] = TreeCursor::SplitRel(levelRel);
            EntryInfo mirrored;
            const DirHandle* dstLevel = m_dstTree.Open(levelRel);
            const mode_t mode =
                dstLevel != nullptr && m_fs->StatAt(*dstLevel, std::string(), &mirrored).ok()
                    ? mirrored.mode
                    : 0700;
            const DirHandle* parent = m_rcyTree.Open(parentRel, why);
            if (parent == nullptr) {
                return fail();
            }
            // As for a new destination directory, the exact bits are set once the job is done
            // when the umask or the filling left it with others.
            const Status created = m_fs->CreateDirectoryAt(*parent, name, FillingMode(mode));
            EntryInfo madeInfo;
            if (created.ok() && (!m_fs->StatAt(*parent, name, &madeInfo).ok() ||
                                 madeInfo.mode != FinalMode(mode))) {
                m_newRecycleDirs.push_back(NewDirectory{levelRel, FinalMode(mode)});
            } else if (!created.ok() && created.code() != Status::Code::kExists) {
                made = created;
            }
        }
        level = m_rcyTree.Open(rel, why);
        if (level == nullptr) {
            return fail();
        }
    }
    // The temporaries of moves from another file system that were killed halfway lie in the
    // level they were going to; clear them the first time this job moves something there.
    if (m_cleanedRecycle.insert(level->id()).second) {
        DirListing entries;
        if (m_fs->ListDirectoryAt(*level, &entries).ok()) {
            for (const DirListing::Entry e : entries) {
                if (IsStaleTempName(e.name)) {
                    m_fs->RemoveStaleTempAt(*level, std::string(e.name));
                }
            }
        }
    }
    return level;
}

void CBackup::ExtraEntries(ExtraFileAction action) {
    const bool move = action == kActionMove;
    // Every extra directory listed, each by its name below its parent: the entries listed in one
    // name it by its number, and their paths are built one at a time.
    ExtraTree toRemove;
    do {
        while (!m_listDstFiles.empty()) {
            if (Cancelled()) {
                return;
            }
            DestIndex::Entry x = std::move(m_listDstFiles.front());
            m_listDstFiles.pop_front();
            if (x.dir != ExtraTree::kRoot) {
                x.rel.insert(0, toRemove.Path(x.dir));
            }
            const auto split = TreeCursor::SplitRel(x.rel);
            const auto& parent = split.first;
            const auto& name = split.second;
            Status opened;
            const DirHandle* dir = m_dstTree.Open(parent, &opened);
            if (dir != nullptr && m_rules.IsKept(*dir, name)) {
                Step();
                continue;  // the same file as one just written, listed under another spelling
            }
            Status outcome;
            if (move) {
                // Without a recycle directory nothing is moved anywhere.
                const DirHandle* level = nullptr;
                if (dir == nullptr) {
                    outcome = OnTheWayTo(x.rel, opened);
                } else if (IsLogFile(x.rel, true)) {
                    outcome = Status::Error(Status::Code::kExists, x.rel,
                                            "the target is the run's log file; not moved onto");
                } else {
                    level = RecycleLevel(parent, &outcome);
                }
                if (level != nullptr) {
                    // Making the level looked at the destination's directories: `dir` may no
                    // longer be held.
                    dir = m_dstTree.Open(parent, &opened);
                    if (dir == nullptr) {
                        level = nullptr;
                        outcome = OnTheWayTo(x.rel, opened);
                    }
                }
                // Nothing in the recycle directory is ever replaced: a name already taken there
                // (by an earlier run, or another job of this one) gets a numbered one beside it.
                std::string placed = name;
                if (level != nullptr) {
                    outcome = RetryIfLocked(*dir, name, [&] {
                        return m_fs->MoveNoReplaceAt(*dir, name, *level, name, &placed, &m_cancel);
                    });
                }
                const std::string shownTarget =
                    m_rcy.shown + parent + (outcome.ok() ? placed : name);
                WriteActionLine(outcome, IDS_VERB_MOVE, m_dst.shown + x.rel, &shownTarget);
            } else {
                outcome =
                    dir == nullptr
                        ? OnTheWayTo(x.rel, opened)
                        : RetryIfLocked(*dir, name, [&] { return m_fs->DeleteFileAt(*dir, name); });
                WriteActionLine(outcome, IDS_VERB_DELETE, m_dst.shown + x.rel, nullptr);
            }
            Step();
        }
        if (!m_listDstDirs.Empty()) {
            if (Cancelled()) {
                return;
            }
            DestIndex::Entry dir = m_listDstDirs.PopFront();
            const std::string rel = toRemove.Path(dir.dir) + dir.rel;
            const auto [dirParent, dirName] = TreeCursor::SplitRel(rel);
            const DirHandle* dirParentHandle = m_dstTree.Open(dirParent);
            if (dirParentHandle != nullptr && m_rules.IsKept(*dirParentHandle, dirName)) {
                continue;  // a directory the walk entered under another spelling
            }
            const size_t index = toRemove.Add(dir.dir, std::move(dir.rel));
            if (dirParentHandle != nullptr) {
                toRemove[index].parentId = dirParentHandle->id();
            }
            DirListing entries;
            const DirHandle* handle = nullptr;
            if (const Status read = List(Side::kDest, rel, &entries, &handle); read.ok()) {
                toRemove[index].id = handle->id();
                AddDestEntries(rel, entries, *handle, index);
            } else {
                WriteActionLine(read, IDS_VERB_READ, m_dst.shown + rel, nullptr);
            }
        }
    } while (!m_listDstFiles.empty() || !m_listDstDirs.Empty());

    RemoveExtraDirectories(&toRemove);
}

void CBackup::RemoveExtraDirectories(ExtraTree* dirs) {
    // A directory that still holds something stays. Each is removed through its parent, and
    // the parent is reached from the directory itself: the next one to go is most often that
    // very parent (a chain is taken down level by level), so it is then at hand without a walk
    // down from the root. It is used only while it is the directory the parent was when listed.
    DirHandle here;  // the directory hereIndex names, when reached from below
    size_t hereIndex = ExtraTree::kRoot;
    while (!dirs->Empty()) {
        if (Cancelled()) {
            return;  // what is left stays, as everything not reached by a stopped run
        }
        const size_t index = dirs->Size() - 1;
        const ExtraTree::Node& dir = (*dirs)[index];
        // The path of the parent of the one removed last, as a rule: built by cutting a name off.
        const std::string& rel = dirs->Path(index);
        const std::string name = LastName(rel);
        const DirHandle* self = here.valid() && hereIndex == index ? &here : m_dstTree.Open(rel);
        DirHandle parent;
        const bool fromBelow =
            self != nullptr && dir.parentId != FileId{} && self->id() == dir.id &&
            m_fs->OpenContainingDirectory(*self, &parent).ok() && parent.id() == dir.parentId;
        // Closed before it goes: a directory removed while still open lingers on some file
        // systems until it is closed (ext4 keeps it on its orphan list).
        here.Reset();
        m_dstTree.Forget(rel);
        if (fromBelow) {
            WritingInto(parent, [&] { return m_fs->RemoveDirectoryAt(parent, name); });
            here = std::move(parent);
            hereIndex = dir.parent;
        } else {
            if (const DirHandle* byName = m_dstTree.Open(TreeCursor::SplitRel(rel).first)) {
                WritingInto(*byName, [&] { return m_fs->RemoveDirectoryAt(*byName, name); });
            }
        }
        dirs->PopBack();
    }
}

}  // namespace tandrel
