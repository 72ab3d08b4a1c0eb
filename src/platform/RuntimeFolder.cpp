#include "RuntimeFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

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

std::string RuntimeFolderPath() {
    const auto [parent, name] = FolderPlace();
    std::string path = parent;
    if (path.back() != '/') {
        path.push_back('/');
    }
    return path + name;
}

Status OpenRuntimeFolder(std::string* path, UniqueFd* dir) {
    const auto [parentPath, name] = FolderPlace();
    const std::string folder = RuntimeFolderPath();
    UniqueFd parent(open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid()) {
        return Status::FromErrno(errno, parentPath);
    }
    if (mkdirat(parent.get(), name.c_str(), 0700) != 0 && errno != EEXIST) {
        return Status::FromErrno(errno, folder);
    }
    // Anyone may make a folder of that name in /tmp first: it is used only when it is ours.
    UniqueFd opened(
        openat(parent.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!opened.valid()) {
        const int err = errno;
        if (err == ELOOP || err == ENOTDIR) {
            return Status::Error(Status::Code::kInvalid, folder,
                                 "is not a directory of its own; lock folder not used");
        }
        return Status::FromErrno(err, folder);
    }
    struct stat st {};
    if (fstat(opened.get(), &st) != 0) {
        return Status::FromErrno(errno, folder);
    }
    if (st.st_uid != geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return Status::Error(Status::Code::kPermission, folder,
                             "belongs to another user or others may write to it; lock folder "
                             "not used");
    }
    *path = folder;
    *dir = std::move(opened);
    return Status::Ok();
}

}  // namespace tandrel
