#include "EntryCopier.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "ContentCopier.h"
#include "FileSystem.h"
#include "PosixPath.h"
#include "UniqueFd.h"

namespace tandrel {
namespace {

bool IsCancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// Removes a temporary in `dir_fd` when the copy that made it does not get as far as renaming
// it over its target, whichever way the copy ends.
class TempGuard {
  public:
    TempGuard(int dir_fd, std::string name) : dir_fd_(dir_fd), name_(std::move(name)) {}
    ~TempGuard() {
        if (!committed_) {
            unlinkat(dir_fd_, name_.c_str(), 0);
        }
    }
    TempGuard(const TempGuard&) = delete;
    TempGuard& operator=(const TempGuard&) = delete;
    void Commit() { committed_ = true; }

  private:
    int dir_fd_;
    std::string name_;
    bool committed_ = false;
};

// Tries fresh names until `create` (given a name, returning 0 or an errno value) stops
// failing with EEXIST: another copy, or a stale temporary of a process that had our pid, may
// hold a name.
template <typename Create>
int CreateTemp(std::string* name, Create create) {
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        *name = MakeTempName();
        err = create(*name);
    }
    return err;
}

// Reads the target text of the link `name` in `dir_fd`, whatever its length; `path` names it
// in errors.
Status ReadLinkText(int dir_fd, const std::string& name, const std::string& path, size_t hint,
                    std::string* target) {
    std::string buf(std::max<size_t>(hint + 1, 256), '\0');
    for (;;) {
        ssize_t n = readlinkat(dir_fd, name.c_str(), buf.data(), buf.size());
        if (n < 0) {
            return Status::FromErrno(errno, path);
        }
        if (static_cast<size_t>(n) < buf.size()) {
            buf.resize(static_cast<size_t>(n));
            *target = std::move(buf);
            return Status::Ok();
        }
        buf.resize(buf.size() * 2);
    }
}

// The failure of the rename of a finished copy over `dst`.
Status RenameError(int err, const std::string& dst) {
    if (err == EISDIR) {
        return Status::Error(Status::Code::kIsDirectory, dst,
                             "is a directory; not replaced by a file");
    }
    return Status::FromErrno(err, dst);
}

}  // namespace

Status EntryCopier::Copy(const DirHandle& src_dir, const std::string& src_name,
                         const DirHandle& dst_dir, const std::string& dst_name,
                         const std::atomic<bool>* cancel) const {
    if (!PosixPath::IsComponent(src_name)) {
        return PosixPath::NotAComponent(src_dir.path(), src_name);
    }
    if (!PosixPath::IsComponent(dst_name)) {
        return PosixPath::NotAComponent(dst_dir.path(), dst_name);
    }
    const std::string src = src_dir.PathOf(src_name);
    const std::string dst = dst_dir.PathOf(dst_name);
    struct stat st {};
    if (fstatat(src_dir.fd(), src_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return Status::FromErrno(errno, src);
    }
    if (S_ISDIR(st.st_mode)) {
        return Status::Error(Status::Code::kIsDirectory, src,
                             "is a directory; only files and links are copied");
    }
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        // Never opened: opening a pipe could block, opening a device could act on it.
        return Status::Error(Status::Code::kUnsupported, src,
                             "is a pipe, socket or device; only files and links are copied");
    }
    if (IsCancelled(cancel)) {
        return Status::Cancelled(dst);
    }
    // A directory at the target is found by the rename, which never replaces one (EISDIR).
    if (S_ISLNK(st.st_mode)) {
        return CopyLink(src_dir, src_name, st, dst_dir, dst_name);
    }
    return CopyRegular(src_dir, src_name, dst_dir, dst_name, cancel);
}

