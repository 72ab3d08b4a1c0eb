// The run log's file: PosixLogFile and PosixFileSystem::OpenLogFile.

#include "PosixLogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "PosixFileSystem.h"
#include "PosixPath.h"

namespace tandrel {
namespace {

constexpr size_t kBufferSize = 64 * 1024;

Status NotRegular(const std::string& path) {
    return Status::Error(Status::Code::kUnsupported, path,
                         "is not a regular file; a log file must be one");
}

// Whether the open file `fd`, opened as `path`, is a mount point of its own (a file bind
// mounted there): it then lies on another mount than the directory of its name. Where the
// system cannot say, it is taken as not.
// The directory is that of the name with every link resolved: a link may lie elsewhere.
bool IsMountedOver(int fd, const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return false;
    }
    std::string real(resolved);
    free(resolved);
    const size_t slash = real.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string(".") : real.substr(0, slash == 0 ? 1 : slash);
    struct statx file {};
    struct statx parent {};
    return statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &file) == 0 &&
           statx(AT_FDCWD, dir.c_str(), 0, STATX_MNT_ID, &parent) == 0 &&
           (file.stx_mask & STATX_MNT_ID) != 0 && (parent.stx_mask & STATX_MNT_ID) != 0 &&
           file.stx_mnt_id != parent.stx_mnt_id;
}

}  // namespace

PosixLogFile::~PosixLogFile() {
    Flush();
}

Status PosixLogFile::Append(std::string_view line) {
    buffer_.append(line);
    buffer_.push_back('\n');
    return buffer_.size() >= kBufferSize ? Flush() : Status::Ok();
}

Status PosixLogFile::Flush() {
    size_t done = 0;
    Status result;
    while (done < buffer_.size()) {
        const ssize_t n = write(fd_.get(), buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            result = n < 0 ? Status::FromErrno(errno, path_)
                           : Status::Error(Status::Code::kIoError, path_, "nothing written");
            break;
        }
        done += static_cast<size_t>(n);
    }
    // What could not be written is dropped: keeping it would only fail again, line by line.
    buffer_.clear();
    return result;
}

Status PosixFileSystem::OpenLogFile(const std::string& path, std::unique_ptr<LogFile>* out,
                                    LogOpenMode mode) {
    out->reset();
    const std::string p = PosixPath::Strip(path);
    if (p.empty()) {
        return Status::Error(Status::Code::kInvalid, "", "empty path");
    }
    // A pipe without a reader would block the open for good, and a device may act on being
    // opened: only a regular file (or none yet) is opened at all. The name is looked up as
    // the user gave it, a link to a regular file included.
    struct stat st {};
    if (stat(p.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return NotRegular(path);
    }
    // Without O_NONBLOCK and O_TRUNC, so that whatever took the name's place meanwhile is
    // neither waited for nor emptied before it has been looked at.
    const int append = mode == LogOpenMode::kAppend ? O_APPEND : 0;
    UniqueFd fd(
        open(p.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | append, 0666));
    if (!fd.valid()) {
        return Status::FromErrno(errno, path);
    }
    if (fstat(fd.get(), &st) != 0) {
        return Status::FromErrno(errno, path);
    }
    if (!S_ISREG(st.st_mode)) {
        return NotRegular(path);
    }
    // Only now, with nothing written yet: a file with another name, or one mounted over a
    // name of its own, may be a file of the trees a run reads or writes, which the lines
    // would destroy (and its backup with it, at the next run).
    if (st.st_nlink > 1) {
        return Status::Error(Status::Code::kUnsupported, path,
                             "has another name (a hard link); a log file must have only one");
    }
    if (IsMountedOver(fd.get(), p)) {
        return Status::Error(Status::Code::kUnsupported, path,
                             "is a file mounted over a name of its own; a log file must not be");
    }
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        (mode == LogOpenMode::kEmpty && ftruncate(fd.get(), 0) != 0)) {
        return Status::FromErrno(errno, path);
    }
    *out = std::make_unique<PosixLogFile>(std::move(fd), path);
    return Status::Ok();
}

}  // namespace tandrel
