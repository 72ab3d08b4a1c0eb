#include "ContentCopier.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace tandrel {
namespace {

constexpr size_t kMaxBuffer = size_t{1} << 20;
constexpr uint64_t kToTheEnd = std::numeric_limits<uint64_t>::max();

// Errors that can only come from the file being written.
bool WriteSideError(int err) {
    return err == ENOSPC || err == EDQUOT || err == EFBIG;
}

// Writes all of `data`; 0 or an errno value.
int WriteAll(int out, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t put = write(out, data + done, size - done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (put == 0) {  // no progress and no reason given: treat the disk as full
            return ENOSPC;
        }
        done += static_cast<size_t>(put);
    }
    return 0;
}

// A file that takes less room than its length has holes (or is compressed); only then is it
// worth asking where its data lies.
bool LooksSparse(const struct stat& st) {
    return st.st_size > 0 &&
           static_cast<uint64_t>(st.st_blocks) * 512 < static_cast<uint64_t>(st.st_size);
}

}  // namespace

Status ContentCopier::Copy(int in, int out, const struct stat& in_st, dev_t out_dev,
                           const std::string& src, const std::string& dst,
                           const std::atomic<bool>* cancel) {
    if (Cancelled(cancel)) {
        return Status::Cancelled(dst);
    }
    if (options_.try_reflink && (clones_ == nullptr || clones_->Worth(in_st.st_dev, out_dev))) {
        if (ioctl(out, FICLONE, in) == 0) {
            return Status::Ok();
        }
        if (clones_ != nullptr) {
            clones_->Refused(in_st.st_dev, out_dev, errno);
        }
    }
    if (LooksSparse(in_st)) {
        bool fall_back = false;
        Status s = CopySparse(in, out, src, dst, cancel, &fall_back);
        if (!s.ok() || !fall_back) {
            return s;
        }
        // The file system cannot tell where the data lies: copy every byte from the start.
        if (lseek(in, 0, SEEK_SET) < 0) {
            return Status::FromErrno(errno, src);
        }
        if (lseek(out, 0, SEEK_SET) < 0 || ftruncate(out, 0) != 0) {
            return Status::FromErrno(errno, dst);
        }
    }
    if (in_st.st_size > 0) {
        // The length fstat gave bounds the copy, so that it ends without one more call to find
        // the end; the copy gets the time of that same look.
        return CopyStream(in, out, static_cast<uint64_t>(in_st.st_size), src, dst, cancel);
    }
    // A file that seems empty may still have contents (procfs, some network file systems): one
    // small read tells, and what there is is read to its end.
    char probe[4096];
    ssize_t got = 0;
    do {
        got = read(in, probe, sizeof probe);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        return got == 0 ? Status::Ok() : Status::FromErrno(errno, src);
    }
    if (int err = WriteAll(out, probe, static_cast<size_t>(got)); err != 0) {
        return Status::FromErrno(err, dst);
    }
    Progress(static_cast<uint64_t>(got));
    return CopyStream(in, out, kToTheEnd, src, dst, cancel);
}

Status ContentCopier::CopySparse(int in, int out, const std::string& src, const std::string& dst,
                                 const std::atomic<bool>* cancel, bool* fall_back) {
    off_t pos = 0;
    for (;;) {
        const off_t data = lseek(in, pos, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) {
                break;  // nothing but hole from pos to the end
            }
            if (pos == 0 && (errno == EINVAL || errno == EOPNOTSUPP)) {
                *fall_back = true;
                return Status::Ok();
            }
            return Status::FromErrno(errno, src);
        }
        const off_t hole = lseek(in, data, SEEK_HOLE);
        if (hole < 0 || lseek(in, data, SEEK_SET) < 0) {
            return Status::FromErrno(errno, src);
        }
        if (lseek(out, data, SEEK_SET) < 0) {
            return Status::FromErrno(errno, dst);
        }
        Status s = CopyStream(in, out, static_cast<uint64_t>(hole - data), src, dst, cancel);
        if (!s.ok()) {
            return s;
        }
        pos = hole;
    }
    if (Cancelled(cancel)) {
        return Status::Cancelled(dst);
    }
    // The copy ends where the source ends now, after a hole as much as after data.
    const off_t end = lseek(in, 0, SEEK_END);
    if (end < 0) {
        return Status::FromErrno(errno, src);
    }
    if (ftruncate(out, end) != 0) {
        return Status::FromErrno(errno, dst);
    }
    return Status::Ok();
}

Status ContentCopier::CopyStream(int in, int out, uint64_t limit, const std::string& src,
                                 const std::string& dst, const std::atomic<bool>* cancel) {
    uint64_t done = 0;
    if (options_.try_copy_file_range && !kernel_failed_) {
        bool fall_back = false;
        Status s = CopyInKernel(in, out, limit, dst, cancel, &done, &fall_back);
        if (!s.ok() || !fall_back) {
            return s;
        }
    }
    return CopyThroughBuffer(in, out, limit - done, src, dst, cancel);
}

Status ContentCopier::CopyInKernel(int in, int out, uint64_t limit, const std::string& dst,
                                   const std::atomic<bool>* cancel, uint64_t* done,
                                   bool* fall_back) {
    const uint64_t chunk = std::max<size_t>(options_.chunk_bytes, 1);
    while (*done < limit) {
        if (Cancelled(cancel)) {
            return Status::Cancelled(dst);
        }
        const size_t want = static_cast<size_t>(std::min(chunk, limit - *done));
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, want, 0);
        if (n < 0) {
            int err = errno;
            if (err == EINTR) {
                continue;
            }
            if (WriteSideError(err)) {
                return Status::FromErrno(err, dst);
            }
            // Either the kernel cannot copy between these files (EXDEV, ENOSYS, EOPNOTSUPP,
            // EINVAL: older kernels, file systems without support), or it failed in a way
            // that does not tell which file is at fault (EIO). The buffered copy carries on
            // from the same offsets and, should the error recur, names the right file.
            kernel_failed_ = true;
            *fall_back = true;
            return Status::Ok();
        }
        if (n == 0) {
            // Some file systems answer 0 for files that do have contents (procfs, some
            // network file systems); let the buffered copy confirm the end of a file that
            // seemed empty.
            *fall_back = *done == 0;
            return Status::Ok();
        }
        *done += static_cast<uint64_t>(n);
        Progress(static_cast<uint64_t>(n));
    }
    return Status::Ok();
}

Status ContentCopier::CopyThroughBuffer(int in, int out, uint64_t limit, const std::string& src,
                                        const std::string& dst, const std::atomic<bool>* cancel) {
    if (buffer_.empty()) {
        buffer_.resize(std::clamp<size_t>(options_.chunk_bytes, 1, kMaxBuffer));
    }
    uint64_t done = 0;
    while (done < limit) {
        if (Cancelled(cancel)) {
            return Status::Cancelled(dst);
        }
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer_.size(), limit - done));
        ssize_t got = read(in, buffer_.data(), want);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Status::FromErrno(errno, src);
        }
        if (got == 0) {
            return Status::Ok();
        }
        if (int err = WriteAll(out, buffer_.data(), static_cast<size_t>(got)); err != 0) {
            return Status::FromErrno(err, dst);
        }
        done += static_cast<uint64_t>(got);
        Progress(static_cast<uint64_t>(got));
    }
    return Status::Ok();
}

}  // namespace tandrel