Status EntryCopier::CopyRegular(const DirHandle& src_dir, const std::string& src_name,
                                const DirHandle& dst_dir, const std::string& dst_name,
                                const std::atomic<bool>* cancel) const {
    const std::string src = src_dir.PathOf(src_name);
    const std::string dst = dst_dir.PathOf(dst_name);
    const int dir_fd = dst_dir.fd();
    // O_NONBLOCK: should the entry have turned into a pipe since lstat, the open returns at
    // once and the fstat below refuses it.
    UniqueFd in(
        openat(src_dir.fd(), src_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid()) {
        if (errno == ELOOP) {
            return Status::Error(Status::Code::kBusy, src, "turned into a link while being copied");
        }
        return Status::FromErrno(errno, src);
    }
    struct stat st {};
    if (fstat(in.get(), &st) != 0) {
        return Status::FromErrno(errno, src);
    }
    if (!S_ISREG(st.st_mode)) {
        return Status::Error(Status::Code::kUnsupported, src,
                             "is no longer a regular file; not copied");
    }

    // Made with the source's permission bits, so that in the usual case (the umask takes
    // none of them away) no change of mode is needed afterwards. The open descriptor may
    // write whatever bits the new file has.
    std::string temp;
    UniqueFd out;
    int err = CreateTemp(&temp, [&](const std::string& candidate) {
        out = UniqueFd(openat(dir_fd, candidate.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              st.st_mode & 0777));
        return out.valid() ? 0 : errno;
    });
    if (err != 0) {
        return Status::FromErrno(err, dst);
    }
    TempGuard guard(dir_fd, temp);
    struct stat made {};
    if (fstat(out.get(), &made) != 0) {
        return Status::FromErrno(errno, dst);
    }

    Status s = ContentCopier(options_, clones_)
                   .Copy(in.get(), out.get(), st, made.st_dev, src, dst, cancel);
    if (!s.ok()) {
        return s;
    }
    // The source's permission bits; set-user-id and set-group-id only where the copy belongs
    // to the same owner and group as the source (as cp -p does), so that a copy never gains
    // rights its source did not give.
    mode_t mode = st.st_mode & 07777;
    if (made.st_uid != st.st_uid) {
        mode &= ~S_ISUID;
    }
    if (made.st_gid != st.st_gid) {
        mode &= ~S_ISGID;
    }
    if ((made.st_mode & 07777) != mode && fchmod(out.get(), mode) != 0) {
        return Status::FromErrno(errno, dst);
    }
    // A source time the placeholder could not be told from is flushed on its own. FAT keeps
    // no time before 1980 and stores the placeholder as 1980-01-01, so that is the bound.
    const bool batched = batch_ != nullptr &&
                         options_.durability == CopyOptions::Durability::kBatched &&
                         st.st_mtim.tv_sec > StampBatch::kEarliestBatchedSec;
    timespec times[2] = {st.st_atim, st.st_mtim};
    if (batched) {
        times[1] = timespec{StampBatch::kPlaceholderSec, 0};
    }
    if (futimens(out.get(), times) != 0) {
        return Status::FromErrno(errno, dst);
    }
    if (!batched && fsync(out.get()) != 0 && errno != EINVAL) {
        return Status::FromErrno(errno, dst);
    }
    if ((err = out.Close()) != 0) {
        return Status::FromErrno(err, dst);
    }
    if (renameat(dir_fd, temp.c_str(), dir_fd, dst_name.c_str()) != 0) {
        return RenameError(errno, dst);
    }
    guard.Commit();
    if (batched) {
        // A batch flushed behind still holds its descriptors while the next one fills: each
        // gets half, so that together they hold no more than batch_dirs.
        const size_t dirs = options_.flush_behind ? std::max<size_t>(options_.batch_dirs / 2, 1)
                                                  : options_.batch_dirs;
        StampBatch::Limits limits{options_.batch_files, options_.batch_bytes, dirs};
        if (batch_->Add(dst_dir, dst_name, made.st_dev, made.st_ino, st.st_atim, st.st_mtim,
                        static_cast<uint64_t>(st.st_size), limits)) {
            if (options_.flush_behind) {
                batch_->FlushBehind();
            } else {
                batch_->FlushFull();
            }
        }
    }
    return Status::Ok();
}

Status EntryCopier::CopyLink(const DirHandle& src_dir, const std::string& src_name,
                             const struct stat& st, const DirHandle& dst_dir,
                             const std::string& dst_name) const {
    const std::string dst = dst_dir.PathOf(dst_name);
    const int dir_fd = dst_dir.fd();
    std::string target;
    Status s = ReadLinkText(src_dir.fd(), src_name, src_dir.PathOf(src_name),
                            static_cast<size_t>(st.st_size), &target);
    if (!s.ok()) {
        return s;
    }
    std::string temp;
    int err = CreateTemp(&temp, [&](const std::string& candidate) {
        return symlinkat(target.c_str(), dir_fd, candidate.c_str()) == 0 ? 0 : errno;
    });
    if (err != 0) {
        return Status::FromErrno(err, dst);
    }
    TempGuard guard(dir_fd, temp);
    // The link's own times, never its target's.
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (utimensat(dir_fd, temp.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        return Status::FromErrno(errno, dst);
    }
    if (renameat(dir_fd, temp.c_str(), dir_fd, dst_name.c_str()) != 0) {
        return RenameError(errno, dst);
    }
    guard.Commit();
    return Status::Ok();
}

}  // namespace tandrel
