#include "PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "DirHandle.h"
#include "EntryCopier.h"
#include "PosixPath.h"
#include "UniqueFd.h"

namespace tandrel {
namespace {

// FS_CASEFOLD_FL, spelt out for kernel headers that predate it.
constexpr unsigned kCaseFoldFlag = 0x40000000;

EntryKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return EntryKind::kFile;
    }
    if (S_ISDIR(mode)) {
        return EntryKind::kDirectory;
    }
    if (S_ISLNK(mode)) {
        return EntryKind::kLink;
    }
    return EntryKind::kOther;
}

EntryKind KindOfDirent(unsigned char type) {
    switch (type) {
        case DT_REG:
            return EntryKind::kFile;
        case DT_DIR:
            return EntryKind::kDirectory;
        case DT_LNK:
            return EntryKind::kLink;
        default:
            return EntryKind::kOther;
    }
}

Status EmptyPath() {
    return Status::Error(Status::Code::kInvalid, "", "empty path");
}

// How a file system of type `f_type` (statfs) compares names and stores times on Linux.
VolumeInfo VolumeInfoForType(uint32_t f_type) {
    constexpr uint32_t kMsdos = 0x4d44;  // vfat and msdos
    constexpr uint32_t kExfat = 0x2011BAB0;
    constexpr uint32_t kCifs = 0xFF534D42;
    constexpr uint32_t kSmb2 = 0xFE534D42;
    constexpr uint32_t kSmb = 0x517B;
    constexpr uint32_t kNtfs3 = 0x7366746e;
    constexpr uint32_t kNtfs = 0x5346544e;
    switch (f_type) {
        case kMsdos:
            return VolumeInfo{true, 2000000000};
        case kExfat:
            return VolumeInfo{true, 10000000};
        case kCifs:
        case kSmb2:
        case kSmb:
            return VolumeInfo{true, 100};
        // The Linux NTFS drivers tell case apart; the volume keeps 100 ns steps.
        case kNtfs3:
        case kNtfs:
            return VolumeInfo{false, 100};
        default:
            return VolumeInfo{false, 1};
    }
}

