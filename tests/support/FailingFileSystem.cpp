#include "FailingFileSystem.h"

#include "DirHandle.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <utility>

#include "FailingLogFile.h"

namespace tandrel {
namespace {

constexpr int64_t kNsPerSecond = 1000000000;

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<unsigned char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<unsigned char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// Rounds towards minus infinity to a multiple of `step`.
int64_t FloorTo(int64_t ns, int64_t step) {
    int64_t r = ns % step;
    if (r < 0) {
        r += step;
    }
    return ns - r;
}

}  // namespace

FailingFileSystem::FailingFileSystem(FileSystem& base) : base_(base) {}

void FailingFileSystem::FailOn(Op op, std::string path_substring, Status::Code code,
                               std::string reason, int times) {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.push_back(Rule{op, std::move(path_substring), code, std::move(reason), times});
}

void FailingFileSystem::ClearFailures() {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.clear();
}

void FailingFileSystem::SetHook(Hook hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    hook_ = std::move(hook);
}

void FailingFileSystem::SimulateVolume(std::optional<VolumeInfo> info, bool reported) {
    std::lock_guard<std::mutex> lock(mutex_);
    volume_ = info;
    volume_reported_ = reported;
}

std::vector<FailingFileSystem::Call> FailingFileSystem::Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

int FailingFileSystem::CallCount(Op op) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const Call& call : calls_) {
        n += call.op == op ? 1 : 0;
    }
    return n;
}

int FailingFileSystem::InjectedFailures() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return injected_;
}

Status FailingFileSystem::Enter(Op op, const std::string& path, const std::string& path2) {
    Hook hook;
    Status injected;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(Call{op, path, path2});
        hook = hook_;
        for (Rule& rule : rules_) {
            if (rule.op != op || rule.remaining == 0) {
                continue;
            }
            const std::string* hit = nullptr;
            if (path.find(rule.substring) != std::string::npos) {
                hit = &path;
            } else if (!path2.empty() && path2.find(rule.substring) != std::string::npos) {
                hit = &path2;
            }
            if (hit == nullptr) {
                continue;
            }
            if (rule.remaining > 0) {
                --rule.remaining;
            }
            ++injected_;
            injected = Status::Error(rule.code, *hit, rule.reason);
            break;
        }
    }
    if (hook) {
        hook(Call{op, path, path2});
    }
    return injected;
}

std::string FailingFileSystem::Resolve(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!volume_ || !volume_->case_insensitive) {
            return path;
        }
    }
    std::string out;
    size_t pos = 0;
    while (pos < path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == pos) {  // the leading '/' or a doubled one
            out += '/';
            ++pos;
            continue;
        }
        size_t end = slash == std::string::npos ? path.size() : slash;
        std::string part = path.substr(pos, end - pos);
        EntryInfo info;
        if (!base_.Stat(out + part, &info).ok()) {
            std::vector<DirEntry> entries;
            if (base_.ListDirectory(out.empty() ? "." : out, &entries).ok()) {
                for (const DirEntry& entry : entries) {
                    if (EqualIgnoringAsciiCase(entry.name, part)) {
                        part = entry.name;
                        break;
                    }
                }
            }
        }
        out += part;
        pos = end;
    }
    return out;
}

Status FailingFileSystem::ListDirectory(const std::string& dir, std::vector<DirEntry>* entries) {
    const std::string real = Resolve(dir);
    Status s = Enter(Op::kListDirectory, real);
    return s.ok() ? base_.ListDirectory(real, entries) : s;
}

Status FailingFileSystem::Stat(const std::string& path, EntryInfo* info) {
    const std::string real = Resolve(path);
    Status s = Enter(Op::kStat, real);
    return s.ok() ? base_.Stat(real, info) : s;
}

Status FailingFileSystem::CopyFile(const std::string& src, const std::string& dst,
                                   const std::atomic<bool>* cancel) {
    const std::string real_src = Resolve(src);
    const std::string real_dst = Resolve(dst);
    Status s = Enter(Op::kCopyFile, real_src, real_dst);
    if (!s.ok()) {
        return s;
    }
    s = base_.CopyFile(real_src, real_dst, cancel);
    return s.ok() ? AfterCopyPath(real_dst) : s;
}

