// The *At forms of PosixFileSystem that change entries: copy, move, delete, create, remove.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "EntryCopier.h"
#include "PosixFileSystem.h"
#include "PosixPath.h"

namespace tandrel {
namespace {

// `name` in `dir`, looked up without following a link; false (errno set) when it cannot be.
bool LookUp(const DirHandle& dir, const std::string& name, struct stat* st) {
    return fstatat(dir.fd(), name.c_str(), st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Beyond this many numbered names beside one name something is wrong; the move fails.
constexpr unsigned kMaxNumberedNames = 100000;

// Gives the entry `from` in from_fd the name `to` in to_fd only if nothing is there: 0, or the
// errno (EEXIST when the name is taken). Where the file system has no rename that refuses a
// target, a hard link (which never replaces either) and then the removal of the old name.
int RenameNoReplace(int from_fd, const std::string& from, int to_fd, const std::string& to) {
    if (renameat2(from_fd, from.c_str(), to_fd, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int err = errno;
    if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP) {
        return err;
    }
    if (linkat(from_fd, from.c_str(), to_fd, to.c_str(), 0) != 0) {
        return errno;
    }
    if (unlinkat(from_fd, from.c_str(), 0) != 0) {
        const int unlinkErr = errno;
        unlinkat(to_fd, to.c_str(), 0);  // the new name is ours: the entry stays where it was
        return unlinkErr;
    }
    return 0;
}

// Places `from` at `to` or the first free numbered name beside it (*placed). EEXIST only when
// every name is taken.
int PlaceNoReplace(int from_fd, const std::string& from, int to_fd, const std::string& to,
                   std::string* placed) {
    for (unsigned n = 0; n <= kMaxNumberedNames; ++n) {
        const std::string candidate = NumberedName(to, n);
        const int err = RenameNoReplace(from_fd, from, to_fd, candidate);
        if (err != EEXIST) {
            *placed = candidate;
            return err;
        }
    }
    *placed = to;
    return EEXIST;
}

// What a move checks first: both names are single path components and the source is there
// and not a directory (its status in *from_st).
Status CheckMoveSource(const DirHandle& src_dir, const std::string& src_name,
                       const DirHandle& dst_dir, const std::string& dst_name,
                       struct stat* from_st) {
    if (!PosixPath::IsComponent(src_name)) {
        return PosixPath::NotAComponent(src_dir.path(), src_name);
    }
    if (!PosixPath::IsComponent(dst_name)) {
        return PosixPath::NotAComponent(dst_dir.path(), dst_name);
    }
    if (!LookUp(src_dir, src_name, from_st)) {
        return Status::FromErrno(errno, src_dir.PathOf(src_name));
    }
    if (S_ISDIR(from_st->st_mode)) {
        return Status::Error(Status::Code::kIsDirectory, src_dir.PathOf(src_name),
                             "is a directory; only files and links are moved");
    }
    return Status::Ok();
}

}  // namespace

Status PosixFileSystem::CopyFileAt(const DirHandle& src_dir, const std::string& src_name,
                                   const DirHandle& dst_dir, const std::string& dst_name,
                                   const std::atomic<bool>* cancel) {
    return EntryCopier(options_, &batch_, &clones_)
        .Copy(src_dir, src_name, dst_dir, dst_name, cancel);
}

Status PosixFileSystem::MoveFileAt(const DirHandle& src_dir, const std::string& src_name,
                                   const DirHandle& dst_dir, const std::string& dst_name,
                                   const std::atomic<bool>* cancel) {
    struct stat from_st {};
    if (Status s = CheckMoveSource(src_dir, src_name, dst_dir, dst_name, &from_st); !s.ok()) {
        return s;
    }
    const std::string src = src_dir.PathOf(src_name);
    const std::string dst = dst_dir.PathOf(dst_name);
    struct stat to_st {};
    if (LookUp(dst_dir, dst_name, &to_st)) {
        if (S_ISDIR(to_st.st_mode)) {
            return Status::Error(Status::Code::kIsDirectory, dst,
                                 "is a directory; not replaced by a file");
        }
        if (to_st.st_dev == from_st.st_dev && to_st.st_ino == from_st.st_ino) {
            // rename() between two names of one file does nothing and reports success,
            // which would leave src in place. The same entry reached through two handles of
            // one directory has nothing to move; two hard links become one by removing src.
            if (src_dir.id() == dst_dir.id() && src_name == dst_name) {
                return Status::Ok();
            }
            return unlinkat(src_dir.fd(), src_name.c_str(), 0) == 0 ? Status::Ok()
                                                                    : Status::FromErrno(errno, src);
        }
    }
    if (renameat(src_dir.fd(), src_name.c_str(), dst_dir.fd(), dst_name.c_str()) == 0) {
        return Status::Ok();
    }
    const int err = errno;
    if (err == EXDEV) {
        return MoveByCopyAt(src_dir, src_name, dst_dir, dst_name, cancel);
    }
    struct stat again {};
    if (err == ENOENT && !LookUp(src_dir, src_name, &again)) {
        return Status::FromErrno(err, src);
    }
    return Status::FromErrno(err, dst);
}

Status PosixFileSystem::MoveNoReplaceAt(const DirHandle& src_dir, const std::string& src_name,
                                        const DirHandle& dst_dir, const std::string& dst_name,
                                        std::string* placed_name, const std::atomic<bool>* cancel) {
    *placed_name = dst_name;
    struct stat from_st {};
    if (Status s = CheckMoveSource(src_dir, src_name, dst_dir, dst_name, &from_st); !s.ok()) {
        return s;
    }
    const std::string src = src_dir.PathOf(src_name);
    if (src_dir.id() == dst_dir.id() && src_name == dst_name) {
        return Status::Ok();  // already where it is to go
    }
    const int err = PlaceNoReplace(src_dir.fd(), src_name, dst_dir.fd(), dst_name, placed_name);
    if (err == 0) {
        return Status::Ok();
    }
    if (err == EXDEV) {
        return MoveByCopyAt(src_dir, src_name, dst_dir, dst_name, cancel, placed_name);
    }
    struct stat again {};
    if (err == ENOENT && !LookUp(src_dir, src_name, &again)) {
        return Status::FromErrno(err, src);
    }
    return Status::FromErrno(err, dst_dir.PathOf(*placed_name));
}

Status PosixFileSystem::MoveByCopyAt(const DirHandle& src_dir, const std::string& src_name,
                                     const DirHandle& dst_dir, const std::string& dst_name,
                                     const std::atomic<bool>* cancel, std::string* placed_name) {
    EntryInfo info;
    Status s = StatAt(src_dir, src_name, &info);
    if (!s.ok()) {
        return s;
    }
    const std::string src = src_dir.PathOf(src_name);
    if (src_name.empty() || info.kind == EntryKind::kDirectory) {
        return Status::Error(Status::Code::kIsDirectory, src,
                             "is a directory; only files and links are moved");
    }
    if (info.kind == EntryKind::kOther) {
        return Status::Error(Status::Code::kUnsupported, src,
                             "is a pipe, socket or device and cannot be moved to another "
                             "file system");
    }
    // The source goes only once its copy is safe on the disk, so this copy never waits in
    // the batch. A copy that must replace nothing is made under a temporary name (cleared by a
    // later run if this one is killed) and then placed.
    const std::string copyName = placed_name != nullptr ? MakeTempName() : dst_name;
    s = EntryCopier(options_, nullptr, &clones_).Copy(src_dir, src_name, dst_dir, copyName, cancel);
    if (!s.ok()) {
        return s;
    }
    std::string placed = dst_name;
    if (placed_name != nullptr) {
        const int err = PlaceNoReplace(dst_dir.fd(), copyName, dst_dir.fd(), dst_name, &placed);
        if (err != 0) {
            unlinkat(dst_dir.fd(), copyName.c_str(), 0);
            return Status::FromErrno(err, dst_dir.PathOf(placed));
        }
        *placed_name = placed;
    }
    s = DeleteFileAt(src_dir, src_name);
    if (!s.ok() && !s.IsNotFound()) {
        return Status::Error(s.code(), src,
                             "copied to " + dst_dir.PathOf(placed) + " but could not be removed (" +
                                 s.reason() + "); it now exists in both places");
    }
    return Status::Ok();
}

Status PosixFileSystem::DeleteFileAt(const DirHandle& dir, const std::string& name) {
    if (!PosixPath::IsComponent(name)) {
        return PosixPath::NotAComponent(dir.path(), name);
    }
    // Without AT_REMOVEDIR the kernel itself refuses a directory (EISDIR, whatever the file
    // system), so no look-up is needed first.
    if (unlinkat(dir.fd(), name.c_str(), 0) != 0) {
        if (errno == EISDIR) {
            return Status::Error(Status::Code::kIsDirectory, dir.PathOf(name),
                                 "is a directory; not deleted as a file");
        }
        return Status::FromErrno(errno, dir.PathOf(name));
    }
    return Status::Ok();
}

Status PosixFileSystem::CreateDirectoryAt(const DirHandle& dir, const std::string& name,
                                          mode_t mode) {
    if (!PosixPath::IsComponent(name)) {
        return PosixPath::NotAComponent(dir.path(), name);
    }
    // mkdirat fails with EEXIST for anything at the name, a dangling link included, and never
    // creates through a link.
    if (mkdirat(dir.fd(), name.c_str(), mode & 07777) != 0) {
        return Status::FromErrno(errno, dir.PathOf(name));
    }
    return Status::Ok();
}

Status PosixFileSystem::RemoveDirectoryAt(const DirHandle& dir, const std::string& name) {
    if (!PosixPath::IsComponent(name)) {
        return PosixPath::NotAComponent(dir.path(), name);
    }
    struct stat st {};
    if (!LookUp(dir, name, &st)) {
        return Status::FromErrno(errno, dir.PathOf(name));
    }
    if (S_ISLNK(st.st_mode)) {
        return Status::Error(Status::Code::kNotDirectory, dir.PathOf(name),
                             "is a symbolic link; not removed as a directory");
    }
    if (!S_ISDIR(st.st_mode)) {
        return Status::Error(Status::Code::kNotDirectory, dir.PathOf(name), "is not a directory");
    }
    if (unlinkat(dir.fd(), name.c_str(), AT_REMOVEDIR) != 0) {
        return Status::FromErrno(errno, dir.PathOf(name));
    }
    return Status::Ok();
}

Status PosixFileSystem::SetDirectoryMode(const DirHandle& dir, mode_t mode) {
    if (fchmod(dir.fd(), mode & 07777) == 0) {
        return Status::Ok();
    }
    int err = errno;
    if (err == EBADF) {
        // A handle opened only to pass through (O_PATH) takes no fchmod; its entry in
        // /proc/self/fd names the same directory without going through any path.
        char proc[64];
        std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", dir.fd());
        if (fchmodat(AT_FDCWD, proc, mode & 07777, 0) == 0) {
            return Status::Ok();
        }
        err = errno;
    }
    return Status::FromErrno(err, dir.path());
}

Status PosixFileSystem::MakeReplaceableAt(const DirHandle& dir, const std::string& name) {
    if (!PosixPath::IsComponent(name)) {
        return PosixPath::NotAComponent(dir.path(), name);
    }
    struct stat st {};
    if (!LookUp(dir, name, &st)) {
        return errno == ENOENT ? Status::Ok() : Status::FromErrno(errno, dir.PathOf(name));
    }
    if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) != 0) {
        return Status::Ok();
    }
    const mode_t mode = (st.st_mode & 07777) | S_IWUSR;
    // AT_SYMLINK_NOFOLLOW so that a file swapped for a link meanwhile never gets its target
    // changed; the C library refuses links with EOPNOTSUPP.
    if (fchmodat(dir.fd(), name.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0) {
        return Status::Ok();
    }
    const int err = errno;
    if ((err == EOPNOTSUPP || err == ENOTSUP) && LookUp(dir, name, &st) && S_ISLNK(st.st_mode)) {
        return Status::Ok();
    }
    return Status::FromErrno(err, dir.PathOf(name));
}

Status PosixFileSystem::SetFileModeAt(const DirHandle& dir, const std::string& name, mode_t mode) {
    if (!PosixPath::IsComponent(name)) {
        return PosixPath::NotAComponent(dir.path(), name);
    }
    struct stat st {};
    if (!LookUp(dir, name, &st)) {
        return Status::FromErrno(errno, dir.PathOf(name));
    }
    if (!S_ISREG(st.st_mode)) {
        return Status::Error(Status::Code::kUnsupported, dir.PathOf(name),
                             "is not a regular file; its mode is left alone");
    }
    // AT_SYMLINK_NOFOLLOW: a file swapped for a link meanwhile is refused, never followed.
    if (fchmodat(dir.fd(), name.c_str(), mode & 07777, AT_SYMLINK_NOFOLLOW) != 0) {
        const int err = errno;
        return err == EOPNOTSUPP || err == ENOTSUP
                   ? Status::Error(Status::Code::kUnsupported, dir.PathOf(name),
                                   "is a symbolic link; its mode is left alone")
                   : Status::FromErrno(err, dir.PathOf(name));
    }
    return Status::Ok();
}

Status PosixFileSystem::RemoveStaleTempAt(const DirHandle& dir, const std::string& name) {
    if (!PosixPath::IsComponent(name) || !IsStaleTempName(name)) {
        return Status::Error(Status::Code::kInvalid, dir.PathOf(name),
                             "is not a temporary left by an interrupted copy; not removed");
    }
    struct stat st {};
    if (!LookUp(dir, name, &st)) {
        return Status::FromErrno(errno, dir.PathOf(name));
    }
    if (S_ISDIR(st.st_mode)) {
        return Status::Error(Status::Code::kIsDirectory, dir.PathOf(name),
                             "is a directory, not a temporary of a copy; not removed");
    }
    if (unlinkat(dir.fd(), name.c_str(), 0) != 0) {
        return Status::FromErrno(errno, dir.PathOf(name));
    }
    return Status::Ok();
}

}  // namespace tandrel
