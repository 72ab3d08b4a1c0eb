// The mirroring walk of CBackup: one job, breadth-first over the source tree, then the extra
// destination entries.

#include <algorithm>

#include "CBackup.h"
#include "CJobQueue.h"
#include "JobCheck.h"
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

bool EqualFolded(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

}  // namespace

bool CBackup::ResolveRoots(const std::string& source, const std::string& dest,
                           ExtraFileAction action, const std::string& recycle) {
    // A root the user gave as a link is resolved once, here; the operations below it then never
    // meet a link they would have to follow.
    auto resolve = [this](const std::string& shown) {
        Root root{shown, shown};
        EntryInfo info;
        std::string canonical;
        if (!shown.empty() && m_fs.Stat(StripSlash(shown), &info).ok() &&
            info.kind == EntryKind::kLink && m_fs.CanonicalPath(shown, &canonical).ok()) {
            root.op = WithTrailingSlash(canonical);
        }
        return root;
    };
    m_src = resolve(source);
    m_dst = resolve(dest);
    m_rcy = action == kActionMove ? resolve(recycle) : Root{};

    m_destVolume = VolumeInfo{};
    if (!m_fs.GetVolumeInfo(StripSlash(m_dst.op), &m_destVolume).ok()) {
        m_destVolume = VolumeInfo{};
    }
    if (m_destVolume.time_granularity_ns < 1) {
        m_destVolume.time_granularity_ns = 1;
    }
    m_listDstFiles.SetCaseInsensitive(m_destVolume.case_insensitive);
    m_listDstDirs.SetCaseInsensitive(m_destVolume.case_insensitive);
    m_rules.Reset(m_destVolume);

    // The recycle directory inside the destination is found by identity, however either is
    // reached (a link, a bind mount), under the names the walk will meet it by.
    m_recycleRel.clear();
    if (!m_rcy.shown.empty()) {
        std::string rel;
        if (!m_fs.PathBelow(m_dst.shown, m_rcy.shown, &rel).ok()) {
            return false;  // the walk could not tell it from an extra directory
        }
        if (!rel.empty()) {
            m_recycleRel = rel + "/";
        }
    }
    return true;
}

void CBackup::MirrorTree(const std::string& source, const std::string& dest, ExtraFileAction action,
                         const std::string& recycle) {
    m_listSrcFiles.clear();
    m_listSrcDirs.clear();
    m_listDstFiles.Clear();
    m_listDstDirs.Clear();

    if (!CheckJobPaths(source, dest, action, recycle, m_fs).ok() ||
        !ResolveRoots(source, dest, action, recycle)) {
        WriteActionLine(false, IDS_VERB_SKIP, source, &dest);
        return;
    }

    // Both roots must be listable before anything is done: a source that cannot be read would
    // look empty and make every destination entry extra, and a missing destination root is
    // never created (it may be a backup disk that is not mounted).
    std::vector<DirEntry> srcEntries;
    if (!List(Side::kSource, std::string(), &srcEntries)) {
        WriteActionLine(false, IDS_VERB_READ, m_src.shown, nullptr);
        return;
    }
    std::vector<DirEntry> dstEntries;
    if (!List(Side::kDest, std::string(), &dstEntries)) {
        WriteActionLine(false, IDS_VERB_READ, m_dst.shown, nullptr);
        return;
    }
    AddEntries(Side::kSource, std::string(), srcEntries, false);
    AddEntries(Side::kDest, std::string(), dstEntries, false);

    MirrorFiles(action);
    if (action != kActionKeep && !Cancelled()) {
        ExtraEntries(action);
    }
}

bool CBackup::List(Side side, const std::string& prefix, std::vector<DirEntry>* entries) {
    const Root& root = side == Side::kSource ? m_src : m_dst;
    entries->clear();
    return m_fs.ListDirectory(StripSlash(root.op + prefix), entries).ok();
}