Status FailingFileSystem::AfterCopyPath(const std::string& real_dst) {
    int64_t step = 1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (volume_) {
            step = volume_->time_granularity_ns;
        }
    }
    if (step <= 1) {
        return Status::Ok();
    }
    // Store the time the way the simulated volume would: cut down to its step.
    {
        std::lock_guard<std::mutex> lock(mutex_);
        copied_.push_back(real_dst);
    }
    return CutTime(real_dst, step);
}

Status FailingFileSystem::CutTime(const std::string& path, int64_t step) {
    EntryInfo info;
    Status s = base_.Stat(path, &info);
    if (!s.ok()) {
        return s;
    }
    const int64_t kept = FloorTo(info.mtime_ns, step);
    timespec times[2] = {{0, UTIME_OMIT}, {0, 0}};
    times[1].tv_sec = static_cast<time_t>(FloorTo(kept, kNsPerSecond) / kNsPerSecond);
    times[1].tv_nsec = static_cast<long>(kept - FloorTo(kept, kNsPerSecond));
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        return Status::FromErrno(errno, path);
    }
    return Status::Ok();
}

Status FailingFileSystem::CommitCopies(bool abandon) {
    Status s = Enter(Op::kCommitCopies, std::string());
    if (!s.ok()) {
        return s;
    }
    s = base_.CommitCopies(abandon);
    std::vector<std::string> copied;
    int64_t step = 1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        copied.swap(copied_);
        if (volume_) {
            step = volume_->time_granularity_ns;
        }
    }
    if (step > 1) {
        for (const std::string& path : copied) {
            CutTime(path, step);
        }
    }
    return s;
}

Status FailingFileSystem::MoveFile(const std::string& src, const std::string& dst,
                                   const std::atomic<bool>* cancel) {
    const std::string real_src = Resolve(src);
    const std::string real_dst = Resolve(dst);
    Status s = Enter(Op::kMoveFile, real_src, real_dst);
    return s.ok() ? base_.MoveFile(real_src, real_dst, cancel) : s;
}

Status FailingFileSystem::DeleteFile(const std::string& path) {
    const std::string real = Resolve(path);
    Status s = Enter(Op::kDeleteFile, real);
    return s.ok() ? base_.DeleteFile(real) : s;
}

Status FailingFileSystem::CreateDirectory(const std::string& path) {
    const std::string real = Resolve(path);
    Status s = Enter(Op::kCreateDirectory, real);
    return s.ok() ? base_.CreateDirectory(real) : s;
}

Status FailingFileSystem::RemoveDirectory(const std::string& path) {
    const std::string real = Resolve(path);
    Status s = Enter(Op::kRemoveDirectory, real);
    return s.ok() ? base_.RemoveDirectory(real) : s;
}

Status FailingFileSystem::MakeReplaceable(const std::string& path) {
    const std::string real = Resolve(path);
    Status s = Enter(Op::kMakeReplaceable, real);
    return s.ok() ? base_.MakeReplaceable(real) : s;
}

