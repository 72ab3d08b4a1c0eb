#include "StampBatch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include "PosixPath.h"
#include "UniqueFd.h"

namespace tandrel {

bool StampBatch::Add(Pending pending, uint64_t bytes, size_t maxFiles, uint64_t maxBytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.push_back(std::move(pending));
    m_bytes += bytes;
    return m_pending.size() >= maxFiles || m_bytes >= maxBytes;
}

Status StampBatch::Flush(bool abandon) {
    std::vector<Pending> pending;
    Status earlier;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pending.swap(m_pending);
        m_bytes = 0;
        std::swap(earlier, m_error);
    }
    if (abandon) {
        return earlier;
    }
    Status now = FlushPending(std::move(pending));
    return earlier.ok() ? now : earlier;
}

void StampBatch::FlushFull() {
    std::vector<Pending> pending;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pending.swap(m_pending);
        m_bytes = 0;
    }
    Status s = FlushPending(std::move(pending));
    if (!s.ok()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_error.ok()) {
            m_error = s;
        }
    }
}

Status StampBatch::FlushPending(std::vector<Pending> pending) {
    if (pending.empty()) {
        return Status::Ok();
    }
    // One flush per volume, through the directory of one of its copies.
    std::map<dev_t, bool> synced;
    Status first;
    for (const Pending& p : pending) {
        if (synced.count(p.dev) != 0) {
            continue;
        }
        const std::string dir = PosixPath::Split(p.path).first;
        UniqueFd fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const bool ok = fd.valid() && syncfs(fd.get()) == 0;
        if (!ok && first.ok()) {
            first = Status::FromErrno(errno, dir);
        }
        synced[p.dev] = ok;
    }
    for (const Pending& p : pending) {
        if (!synced[p.dev]) {
            continue;
        }
        struct stat st {};
        if (lstat(p.path.c_str(), &st) != 0 || st.st_dev != p.dev || st.st_ino != p.ino) {
            continue;  // replaced or removed since: not ours to stamp
        }
        const timespec times[2] = {p.atime, p.mtime};
        if (utimensat(AT_FDCWD, p.path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0 && first.ok()) {
            first = Status::FromErrno(errno, p.path);
        }
    }
    return first;
}

}  // namespace tandrel
