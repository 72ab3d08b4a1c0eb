#include "RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace tandrel {

namespace {

// The folder's parent and its own name: $XDG_RUNTIME_DIR belongs to the user already; /tmp is
// shared, so the folder there carries the user's id.
std::pair<std::string, std::string> FolderPlace() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return {runtime, "tandrel"};
    }
    return {"/tmp", "tandrel-" + std::to_string(geteuid())};
}

}  // namespace

std::string RunLock::FolderPath() {
    const auto [parent, name] = FolderPlace();
    std::string path = parent;
    if (path.back() != '/') {
        path.push_back('/');
    }
    return path + name;
}

Status RunLock::TryLock(FileId id) {
    if (fd_.valid()) {
        if (id == id_) {
            return Status::Ok();
        }
        Unlock();
    }
    const auto [parentPath, name] = FolderPlace();
    const std::string folder = FolderPath();
    UniqueFd parent(open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid()) {
        return Status::FromErrno(errno, parentPath);
    }
    if (mkdirat(parent.get(), name.c_str(), 0700) != 0 && errno != EEXIST) {
        return Status::FromErrno(errno, folder);
    }
    // Anyone may make a folder of that name in /tmp first: it is used only when it is ours.
    UniqueFd dir(
        openat(parent.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir.valid()) {
        const int err = errno;
        if (err == ELOOP || err == ENOTDIR) {
            return Status::Error(Status::Code::kInvalid, folder,
                                 "is not a directory of its own; lock folder not used");
        }
        return Status::FromErrno(err, folder);
    }
    struct stat st {};
    if (fstat(dir.get(), &st) != 0) {
        return Status::FromErrno(errno, folder);
    }
    if (st.st_uid != geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return Status::Error(Status::Code::kPermission, folder,
                             "belongs to another user or others may write to it; lock folder "
                             "not used");
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