Status FailingFileSystem::GetVolumeInfo(const std::string& dir, VolumeInfo* info) {
    const std::string real = Resolve(dir);
    Status s = Enter(Op::kGetVolumeInfo, real);
    if (!s.ok()) {
        return s;
    }
    VolumeInfo actual;
    s = base_.GetVolumeInfo(real, &actual);
    if (!s.ok()) {
        return s;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    *info = volume_ && volume_reported_ ? *volume_ : actual;
    return Status::Ok();
}

Status FailingFileSystem::RemoveStaleTemp(const std::string& path) {
    const std::string real = Resolve(path);
    Status s = Enter(Op::kRemoveStaleTemp, real);
    return s.ok() ? base_.RemoveStaleTemp(real) : s;
}

Status FailingFileSystem::CanonicalPath(const std::string& path, std::string* canonical) {
    Status s = Enter(Op::kCanonicalPath, path);
    return s.ok() ? base_.CanonicalPath(path, canonical) : s;
}

Status FailingFileSystem::LocateDirectory(const std::string& path, DirectoryPlace* place) {
    Status s = Enter(Op::kLocateDirectory, path);
    return s.ok() ? base_.LocateDirectory(path, place) : s;
}

Status FailingFileSystem::PathBelow(const std::string& outer, const std::string& inner,
                                    std::string* rel) {
    Status s = Enter(Op::kPathBelow, outer, inner);
    return s.ok() ? base_.PathBelow(outer, inner, rel) : s;
}

Status FailingFileSystem::OpenLogFile(const std::string& path, std::unique_ptr<LogFile>* log,
                                      LogOpenMode mode) {
    Status s = Enter(Op::kOpenLogFile, path);
    if (!s.ok()) {
        return s;
    }
    std::unique_ptr<LogFile> real;
    s = base_.OpenLogFile(path, &real, mode);
    if (!s.ok()) {
        return s;
    }
    *log = std::make_unique<FailingLogFile>(std::move(real),
                                            [this, path] { return Enter(Op::kLogWrite, path); });
    return Status::Ok();
}

}  // namespace tandrel

namespace tandrel {

std::string FailingFileSystem::ResolveAt(const DirHandle& dir, const std::string& name) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!volume_ || !volume_->case_insensitive) {
            return name;
        }
    }
    EntryInfo info;
    DirListing entries;
    if (name.empty() || base_.StatAt(dir, name, &info).ok() ||
        !base_.ListDirectoryAt(dir, &entries).ok()) {
        return name;
    }
    for (const DirListing::Entry entry : entries) {
        if (EqualIgnoringAsciiCase(entry.name, name)) {
            return std::string(entry.name);
        }
    }
    return name;
}

Status FailingFileSystem::OpenDirectory(const std::string& path, DirHandle* dir) {
    const std::string real = Resolve(path);
    Status s = Enter(Op::kOpenDirectory, real);
    return s.ok() ? base_.OpenDirectory(real, dir) : s;
}

Status FailingFileSystem::OpenSubdirectory(const DirHandle& parent, const std::string& name,
                                           DirHandle* dir) {
    const std::string real = ResolveAt(parent, name);
    Status s = Enter(Op::kOpenDirectory, parent.PathOf(real));
    return s.ok() ? base_.OpenSubdirectory(parent, real, dir) : s;
}

Status FailingFileSystem::OpenContainingDirectory(const DirHandle& dir, DirHandle* parent) {
    Status s = Enter(Op::kOpenDirectory, dir.PathOf(".."));
    return s.ok() ? base_.OpenContainingDirectory(dir, parent) : s;
}

Status FailingFileSystem::ListDirectoryAt(const DirHandle& dir, DirListing* listing) {
    Status s = Enter(Op::kListDirectory, dir.path());
    if (!s.ok()) {
        listing->Clear();
        return s;
    }
    return base_.ListDirectoryAt(dir, listing);
}

Status FailingFileSystem::StatAt(const DirHandle& dir, const std::string& name, EntryInfo* info) {
    const std::string real = ResolveAt(dir, name);
    Status s = Enter(Op::kStat, real.empty() ? dir.path() : dir.PathOf(real));
    return s.ok() ? base_.StatAt(dir, real, info) : s;
}

Status FailingFileSystem::CopyFileAt(const DirHandle& src_dir, const std::string& src_name,
                                     const DirHandle& dst_dir, const std::string& dst_name,
                                     const std::atomic<bool>* cancel) {
    const std::string real_src = ResolveAt(src_dir, src_name);
    const std::string real_dst = ResolveAt(dst_dir, dst_name);
    Status s = Enter(Op::kCopyFile, src_dir.PathOf(real_src), dst_dir.PathOf(real_dst));
    if (!s.ok()) {
        return s;
    }
    s = base_.CopyFileAt(src_dir, real_src, dst_dir, real_dst, cancel);
    return s.ok() ? AfterCopy(dst_dir, real_dst) : s;
}

Status FailingFileSystem::AfterCopy(const DirHandle& dir, const std::string& name) {
    return AfterCopyPath(dir.PathOf(name));
}

