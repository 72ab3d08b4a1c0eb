#include "DryRunFileSystem.h"

#include "DirHandle.h"

namespace tandrel {

namespace {

Status NotFound(const std::string& path) {
    return Status::Error(Status::Code::kNotFound, path, "No such file or directory");
}

}  // namespace

bool DryRunFileSystem::WasMade(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return made_.count(path) != 0;
}

Status DryRunFileSystem::Look(const DirHandle& dir, const std::string& name, EntryInfo* info) {
    if (IsMade(dir)) {
        if (name.empty()) {
            *info = EntryInfo{};
            info->kind = EntryKind::kDirectory;
            info->mode = 0700;
            return Status::Ok();
        }
        if (WasMade(dir.PathOf(name))) {
            *info = EntryInfo{};
            info->kind = EntryKind::kDirectory;
            return Status::Ok();
        }
        return NotFound(dir.PathOf(name));
    }
    const Status s = base_.StatAt(dir, name, info);
    if (s.IsNotFound() && WasMade(dir.PathOf(name))) {
        *info = EntryInfo{};
        info->kind = EntryKind::kDirectory;
        return Status::Ok();
    }
    return s;
}

Status DryRunFileSystem::CheckTransfer(const DirHandle& src_dir, const std::string& src_name,
                                       const DirHandle& dst_dir, const std::string& dst_name,
                                       bool moving) {
    EntryInfo from;
    Status s = Look(src_dir, src_name, &from);
    if (!s.ok()) {
        return s;
    }
    if (from.kind == EntryKind::kDirectory) {
        return Status::Error(Status::Code::kIsDirectory, src_dir.PathOf(src_name),
                             moving ? "is a directory; only files and links are moved"
                                    : "is a directory; only files and links are copied");
    }
    // A directory made only here lies on the file system of the real one it was made in; where
    // that cannot be told, the move is taken to be a rename.
    if (from.kind == EntryKind::kOther &&
        (!moving || (src_dir.valid() && dst_dir.valid() && src_dir.id().dev != dst_dir.id().dev))) {
        return Status::Error(Status::Code::kUnsupported, src_dir.PathOf(src_name),
                             moving ? "is a pipe, socket or device and cannot be moved to another "
                                      "file system"
                                    : "is a pipe, socket or device; only files and links are "
                                      "copied");
    }
    EntryInfo to;
    if (Look(dst_dir, dst_name, &to).ok() && to.kind == EntryKind::kDirectory) {
        return Status::Error(Status::Code::kIsDirectory, dst_dir.PathOf(dst_name),
                             "is a directory; not replaced by a file");
    }
    return Status::Ok();
}

// Reads are passed on.

Status DryRunFileSystem::ListDirectory(const std::string& dir, std::vector<DirEntry>* entries) {
    return base_.ListDirectory(dir, entries);
}

Status DryRunFileSystem::Stat(const std::string& path, EntryInfo* info) {
    return base_.Stat(path, info);
}

Status DryRunFileSystem::GetVolumeInfo(const std::string& dir, VolumeInfo* info) {
    return base_.GetVolumeInfo(dir, info);
}

Status DryRunFileSystem::CanonicalPath(const std::string& path, std::string* canonical) {
    return base_.CanonicalPath(path, canonical);
}

Status DryRunFileSystem::LocateDirectory(const std::string& path, DirectoryPlace* place) {
    return base_.LocateDirectory(path, place);
}

Status DryRunFileSystem::PathBelow(const std::string& outer, const std::string& inner,
                                   std::string* rel) {
    return base_.PathBelow(outer, inner, rel);
}

Status DryRunFileSystem::OpenDirectory(const std::string& path, DirHandle* dir) {
    return base_.OpenDirectory(path, dir);
}

Status DryRunFileSystem::OpenSubdirectory(const DirHandle& parent, const std::string& name,
                                          DirHandle* dir) {
    const std::string path = parent.PathOf(name);
    if (!IsMade(parent)) {
        const Status s = base_.OpenSubdirectory(parent, name, dir);
        if (!s.IsNotFound() || !WasMade(path)) {
            return s;
        }
    } else if (!WasMade(path)) {
        return NotFound(path);
    }
    *dir = DirHandle(UniqueFd(), path);
    return Status::Ok();
}

Status DryRunFileSystem::OpenContainingDirectory(const DirHandle& dir, DirHandle* parent) {
    if (IsMade(dir)) {
        // Exists for this run alone: its parent is known only by name.
        return FileSystem::OpenContainingDirectory(dir, parent);
    }
    return base_.OpenContainingDirectory(dir, parent);
}

Status DryRunFileSystem::ListDirectoryAt(const DirHandle& dir, DirListing* listing) {
    if (IsMade(dir)) {
        listing->Clear();
        return Status::Ok();
    }
    return base_.ListDirectoryAt(dir, listing);
}

Status DryRunFileSystem::StatAt(const DirHandle& dir, const std::string& name, EntryInfo* info) {
    return Look(dir, name, info);
}

// Writes are checked as far as reading can tell, and reported as done.

Status DryRunFileSystem::CopyFileAt(const DirHandle& src_dir, const std::string& src_name,
                                    const DirHandle& dst_dir, const std::string& dst_name,
                                    const std::atomic<bool>* cancel) {
    if (cancel != nullptr && cancel->load()) {
        return Status::Cancelled(dst_dir.PathOf(dst_name));
    }
    return CheckTransfer(src_dir, src_name, dst_dir, dst_name, false);
}

Status DryRunFileSystem::MoveFileAt(const DirHandle& src_dir, const std::string& src_name,
                                    const DirHandle& dst_dir, const std::string& dst_name,
                                    const std::atomic<bool>* cancel) {
    if (cancel != nullptr && cancel->load()) {
        return Status::Cancelled(dst_dir.PathOf(dst_name));
    }
    return CheckTransfer(src_dir, src_name, dst_dir, dst_name, true);
}

Status DryRunFileSystem::MoveNoReplaceAt(const DirHandle& src_dir, const std::string& src_name,
                                         const DirHandle& dst_dir, const std::string& dst_name,
                                         std::string* placed_name,
                                         const std::atomic<bool>* cancel) {
    // The name the real move would take: the first that is free on the disk and not taken by
    // an earlier move of this dry run.
    *placed_name = dst_name;
    for (unsigned n = 0; n < 100000; ++n) {
        const std::string candidate = NumberedName(dst_name, n);
        EntryInfo info;
        bool taken = Look(dst_dir, candidate, &info).ok();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            taken = taken || placed_.count(dst_dir.PathOf(candidate)) != 0;
        }
        if (!taken) {
            *placed_name = candidate;
            break;
        }
    }
    Status s = CheckTransfer(src_dir, src_name, dst_dir, *placed_name, true);
    if (s.ok() && cancel != nullptr && cancel->load()) {
        s = Status::Cancelled(dst_dir.PathOf(*placed_name));
    }
    if (s.ok()) {
        std::lock_guard<std::mutex> lock(mutex_);
        placed_.insert(dst_dir.PathOf(*placed_name));
    }
    return s;
}

