#include "PosixPath.h"

#include <sys/stat.h>

#include <cerrno>

namespace tandrel {

std::string PosixPath::Strip(const std::string& path) {
    size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') {
        --end;
    }
    return path.substr(0, end);
}

std::pair<std::string, std::string> PosixPath::Split(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    size_t dir_end = slash;
    while (dir_end > 0 && path[dir_end - 1] == '/') {
        --dir_end;
    }
    return {dir_end == 0 ? std::string("/") : path.substr(0, dir_end), path.substr(slash + 1)};
}

std::string PosixPath::Join(const std::string& dir, const std::string& name) {
    if (!dir.empty() && dir.back() == '/') {
        return dir + name;
    }
    return dir + "/" + name;
}

Status PosixPath::DirectoryOpenError(int err, const std::string& dir) {
    struct stat st {};
    if ((err == ELOOP || err == ENOTDIR) && lstat(Strip(dir).c_str(), &st) == 0 &&
        S_ISLNK(st.st_mode)) {
        return Status::Error(Status::Code::kNotDirectory, dir,
                             "is a symbolic link; links are not followed");
    }
    return Status::FromErrno(err, dir);
}

Status PosixPath::NotAComponent(const std::string& dir, const std::string& name) {
    return Status::Error(Status::Code::kInvalid, Join(dir, name),
                         "is not a single name inside its directory");
}

}  // namespace tandrel