// Opens the directory holding the last component of the stripped path `p` (links on the way
// are followed, as a path always was) and gives that component. "/" gives the root with an
// empty name.
Status OpenParent(const std::string& p, DirHandle* dir, std::string* name) {
    auto [parent, last] = PosixPath::Split(p);
    // Readable where it can be, so that copies waiting in the batch can flush their volume
    // through it; passable only where it cannot.
    UniqueFd fd(open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid() && errno == EACCES) {
        fd = UniqueFd(open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    if (!fd.valid()) {
        return Status::FromErrno(errno, p);
    }
    *dir = DirHandle(std::move(fd), parent);
    *name = last;
    return Status::Ok();
}

// `s` naming the path as the caller gave it, where it names the stripped form.
Status AsGiven(Status s, const std::string& stripped, const std::string& given) {
    if (s.ok() || s.path() != stripped || stripped == given) {
        return s;
    }
    return Status::Error(s.code(), given, s.reason());
}

// Runs `op` (a *At call) on the directory and name of `path`, naming `path` as given in errors.
template <typename Op>
Status OnParent(const std::string& path, Op op) {
    const std::string p = PosixPath::Strip(path);
    if (p.empty()) {
        return EmptyPath();
    }
    DirHandle dir;
    std::string name;
    Status s = OpenParent(p, &dir, &name);
    if (s.ok()) {
        s = op(dir, name);
    }
    return AsGiven(std::move(s), p, path);
}

// Runs `op` (a two-directory *At call) on the directories and names of `src` and `dst`, naming
// each path as given in errors.
template <typename Op>
Status OnParents(const std::string& src, const std::string& dst, Op op) {
    const std::string from = PosixPath::Strip(src);
    if (from.empty()) {
        return EmptyPath();
    }
    DirHandle src_dir;
    std::string src_name;
    Status s = OpenParent(from, &src_dir, &src_name);
    if (!s.ok()) {
        return AsGiven(std::move(s), from, src);
    }
    return OnParent(dst, [&](const DirHandle& d, const std::string& name) {
        return AsGiven(op(src_dir, src_name, d, name), from, src);
    });
}

// The entries of the directory open as `fd`, read through a stream of its own; `shown` names
// it in errors. *listing holds them, sorted, when it succeeds, and nothing when it fails.
Status ReadEntries(UniqueFd fd, const std::string& shown, DirListing* listing) {
    listing->Clear();
    DIR* stream = fdopendir(fd.get());
    if (stream == nullptr) {
        return Status::FromErrno(errno, shown);
    }
    fd.Release();  // closedir closes it
    Status result;
    try {
        for (;;) {
            errno = 0;
            dirent* ent = readdir(stream);
            if (ent == nullptr) {
                if (errno != 0) {
                    result = Status::FromErrno(errno, shown);
                }
                break;
            }
            const char* name = ent->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
                continue;
            }
            EntryKind kind = KindOfDirent(ent->d_type);
            if (ent->d_type == DT_UNKNOWN) {
                struct stat st {};
                if (fstatat(dirfd(stream), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno == ENOENT) {
                        continue;  // removed since the directory was read: not there any more
                    }
                    result = Status::FromErrno(errno, PosixPath::Join(shown, name));
                    break;
                }
                kind = KindOf(st.st_mode);
            }
            if (!listing->Add(name, kind)) {
                result = Status::Error(Status::Code::kIoError, shown,
                                       "its names are too long to be held in one listing");
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        result = Status::FromErrno(ENOMEM, shown);
    }
    closedir(stream);
    if (!result.ok()) {
        listing->Release();
        return result;
    }
    listing->SortByName();
    return Status::Ok();
}

// Opens the directory `dir` (its path without trailing slashes in *path) for reading its
// entries, never through a link at its end.
Status OpenForListing(const std::string& dir, std::string* path, UniqueFd* fd) {
    *path = PosixPath::Strip(dir);
    if (path->empty()) {
        return EmptyPath();
    }
    *fd = UniqueFd(open(path->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd->valid()) {
        return PosixPath::DirectoryOpenError(errno, dir);
    }
    return Status::Ok();
}

}  // namespace

Status PosixFileSystem::ListDirectory(const std::string& dir, std::vector<DirEntry>* entries) {
    entries->clear();
    std::string path;
    UniqueFd fd;
    Status opened = OpenForListing(dir, &path, &fd);
    if (!opened.ok()) {
        return opened;
    }
    DirListing listing;
    const Status read = ReadEntries(std::move(fd), path, &listing);
    if (!read.ok()) {
        return AsGiven(read, path, dir);
    }
    entries->reserve(listing.size());
    for (const DirListing::Entry e : listing) {
        entries->push_back(DirEntry{std::string(e.name), e.kind, std::nullopt});
    }
    return read;
}

Status PosixFileSystem::ProbeDirectory(const std::string& dir) {
    std::string path;
    UniqueFd fd;
    Status opened = OpenForListing(dir, &path, &fd);
    if (!opened.ok()) {
        return opened;
    }
    DIR* stream = fdopendir(fd.get());
    if (stream == nullptr) {
        return Status::FromErrno(errno, dir);
    }
    fd.Release();  // closedir closes it
    // One read is enough: it fails as a whole listing would where the directory cannot be read.
    errno = 0;
    const bool read = readdir(stream) != nullptr || errno == 0;
    const int error = errno;
    closedir(stream);
    return read ? Status::Ok() : Status::FromErrno(error, dir);
}

Status PosixFileSystem::Stat(const std::string& path, EntryInfo* info) {
    return OnParent(
        path, [&](const DirHandle& d, const std::string& name) { return StatAt(d, name, info); });
}

Status PosixFileSystem::CopyFile(const std::string& src, const std::string& dst,
                                 const std::atomic<bool>* cancel) {
    return OnParents(src, dst,
                     [&](const DirHandle& sd, const std::string& sn, const DirHandle& dd,
                         const std::string& dn) { return CopyFileAt(sd, sn, dd, dn, cancel); });
}

Status PosixFileSystem::CommitCopies(bool abandon) {
    return batch_.Flush(abandon);
}

Status PosixFileSystem::MoveFile(const std::string& src, const std::string& dst,
                                 const std::atomic<bool>* cancel) {
    return OnParents(src, dst,
                     [&](const DirHandle& sd, const std::string& sn, const DirHandle& dd,
                         const std::string& dn) { return MoveFileAt(sd, sn, dd, dn, cancel); });
}

Status PosixFileSystem::MoveByCopy(const std::string& src, const std::string& dst,
                                   const std::atomic<bool>* cancel) {
    return OnParents(src, dst,
                     [&](const DirHandle& sd, const std::string& sn, const DirHandle& dd,
                         const std::string& dn) { return MoveByCopyAt(sd, sn, dd, dn, cancel); });
}

Status PosixFileSystem::DeleteFile(const std::string& path) {
    return OnParent(
        path, [&](const DirHandle& d, const std::string& name) { return DeleteFileAt(d, name); });
}

Status PosixFileSystem::CreateDirectory(const std::string& path) {
    return OnParent(path, [&](const DirHandle& d, const std::string& name) {
        return CreateDirectoryAt(d, name, 0777);
    });
}

Status PosixFileSystem::RemoveDirectory(const std::string& path) {
    return OnParent(path, [&](const DirHandle& d, const std::string& name) {
        return RemoveDirectoryAt(d, name);
    });
}

Status PosixFileSystem::MakeReplaceable(const std::string& path) {
    Status s = OnParent(path, [&](const DirHandle& d, const std::string& name) {
        return MakeReplaceableAt(d, name);
    });
    return s.IsNotFound() ? Status::Ok() : s;  // nothing there: nothing to do
}

Status PosixFileSystem::RemoveStaleTemp(const std::string& path) {
    return OnParent(path, [&](const DirHandle& d, const std::string& name) {
        return RemoveStaleTempAt(d, name);
    });
}

Status PosixFileSystem::OpenDirectory(const std::string& path, DirHandle* dir) {
    const std::string p = PosixPath::Strip(path);
    if (p.empty()) {
        return EmptyPath();
    }
    UniqueFd fd(open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid() && errno == EACCES) {
        fd = UniqueFd(open(p.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    if (!fd.valid()) {
        return Status::FromErrno(errno, path);
    }
    *dir = DirHandle(std::move(fd), p);
    return Status::Ok();
}

Status PosixFileSystem::OpenSubdirectory(const DirHandle& parent, const std::string& name,
                                         DirHandle* dir) {
    if (!PosixPath::IsComponent(name)) {
        return PosixPath::NotAComponent(parent.path(), name);
    }
    constexpr int kFlags = O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd fd(openat(parent.fd(), name.c_str(), O_RDONLY | kFlags));
    if (!fd.valid() && errno == EACCES) {
        // Not readable, but perhaps passable: good enough to act on the entries inside.
        fd = UniqueFd(openat(parent.fd(), name.c_str(), O_PATH | kFlags));
    }
    if (!fd.valid()) {
        const int err = errno;
        struct stat st {};
        if ((err == ELOOP || err == ENOTDIR) &&
            fstatat(parent.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode)) {
            return Status::Error(Status::Code::kNotDirectory, parent.PathOf(name),
                                 "is a symbolic link; links are not followed");
        }
        return Status::FromErrno(err, parent.PathOf(name));
    }
    *dir = DirHandle(std::move(fd), parent.PathOf(name));
    return Status::Ok();
}

Status PosixFileSystem::OpenContainingDirectory(const DirHandle& dir, DirHandle* parent) {
    constexpr int kFlags = O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd fd(openat(dir.fd(), "..", O_RDONLY | kFlags));
    if (!fd.valid() && errno == EACCES) {
        fd = UniqueFd(openat(dir.fd(), "..", O_PATH | kFlags));
    }
    if (!fd.valid()) {
        return Status::FromErrno(errno, dir.PathOf(".."));
    }
    // Named for messages as the level above the path `dir` was opened as.
    const std::string& path = dir.path();
    const size_t slash = path.rfind('/');
    std::string above = slash == std::string::npos ? std::string(".")
                        : slash == 0               ? std::string("/")
                                                   : path.substr(0, slash);
    *parent = DirHandle(std::move(fd), std::move(above));
    return Status::Ok();
}

Status PosixFileSystem::ListDirectoryAt(const DirHandle& dir, DirListing* listing) {
    listing->Clear();
    // A stream of its own, so that the handle's position never matters and the handle can be
    // listed again.
    UniqueFd fd(openat(dir.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        return Status::FromErrno(errno, dir.path());
    }
    return ReadEntries(std::move(fd), dir.path(), listing);
}

Status PosixFileSystem::StatAt(const DirHandle& dir, const std::string& name, EntryInfo* info) {
    if (!name.empty() && !PosixPath::IsComponent(name)) {
        return PosixPath::NotAComponent(dir.path(), name);
    }
    struct stat st {};
    const int flags = AT_SYMLINK_NOFOLLOW | (name.empty() ? AT_EMPTY_PATH : 0);
    if (fstatat(dir.fd(), name.c_str(), &st, flags) != 0) {
        return Status::FromErrno(errno, name.empty() ? dir.path() : dir.PathOf(name));
    }
    info->kind = KindOf(st.st_mode);
    info->mtime_ns = PosixPath::ToNs(st.st_mtim);
    info->mode = st.st_mode & 07777;
    info->size = static_cast<uint64_t>(st.st_size);
    info->id = FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return Status::Ok();
}

Status PosixFileSystem::GetVolumeInfo(const std::string& dir, VolumeInfo* info) {
    const std::string p = PosixPath::Strip(dir);
    if (p.empty()) {
        return EmptyPath();
    }
    UniqueFd fd(open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    bool can_ioctl = true;
    if (!fd.valid() && errno == EACCES) {
        // An unreadable directory still tells its file system; only the flags stay unknown.
        fd = UniqueFd(open(p.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        can_ioctl = false;
    }
    if (!fd.valid()) {
        return PosixPath::DirectoryOpenError(errno, dir);
    }
    struct statfs sfs {};
    if (fstatfs(fd.get(), &sfs) != 0) {
        return Status::FromErrno(errno, dir);
    }
    VolumeInfo result = VolumeInfoForType(static_cast<uint32_t>(sfs.f_type));
    // A case-folding directory (ext4, f2fs with casefold) matches names ignoring case even on
    // a file system that otherwise tells case apart. File systems without inode flags refuse
    // the ioctl; that only means no folding.
    int flags = 0;
    if (can_ioctl && ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
        (static_cast<unsigned>(flags) & kCaseFoldFlag) != 0) {
        result.case_insensitive = true;
    }
    *info = result;
    return Status::Ok();
}

Status PosixFileSystem::ProbeStoredTime(const DirHandle& dir, int64_t mtime_ns,
                                        int64_t* stored_ns) {
    const std::string name = MakeTempName();
    UniqueFd fd(
        openat(dir.fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        return Status::FromErrno(errno, dir.PathOf(name));
    }
    constexpr int64_t kNsPerSec = 1000000000;
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(mtime_ns / kNsPerSec), static_cast<long>(mtime_ns % kNsPerSec)}};
    Status result = Status::Ok();
    struct stat st {};
    if (futimens(fd.get(), times) != 0 || fstat(fd.get(), &st) != 0) {
        result = Status::FromErrno(errno, dir.PathOf(name));
    } else {
        *stored_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * kNsPerSec + st.st_mtim.tv_nsec;
    }
    fd.Reset();
    // A probe left behind by a process that died here is cleared by a later run.
    if (unlinkat(dir.fd(), name.c_str(), 0) != 0 && result.ok()) {
        result = Status::FromErrno(errno, dir.PathOf(name));
    }
    return result;
}

}  // namespace tandrel
