#include "RuntimeFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

namespace tandrel {

namespace {

struct Place {
    std::string parent;  // followed through links: the user's own setting
    std::string name;    // one level, never followed through a link
    bool makeParent;     // the parent may be missing and is then made 0700
};

std::string Joined(const std::string& parent, const std::string& name) {
    return parent.back() == '/' ? parent + name : parent + "/" + name;
}

// A variable that names an absolute path, or empty.
std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

// Where the folder may be, in the order they are tried.
std::vector<Place> Places() {
    std::vector<Place> places;
    // $XDG_RUNTIME_DIR belongs to the user already.
    if (std::string runtime = AbsoluteVariable("XDG_RUNTIME_DIR"); !runtime.empty()) {
        places.push_back({runtime, "tandrel", false});
    }
    // The user's cache, made when missing as the user's other programs would.
    if (std::string cache = AbsoluteVariable("XDG_CACHE_HOME"); !cache.empty()) {
        places.push_back({cache, "tandrel", true});
    } else if (std::string home = AbsoluteVariable("HOME"); !home.empty()) {
        places.push_back({Joined(home, ".cache"), "tandrel", true});
    }
    // The shared temporary folder, where the name carries the user's id.
    std::string tmp = AbsoluteVariable("TMPDIR");
    places.push_back(
        {tmp.empty() ? std::string("/tmp") : tmp, "tandrel-" + std::to_string(geteuid()), false});
    return places;
}

Status TryPlace(const Place& place, std::string* path, UniqueFd* dir) {
    const std::string folder = Joined(place.parent, place.name);
    if (place.makeParent && mkdir(place.parent.c_str(), 0700) != 0 && errno != EEXIST) {
        return Status::FromErrno(errno, place.parent);
    }
    UniqueFd parent(open(place.parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid()) {
        return Status::FromErrno(errno, place.parent);
    }
    // Whoever may rename entries of the parent could put a folder of their own in its place.
    struct stat st {};
    if (fstat(parent.get(), &st) != 0) {
        return Status::FromErrno(errno, place.parent);
    }
    if ((st.st_uid != geteuid() && st.st_uid != 0) ||
        ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0)) {
        return Status::Error(Status::Code::kPermission, place.parent,
                             "others may replace what is in it");
    }
    if (mkdirat(parent.get(), place.name.c_str(), 0700) != 0 && errno != EEXIST) {
        return Status::FromErrno(errno, folder);
    }
    UniqueFd opened(
        openat(parent.get(), place.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!opened.valid()) {
        const int err = errno;
        if (err == ELOOP || err == ENOTDIR) {
            return Status::Error(Status::Code::kInvalid, folder, "is not a directory of its own");
        }
        return Status::FromErrno(err, folder);
    }
    if (fstat(opened.get(), &st) != 0) {
        return Status::FromErrno(errno, folder);
    }
    if (st.st_uid != geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return Status::Error(Status::Code::kPermission, folder,
                             "belongs to another user or others may write to it");
    }
    *path = folder;
    *dir = std::move(opened);
    return Status::Ok();
}

}  // namespace

std::string RuntimeFolderPath() {
    std::string path;
    UniqueFd dir;
    return OpenRuntimeFolder(&path, &dir).ok() ? path : std::string();
}

Status OpenRuntimeFolder(std::string* path, UniqueFd* dir) {
    std::string why;
    Status first;
    for (const Place& place : Places()) {
        const Status s = TryPlace(place, path, dir);
        if (s.ok()) {
            return s;
        }
        if (first.ok()) {
            first = s;
        }
        why += (why.empty() ? "" : "; ") + s.ToString();
    }
    return Status::Error(first.code(), first.path(), "no private folder for locks: " + why);
}

}  // namespace tandrel