void CBackup::AddEntries(Side side, const std::string& prefix, const std::vector<DirEntry>& entries,
                         bool blocked) {
    if (side == Side::kDest && m_rules.LearnCase(m_dst.op + prefix, entries)) {
        // The volume matches names ignoring case although its type did not say so.
        m_destVolume.case_insensitive = true;
        m_listDstFiles.SetCaseInsensitive(true);
        m_listDstDirs.SetCaseInsensitive(true);
    }
    for (const DirEntry& e : entries) {
        if (StartsWithDot(e.name)) {
            // Invisible to the walk. A temporary left by a copy that was killed is cleared away.
            if (side == Side::kDest && IsStaleTempName(e.name)) {
                m_fs.RemoveStaleTemp(m_dst.op + prefix + e.name);
            }
            continue;
        }
        std::string rel = prefix + e.name;
        if (e.kind == EntryKind::kDirectory) {
            rel.push_back('/');
        }
        if (side == Side::kSource) {
            if (e.kind == EntryKind::kDirectory) {
                m_listSrcDirs.push_back(Pending{std::move(rel), e.kind, blocked});
            } else {
                m_listSrcFiles.push_back(Pending{std::move(rel), e.kind, blocked});
            }
        } else if (e.kind == EntryKind::kDirectory) {
            if (!m_recycleRel.empty() &&
                (m_destVolume.case_insensitive ? EqualFolded(rel, m_recycleRel)
                                               : rel == m_recycleRel)) {
                continue;  // the recycle directory inside the destination is never extra
            }
            m_listDstDirs.PushBack(std::move(rel), false);
        } else {
            m_listDstFiles.PushBack(std::move(rel), e.kind == EntryKind::kLink);
        }
    }
}

void CBackup::MirrorFiles(ExtraFileAction action) {
    do {
        while (!m_listSrcFiles.empty()) {
            if (Cancelled()) {
                return;
            }
            Pending file = std::move(m_listSrcFiles.front());
            m_listSrcFiles.pop_front();
            bool copy = true;
            if (m_listDstFiles.RemoveMatch(file.rel)) {
                if (action != kActionKeep) {
                    ++m_nSteps;  // the matched destination file is accounted for
                }
                // A pipe, socket or device is never copied, and says so every run.
                copy = file.kind == EntryKind::kOther ||
                       IsNewer(m_src.op + file.rel, m_dst.op + file.rel);
            }
            if (copy) {
                CopyOne(file);
            }
            Step();
        }
        if (!m_listSrcDirs.empty()) {
            if (Cancelled()) {
                return;
            }
            Pending dir = std::move(m_listSrcDirs.front());
            m_listSrcDirs.pop_front();
            EnterDirectory(dir);
        }
    } while (!m_listSrcFiles.empty() || !m_listSrcDirs.empty());
}

void CBackup::EnterDirectory(const Pending& dir) {
    const bool matched = m_listDstDirs.RemoveMatch(dir.rel);

    std::vector<DirEntry> srcEntries;
    if (!List(Side::kSource, dir.rel, &srcEntries)) {
        // What cannot be read is reported, and its destination counterpart left alone: it was
        // taken off the extra list above and is neither copied into nor deleted.
        WriteActionLine(false, IDS_VERB_READ, m_src.shown + dir.rel, nullptr);
        return;
    }

    bool blocked = dir.blocked;
    if (!blocked && !m_recycleRel.empty()) {
        blocked = m_destVolume.case_insensitive ? EqualFolded(dir.rel, m_recycleRel)
                                                : dir.rel == m_recycleRel;
    }
    if (!blocked) {
        bool listDest = matched;
        if (!matched) {
            const std::string target = StripSlash(m_dst.op + dir.rel);
            if (!m_fs.CreateDirectory(target).ok()) {
                // Something is already there. Only a real directory can take the files; a file
                // or a link (perhaps to a directory elsewhere) must not be written into.
                EntryInfo info;
                if (m_fs.Stat(target, &info).ok() && info.kind == EntryKind::kDirectory) {
                    listDest = true;
                    m_rules.Keep(info.id);  // perhaps listed under another spelling
                } else {
                    blocked = true;
                }
            }
        }
        if (listDest) {
            std::vector<DirEntry> dstEntries;
            if (!List(Side::kDest, dir.rel, &dstEntries)) {
                // Without the destination's listing every file would look missing and newer
                // destination files would be overwritten: leave this subtree alone.
                WriteActionLine(false, IDS_VERB_READ, m_dst.shown + dir.rel, nullptr);
                return;
            }
            AddEntries(Side::kDest, dir.rel, dstEntries, false);
        }
    }
    AddEntries(Side::kSource, dir.rel, srcEntries, blocked);
}

