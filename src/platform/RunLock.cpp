#include "RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "RuntimeFolder.h"

namespace tandrel {

std::string RunLock::FolderPath() {
    return RuntimeFolderPath();
}

Status RunLock::TryLock(FileId id) {
    if (fd_.valid()) {
        if (id == id_) {
            return Status::Ok();
        }
        Unlock();
    }
    std::string folder;
    UniqueFd dir;
    if (Status s = OpenRuntimeFolder(&folder, &dir); !s.ok()) {
        return s;
    }
    char file[80];
    std::snprintf(file, sizeof file, "dir-%llx-%llx.lock", static_cast<unsigned long long>(id.dev),
                  static_cast<unsigned long long>(id.ino));
    const std::string filePath = folder + "/" + file;
    UniqueFd fd(openat(dir.get(), file, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        return Status::FromErrno(errno, filePath);
    }
    int rc = 0;
    do {
        rc = flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno == EWOULDBLOCK) {
            return Status::Error(Status::Code::kBusy, filePath, "held by another run");
        }
        return Status::FromErrno(errno, filePath);
    }
    fd_ = std::move(fd);
    id_ = id;
    return Status::Ok();
}

void RunLock::Unlock() {
    // Closing the descriptor ends the lock.
    fd_.Reset();
    id_ = FileId{};
}

}  // namespace tandrel
