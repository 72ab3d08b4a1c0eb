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
#include <utility>

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

}  // namespace

Status PosixFileSystem::ListDirectory(const std::string& dir, std::vector<DirEntry>* entries) {
    entries->clear();
    const std::string path = PosixPath::Strip(dir);
    if (path.empty()) {
        return EmptyPath();
    }
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        return PosixPath::DirectoryOpenError(errno, dir);
    }
    DIR* stream = fdopendir(fd.get());
    if (stream == nullptr) {
        return Status::FromErrno(errno, dir);
    }
    fd.Release();  // closedir closes it
    std::vector<DirEntry> found;
    Status result;
    for (;;) {
        errno = 0;
        dirent* ent = readdir(stream);
        if (ent == nullptr) {
            if (errno != 0) {
                result = Status::FromErrno(errno, dir);
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
                result = Status::FromErrno(errno, PosixPath::Join(path, name));
                break;
            }
            kind = KindOf(st.st_mode);
        }
        found.push_back(DirEntry{name, kind});
    }
    closedir(stream);
    if (!result.ok()) {
        return result;
    }
    // std::string compares as unsigned bytes (char_traits<char> is memcmp), whatever the
    // names' encoding.
    std::sort(found.begin(), found.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    *entries = std::move(found);
    return Status::Ok();
}

Status PosixFileSystem::Stat(const std::string& path, EntryInfo* info) {
    const std::string p = PosixPath::Strip(path);
    if (p.empty()) {
        return EmptyPath();
    }
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) {
        return Status::FromErrno(errno, path);
    }
    info->kind = KindOf(st.st_mode);
    info->mtime_ns = PosixPath::ToNs(st.st_mtim);
    info->mode = st.st_mode & 07777;
    info->size = static_cast<uint64_t>(st.st_size);
    info->id = FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return Status::Ok();
}

Status PosixFileSystem::CopyFile(const std::string& src, const std::string& dst,
                                 const std::atomic<bool>* cancel) {
    return EntryCopier(options_, &batch_).Copy(src, dst, cancel);
}

Status PosixFileSystem::CommitCopies(bool abandon) {
    return batch_.Flush(abandon);
}

Status PosixFileSystem::MoveFile(const std::string& src, const std::string& dst,
                                 const std::atomic<bool>* cancel) {
    const std::string from = PosixPath::Strip(src);
    const std::string to = PosixPath::Strip(dst);
    if (from.empty() || to.empty()) {
        return EmptyPath();
    }
    struct stat from_st {};
    if (lstat(from.c_str(), &from_st) != 0) {
        return Status::FromErrno(errno, src);
    }
    if (S_ISDIR(from_st.st_mode)) {
        return Status::Error(Status::Code::kIsDirectory, src,
                             "is a directory; only files and links are moved");
    }
    struct stat to_st {};
    if (lstat(to.c_str(), &to_st) == 0) {
        if (S_ISDIR(to_st.st_mode)) {
            return Status::Error(Status::Code::kIsDirectory, dst,
                                 "is a directory; not replaced by a file");
        }
        if (to_st.st_dev == from_st.st_dev && to_st.st_ino == from_st.st_ino) {
            // rename() between two names of one file does nothing and reports success,
            // which would leave src in place. The same entry reached by two spellings has
            // nothing to move; two hard links become one by removing src.
            if (PosixPath::SameEntry(from, to)) {
                return Status::Ok();
            }
            return unlink(from.c_str()) == 0 ? Status::Ok() : Status::FromErrno(errno, src);
        }
    }
    if (rename(from.c_str(), to.c_str()) == 0) {
        return Status::Ok();
    }
    const int err = errno;
    if (err == EXDEV) {
        return MoveByCopy(src, dst, cancel);
    }
    struct stat again {};
    if (err == ENOENT && lstat(from.c_str(), &again) != 0) {
        return Status::FromErrno(err, src);
    }
    return Status::FromErrno(err, dst);
}