Status FailingFileSystem::MoveFileAt(const DirHandle& src_dir, const std::string& src_name,
                                     const DirHandle& dst_dir, const std::string& dst_name,
                                     const std::atomic<bool>* cancel) {
    const std::string real_src = ResolveAt(src_dir, src_name);
    const std::string real_dst = ResolveAt(dst_dir, dst_name);
    Status s = Enter(Op::kMoveFile, src_dir.PathOf(real_src), dst_dir.PathOf(real_dst));
    return s.ok() ? base_.MoveFileAt(src_dir, real_src, dst_dir, real_dst, cancel) : s;
}

Status FailingFileSystem::MoveNoReplaceAt(const DirHandle& src_dir, const std::string& src_name,
                                          const DirHandle& dst_dir, const std::string& dst_name,
                                          std::string* placed_name,
                                          const std::atomic<bool>* cancel) {
    *placed_name = dst_name;
    const std::string real_src = ResolveAt(src_dir, src_name);
    const std::string real_dst = ResolveAt(dst_dir, dst_name);
    Status s = Enter(Op::kMoveFile, src_dir.PathOf(real_src), dst_dir.PathOf(real_dst));
    return s.ok() ? base_.MoveNoReplaceAt(src_dir, real_src, dst_dir, real_dst, placed_name, cancel)
                  : s;
}

Status FailingFileSystem::DeleteFileAt(const DirHandle& dir, const std::string& name) {
    const std::string real = ResolveAt(dir, name);
    Status s = Enter(Op::kDeleteFile, dir.PathOf(real));
    return s.ok() ? base_.DeleteFileAt(dir, real) : s;
}

Status FailingFileSystem::CreateDirectoryAt(const DirHandle& dir, const std::string& name,
                                            mode_t mode) {
    const std::string real = ResolveAt(dir, name);
    Status s = Enter(Op::kCreateDirectory, dir.PathOf(real));
    return s.ok() ? base_.CreateDirectoryAt(dir, real, mode) : s;
}

Status FailingFileSystem::RemoveDirectoryAt(const DirHandle& dir, const std::string& name) {
    const std::string real = ResolveAt(dir, name);
    Status s = Enter(Op::kRemoveDirectory, dir.PathOf(real));
    return s.ok() ? base_.RemoveDirectoryAt(dir, real) : s;
}

Status FailingFileSystem::SetDirectoryMode(const DirHandle& dir, mode_t mode) {
    Status s = Enter(Op::kSetDirectoryMode, dir.path());
    return s.ok() ? base_.SetDirectoryMode(dir, mode) : s;
}

Status FailingFileSystem::MakeReplaceableAt(const DirHandle& dir, const std::string& name) {
    const std::string real = ResolveAt(dir, name);
    Status s = Enter(Op::kMakeReplaceable, dir.PathOf(real));
    return s.ok() ? base_.MakeReplaceableAt(dir, real) : s;
}

Status FailingFileSystem::SetFileModeAt(const DirHandle& dir, const std::string& name,
                                        mode_t mode) {
    const std::string real = ResolveAt(dir, name);
    Status s = Enter(Op::kSetFileMode, dir.PathOf(real));
    return s.ok() ? base_.SetFileModeAt(dir, real, mode) : s;
}

Status FailingFileSystem::RemoveStaleTempAt(const DirHandle& dir, const std::string& name) {
    const std::string real = ResolveAt(dir, name);
    Status s = Enter(Op::kRemoveStaleTemp, dir.PathOf(real));
    return s.ok() ? base_.RemoveStaleTempAt(dir, real) : s;
}

Status FailingFileSystem::ProbeStoredTime(const DirHandle& dir, int64_t mtime_ns,
                                          int64_t* stored_ns) {
    Status s = Enter(Op::kProbeTime, dir.path());
    if (s.ok()) {
        s = base_.ProbeStoredTime(dir, mtime_ns, stored_ns);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (s.ok() && volume_ && volume_->time_granularity_ns > 1) {
        *stored_ns = FloorTo(*stored_ns, volume_->time_granularity_ns);
    }
    return s;
}

}  // namespace tandrel