Status DryRunFileSystem::DeleteFileAt(const DirHandle& dir, const std::string& name) {
    EntryInfo info;
    const Status s = Look(dir, name, &info);
    if (s.ok() && info.kind == EntryKind::kDirectory) {
        return Status::Error(Status::Code::kIsDirectory, dir.PathOf(name),
                             "is a directory; not deleted as a file");
    }
    return s;
}

Status DryRunFileSystem::CreateDirectoryAt(const DirHandle& dir, const std::string& name, mode_t) {
    EntryInfo info;
    if (Look(dir, name, &info).ok()) {
        return Status::Error(Status::Code::kExists, dir.PathOf(name), "File exists");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    made_.insert(dir.PathOf(name));
    return Status::Ok();
}

Status DryRunFileSystem::RemoveDirectoryAt(const DirHandle&, const std::string&) {
    return Status::Ok();
}

Status DryRunFileSystem::SetDirectoryMode(const DirHandle&, mode_t) {
    return Status::Ok();
}

Status DryRunFileSystem::MakeReplaceableAt(const DirHandle&, const std::string&) {
    return Status::Ok();
}

Status DryRunFileSystem::SetFileModeAt(const DirHandle&, const std::string&, mode_t) {
    return Status::Ok();
}

Status DryRunFileSystem::ProbeStoredTime(const DirHandle& dir, int64_t mtime_ns,
                                         int64_t* stored_ns) {
    // Nothing is written, not even a probe: the walk then compares at the finer step.
    return FileSystem::ProbeStoredTime(dir, mtime_ns, stored_ns);
}

Status DryRunFileSystem::RemoveStaleTempAt(const DirHandle&, const std::string&) {
    return Status::Ok();
}

Status DryRunFileSystem::CommitCopies(bool) {
    return Status::Ok();
}

Status DryRunFileSystem::OpenLogFile(const std::string& path, std::unique_ptr<LogFile>*,
                                     LogOpenMode) {
    return Status::Error(Status::Code::kUnsupported, path, "no log file is written in a preview");
}

// The path forms change nothing either; the walk uses the forms on open directories.

Status DryRunFileSystem::CopyFile(const std::string& src, const std::string& dst,
                                  const std::atomic<bool>*) {
    EntryInfo info;
    const Status s = base_.Stat(src, &info);
    if (!s.ok()) {
        return s;
    }
    return info.kind == EntryKind::kDirectory
               ? Status::Error(Status::Code::kIsDirectory, src, "is a directory")
               : (base_.Stat(dst, &info).ok() && info.kind == EntryKind::kDirectory
                      ? Status::Error(Status::Code::kIsDirectory, dst, "is a directory")
                      : Status::Ok());
}

Status DryRunFileSystem::MoveFile(const std::string& src, const std::string& dst,
                                  const std::atomic<bool>* cancel) {
    return CopyFile(src, dst, cancel);
}

Status DryRunFileSystem::DeleteFile(const std::string& path) {
    EntryInfo info;
    const Status s = base_.Stat(path, &info);
    if (s.ok() && info.kind == EntryKind::kDirectory) {
        return Status::Error(Status::Code::kIsDirectory, path, "is a directory");
    }
    return s;
}

Status DryRunFileSystem::CreateDirectory(const std::string& path) {
    EntryInfo info;
    if (base_.Stat(path, &info).ok() || WasMade(path)) {
        return Status::Error(Status::Code::kExists, path, "File exists");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    made_.insert(path);
    return Status::Ok();
}

Status DryRunFileSystem::RemoveDirectory(const std::string&) {
    return Status::Ok();
}

Status DryRunFileSystem::MakeReplaceable(const std::string&) {
    return Status::Ok();
}

Status DryRunFileSystem::RemoveStaleTemp(const std::string&) {
    return Status::Ok();
}

}  // namespace tandrel