Status PosixFileSystem::MoveByCopy(const std::string& src, const std::string& dst,
                                   const std::atomic<bool>* cancel) {
    EntryInfo info;
    Status s = Stat(src, &info);
    if (!s.ok()) {
        return s;
    }
    if (info.kind == EntryKind::kDirectory) {
        return Status::Error(Status::Code::kIsDirectory, src,
                             "is a directory; only files and links are moved");
    }
    if (info.kind == EntryKind::kOther) {
        return Status::Error(Status::Code::kUnsupported, src,
                             "is a pipe, socket or device and cannot be moved to another "
                             "file system");
    }
    // The source goes only once its copy is safe on the disk, so this copy never waits in
    // the batch.
    s = EntryCopier(options_).Copy(src, dst, cancel);
    if (!s.ok()) {
        return s;
    }
    s = DeleteFile(src);
    if (!s.ok() && !s.IsNotFound()) {
        return Status::Error(s.code(), src,
                             "copied to " + dst + " but could not be removed (" + s.reason() +
                                 "); it now exists in both places");
    }
    return Status::Ok();
}

Status PosixFileSystem::DeleteFile(const std::string& path) {
    const std::string p = PosixPath::Strip(path);
    if (p.empty()) {
        return EmptyPath();
    }
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) {
        return Status::FromErrno(errno, path);
    }
    if (S_ISDIR(st.st_mode)) {
        return Status::Error(Status::Code::kIsDirectory, path,
                             "is a directory; not deleted as a file");
    }
    if (unlink(p.c_str()) != 0) {
        return Status::FromErrno(errno, path);
    }
    return Status::Ok();
}

Status PosixFileSystem::CreateDirectory(const std::string& path) {
    const std::string p = PosixPath::Strip(path);
    if (p.empty()) {
        return EmptyPath();
    }
    // mkdir fails with EEXIST for anything at the name, a dangling link included, and never
    // creates through a link.
    if (mkdir(p.c_str(), 0777) != 0) {
        return Status::FromErrno(errno, path);
    }
    return Status::Ok();
}

Status PosixFileSystem::RemoveDirectory(const std::string& path) {
    const std::string p = PosixPath::Strip(path);
    if (p.empty()) {
        return EmptyPath();
    }
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) {
        return Status::FromErrno(errno, path);
    }
    if (S_ISLNK(st.st_mode)) {
        return Status::Error(Status::Code::kNotDirectory, path,
                             "is a symbolic link; not removed as a directory");
    }
    if (!S_ISDIR(st.st_mode)) {
        return Status::Error(Status::Code::kNotDirectory, path, "is not a directory");
    }
    if (rmdir(p.c_str()) != 0) {
        return Status::FromErrno(errno, path);
    }
    return Status::Ok();
}

Status PosixFileSystem::MakeReplaceable(const std::string& path) {
    const std::string p = PosixPath::Strip(path);
    if (p.empty()) {
        return EmptyPath();
    }
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) {
        return errno == ENOENT ? Status::Ok() : Status::FromErrno(errno, path);
    }
    if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) != 0) {
        return Status::Ok();
    }
    const mode_t mode = (st.st_mode & 07777) | S_IWUSR;
    // AT_SYMLINK_NOFOLLOW so that a file swapped for a link meanwhile never gets its target
    // changed; the C library refuses links with EOPNOTSUPP.
    if (fchmodat(AT_FDCWD, p.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0) {
        return Status::Ok();
    }
    const int err = errno;
    if (err == EOPNOTSUPP || err == ENOTSUP) {
        if (lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            return Status::Ok();
        }
    }
    return Status::FromErrno(err, path);
}

Status PosixFileSystem::RemoveStaleTemp(const std::string& path) {
    const std::string p = PosixPath::Strip(path);
    if (!IsStaleTempName(PosixPath::Split(p).second)) {
        return Status::Error(Status::Code::kInvalid, path,
                             "is not a temporary left by an interrupted copy; not removed");
    }
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) {
        return Status::FromErrno(errno, path);
    }
    if (S_ISDIR(st.st_mode)) {
        return Status::Error(Status::Code::kIsDirectory, path,
                             "is a directory, not a temporary of a copy; not removed");
    }
    if (unlink(p.c_str()) != 0) {
        return Status::FromErrno(errno, path);
    }
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

}  // namespace tandrel
