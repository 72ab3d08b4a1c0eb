#include "ContentCopier.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tandrel {
namespace {

constexpr size_t kMaxBuffer = size_t{1} << 20;

// Errors that can only come from the file being written.
bool WriteSideError(int err) {
    return err == ENOSPC || err == EDQUOT || err == EFBIG;
}

}  // namespace

Status ContentCopier::Copy(int in, int out, const std::string& src, const std::string& dst,
                           const std::atomic<bool>* cancel) const {
    if (Cancelled(cancel)) {
        return Status::Cancelled(dst);
    }
    if (options_.try_reflink && ioctl(out, FICLONE, in) == 0) {
        return Status::Ok();
    }
    uint64_t copied = 0;
    if (options_.try_copy_file_range) {
        bool fall_back = false;
        Status s = CopyInKernel(in, out, dst, cancel, &copied, &fall_back);
        if (!s.ok() || !fall_back) {
            return s;
        }
    }
    return CopyThroughBuffer(in, out, src, dst, cancel, &copied);
}

Status ContentCopier::CopyInKernel(int in, int out, const std::string& dst,
                                   const std::atomic<bool>* cancel, uint64_t* copied,
                                   bool* fall_back) const {
    const size_t chunk = std::max<size_t>(options_.chunk_bytes, 1);
    for (;;) {
        if (Cancelled(cancel)) {
            return Status::Cancelled(dst);
        }
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, chunk, 0);
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
            *fall_back = true;
            return Status::Ok();
        }
        if (n == 0) {
            // Some file systems answer 0 for files that do have contents (procfs, some
            // network file systems); let the buffered copy confirm the end of a file that
            // seemed empty.
            *fall_back = *copied == 0;
            return Status::Ok();
        }
        *copied += static_cast<uint64_t>(n);
        Progress(*copied);
    }
}

Status ContentCopier::CopyThroughBuffer(int in, int out, const std::string& src,
                                        const std::string& dst, const std::atomic<bool>* cancel,
                                        uint64_t* copied) const {
    std::vector<char> buffer(std::clamp<size_t>(options_.chunk_bytes, 1, kMaxBuffer));
    for (;;) {
        if (Cancelled(cancel)) {
            return Status::Cancelled(dst);
        }
        ssize_t got = read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Status::FromErrno(errno, src);
        }
        if (got == 0) {
            return Status::Ok();
        }
        size_t done = 0;
        while (done < static_cast<size_t>(got)) {
            ssize_t put = write(out, buffer.data() + done, static_cast<size_t>(got) - done);
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Status::FromErrno(errno, dst);
            }
            if (put == 0) {  // no progress and no reason given: treat the disk as full
                return Status::FromErrno(ENOSPC, dst);
            }
            done += static_cast<size_t>(put);
        }
        *copied += static_cast<uint64_t>(got);
        Progress(*copied);
    }
}

}  // namespace tandrel