void CBackup::CopyOne(const Pending& file) {
    bool ok = false;
    if (!file.blocked && file.kind != EntryKind::kOther) {
        const std::string dst = m_dst.op + file.rel;
        ok = RetryIfLocked(dst, [&] {
                 return m_fs.CopyFile(m_src.op + file.rel, dst, &m_cancel);
             }).ok();
    }
    if (ok && !m_listDstFiles.Empty()) {
        // An unmatched destination entry may be this very file under another spelling.
        m_rules.Keep(m_dst.op + file.rel);
    }
    const std::string shownDst = m_dst.shown + file.rel;
    WriteActionLine(ok, IDS_VERB_COPY, m_src.shown + file.rel, &shownDst);
}

Status CBackup::RetryIfLocked(const std::string& path, const std::function<Status()>& op) {
    Status s = op();
    // Some file systems (SMB shares, FAT) refuse to replace or delete a file marked read-only;
    // clear the mark and try once more.
    if (s.code() == Status::Code::kPermission && !Cancelled() && m_fs.MakeReplaceable(path).ok()) {
        s = op();
    }
    return s;
}

bool CBackup::IsNewer(const std::string& src, const std::string& dst) {
    EntryInfo s;
    EntryInfo d;
    if (!m_fs.Stat(src, &s).ok() || !m_fs.Stat(dst, &d).ok()) {
        return false;
    }
    // Compare at the precision the destination keeps: a file system that stores times in
    // coarser steps than the source must not make every run copy the same files again.
    const int64_t step = m_rules.TimeStep(s.mtime_ns, d.mtime_ns);
    return FloorDiv(s.mtime_ns, step) > FloorDiv(d.mtime_ns, step);
}

bool CBackup::MakeRecyclePath(const std::string& rel) {
    EntryInfo info;
    if (m_rcy.op.empty() || !m_fs.Stat(StripSlash(m_rcy.op), &info).ok() ||
        info.kind != EntryKind::kDirectory) {
        return false;
    }
    for (size_t slash = rel.find('/'); slash != std::string::npos;
         slash = rel.find('/', slash + 1)) {
        const std::string level = m_rcy.op + rel.substr(0, slash);
        if (!m_fs.CreateDirectory(level).ok()) {
            // An existing level is fine only as a real directory: never move through a link.
            if (!m_fs.Stat(level, &info).ok() || info.kind != EntryKind::kDirectory) {
                return false;
            }
        }
    }
    return true;
}

void CBackup::ExtraEntries(ExtraFileAction action) {
    const bool move = action == kActionMove;
    std::vector<std::string> toRemove;
    do {
        while (!m_listDstFiles.Empty()) {
            if (Cancelled()) {
                return;
            }
            const DestIndex::Entry x = m_listDstFiles.PopFront();
            const std::string path = m_dst.op + x.rel;
            if (m_rules.IsKept(path)) {
                Step();
                continue;  // the same file as one just written, listed under another spelling
            }
            bool ok = false;
            if (move) {
                // Without a recycle directory nothing is moved anywhere.
                if (MakeRecyclePath(x.rel)) {
                    const std::string target = m_rcy.op + x.rel;
                    ok = RetryIfLocked(path, [&] {
                             return m_fs.MoveFile(path, target, &m_cancel);
                         }).ok();
                }
                const std::string shownTarget = m_rcy.shown + x.rel;
                WriteActionLine(ok, IDS_VERB_MOVE, m_dst.shown + x.rel, &shownTarget);
            } else {
                ok = RetryIfLocked(path, [&] { return m_fs.DeleteFile(path); }).ok();
                WriteActionLine(ok, IDS_VERB_DELETE, m_dst.shown + x.rel, nullptr);
            }
            Step();
        }
        if (!m_listDstDirs.Empty()) {
            if (Cancelled()) {
                return;
            }
            DestIndex::Entry dir = m_listDstDirs.PopFront();
            if (m_rules.IsKept(StripSlash(m_dst.op + dir.rel))) {
                continue;  // a directory the walk entered under another spelling
            }
            std::vector<DirEntry> entries;
            if (List(Side::kDest, dir.rel, &entries)) {
                AddEntries(Side::kDest, dir.rel, entries, false);
            } else {
                WriteActionLine(false, IDS_VERB_READ, m_dst.shown + dir.rel, nullptr);
            }
            toRemove.push_back(std::move(dir.rel));
        }
    } while (!m_listDstFiles.Empty() || !m_listDstDirs.Empty());

    // Children were queued after their parents, so the back of the list goes first. A
    // directory that still holds something stays.
    while (!toRemove.empty()) {
        m_fs.RemoveDirectory(StripSlash(m_dst.op + toRemove.back()));
        toRemove.pop_back();
    }
}

}  // namespace tandrel
