#include "StampBatch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>

namespace tandrel {

bool StampBatch::Add(const DirHandle& dir, const std::string& name, dev_t dev, ino_t ino,
                     timespec atime, timespec mtime, uint64_t bytes, const Limits& limits) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Pending pending{nullptr, name, dir.PathOf(name), dev, ino, atime, mtime};
    if (!m_pending.empty() && m_pending.back().dir && m_lastDir == dir.id()) {
        // Copies come directory by directory: the one before shares this descriptor.
        pending.dir = m_pending.back().dir;
    } else {
        UniqueFd copy(fcntl(dir.fd(), F_DUPFD_CLOEXEC, 0));
        if (copy.valid()) {
            pending.dir = std::make_shared<const UniqueFd>(std::move(copy));
            m_lastDir = dir.id();
            ++m_dirs;
        } else if (m_error.ok()) {
            m_error = Status::FromErrno(errno, dir.path());
        }
    }
    if (pending.dir) {
        m_pending.push_back(std::move(pending));
        m_bytes += bytes;
    }
    return m_pending.size() >= limits.files || m_bytes >= limits.bytes || m_dirs >= limits.dirs;
}

StampBatch::~StampBatch() {
    WaitBehind();
}

std::vector<StampBatch::Pending> StampBatch::TakePending() {
    std::vector<Pending> pending;
    std::lock_guard<std::mutex> lock(m_mutex);
    pending.swap(m_pending);
    m_bytes = 0;
    m_dirs = 0;
    return pending;
}

void StampBatch::WaitBehind() {
    std::lock_guard<std::mutex> lock(m_behindMutex);
    if (m_behind.joinable()) {
        m_behind.join();
    }
}

void StampBatch::FlushBehind() {
    std::vector<Pending> pending = TakePending();
    std::lock_guard<std::mutex> lock(m_behindMutex);
    if (m_behind.joinable()) {
        m_behind.join();
    }
    m_behind = std::thread([this, batch = std::move(pending)]() mutable {
        Status s = FlushPending(std::move(batch));
        if (!s.ok()) {
            std::lock_guard<std::mutex> errorLock(m_mutex);
            if (m_error.ok()) {
                m_error = s;
            }
        }
    });
}

Status StampBatch::Flush(bool abandon) {
    // A flush still running for earlier copies ends first, so that its failure is reported
    // here and nothing of it is left running once the caller goes on.
    WaitBehind();
    std::vector<Pending> pending = TakePending();
    Status earlier;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(earlier, m_error);
    }
    if (abandon) {
        return earlier;
    }
    Status now = FlushPending(std::move(pending));
    return earlier.ok() ? now : earlier;
}

void StampBatch::FlushFull() {
    std::vector<Pending> pending = TakePending();
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
    // One flush per volume, through the directory of one of its copies. A directory open only
    // to pass through (O_PATH) takes no syncfs; it is opened again for reading through its
    // entry in /proc/self/fd, which names that very directory without any path, or else the
    // copy itself is opened.
    std::map<dev_t, bool> synced;
    Status first;
    for (const Pending& p : pending) {
        if (synced.count(p.dev) != 0) {
            continue;
        }
        const int dir_fd = p.dir->get();
        bool ok = syncfs(dir_fd) == 0;
        if (!ok && errno == EBADF) {
            char proc[64];
            std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", dir_fd);
            UniqueFd again(open(proc, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!again.valid()) {
                again = UniqueFd(
                    openat(dir_fd, p.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            }
            ok = again.valid() && syncfs(again.get()) == 0;
        }
        if (!ok && first.ok()) {
            first = Status::FromErrno(errno, p.path);
        }
        synced[p.dev] = ok;
    }
    for (const Pending& p : pending) {
        if (!synced[p.dev]) {
            continue;
        }
        const int dir_fd = p.dir->get();
        struct stat st {};
        if (fstatat(dir_fd, p.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_dev != p.dev ||
            st.st_ino != p.ino) {
            continue;  // replaced or removed since: not ours to stamp
        }
        const timespec times[2] = {p.atime, p.mtime};
        if (utimensat(dir_fd, p.name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0 && first.ok()) {
            first = Status::FromErrno(errno, p.path);
        }
    }
    return first;
}

}  // namespace tandrel
