#include "DirectoryLineage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

#include "MountTable.h"

namespace tandrel {
namespace {

// Far more directories than any real chain of parents and mounts reaches; a bound so that a
// strange mount table cannot make the walk run away.
constexpr size_t kMaxNodes = 4096;

constexpr int kDirPath = O_PATH | O_DIRECTORY | O_CLOEXEC;

bool IdOf(int fd, FileId* id) {
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        return false;
    }
    *id = FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return true;
}

// The id of the mount `fd` was opened through; 0 when the kernel does not tell.
uint64_t MountOf(int fd) {
    struct statx stx {};
    if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &stx) != 0 ||
        (stx.stx_mask & STATX_MNT_ID) == 0) {
        return 0;
    }
    return stx.stx_mnt_id;
}

// True when the file-system path `root` is `path` or one of its parents.
bool IsRootOf(const std::string& root, const std::string& path) {
    if (root == "/") {
        return true;
    }
    return path.compare(0, root.size(), root) == 0 &&
           (path.size() == root.size() || path[root.size()] == '/');
}

std::string LastName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Status DirectoryLineage::Walk(const std::string& path) {
    path_ = path;
    nodes_.clear();
    missing_.clear();
    const bool absolute = !path.empty() && path.front() == '/';
    UniqueFd cur(open(absolute ? "/" : ".", kDirPath));
    if (!cur.valid()) {
        return Status::FromErrno(errno, path);
    }
    size_t pos = 0;
    while (pos <= path.size()) {
        const size_t end = std::min(path.find('/', pos), path.size());
        const std::string part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (!missing_.empty()) {
            if (part == "..") {
                missing_.pop_back();
            } else {
                missing_.push_back(part);
            }
            continue;
        }
        UniqueFd next(openat(cur.get(), part.c_str(), kDirPath));
        if (next.valid()) {
            cur = std::move(next);
        } else if (part != "..") {
            missing_.push_back(part);
        }
    }

    Status error;
    if (!Add(std::move(cur), -1, false, std::string(), &error)) {
        return error;
    }
    MountTable table;
    const bool haveMounts = table.Load();
    // The identity of each mount's root as it is visible here, looked up once; nullopt for a
    // mount hidden under another one (nothing of it can be reached through its point).
    std::map<uint64_t, std::optional<FileId>> rootIds;
    auto rootOf = [&](const MountTable::Mount& m) -> std::optional<FileId> {
        auto it = rootIds.find(m.id);
        if (it != rootIds.end()) {
            return it->second;
        }
        std::optional<FileId> id;
        UniqueFd fd(open(m.mount_point.c_str(), kDirPath));
        FileId found;
        if (fd.valid() && MountOf(fd.get()) == m.id && IdOf(fd.get(), &found)) {
            id = found;
        }
        rootIds[m.id] = id;
        return id;
    };

    for (size_t i = 0; i < nodes_.size(); ++i) {
        const FileId id = nodes_[i].id;
        const uint64_t mount = nodes_[i].mount;
        UniqueFd up(openat(nodes_[i].fd.get(), "..", kDirPath));
        if (!up.valid()) {
            return Status::FromErrno(errno, path + " (a directory above it)");
        }
        FileId upId;
        if (!IdOf(up.get(), &upId)) {
            return Status::FromErrno(errno, path + " (a directory above it)");
        }
        const uint64_t upMount = MountOf(up.get());
        const bool top = upId == id && upMount == mount;  // ".." of "/" is "/" itself
        const bool mountRoot = top || upMount != mount;
        const MountTable::Mount* own = haveMounts ? table.Find(mount) : nullptr;
        if (!top) {
            std::string name = mountRoot && own != nullptr ? LastName(own->mount_point) : "";
            if (!Add(std::move(up), static_cast<int>(i), true, std::move(name), &error)) {
                return error;
            }
        }
        if (own == nullptr) {
            continue;
        }
        for (const MountTable::Mount& m : table.mounts()) {
            if (m.device != own->device || m.id == own->id) {
                continue;
            }
            // At the root of its mount, the directory's own parent is found where the same
            // directory shows in a mount of a level above it.
            if (mountRoot && IsRootOf(m.root, own->root)) {
                const std::string rest = own->root.substr(m.root == "/" ? 0 : m.root.size());
                std::string place = m.mount_point == "/" ? rest : m.mount_point + rest;
                if (place.empty()) {
                    place = "/";
                }
                UniqueFd fd(open(place.c_str(), kDirPath));
                FileId same;
                if (fd.valid() && IdOf(fd.get(), &same) && same == id &&
                    !Add(std::move(fd), static_cast<int>(i), false, std::string(), &error)) {
                    return error;
                }
            }
            // A mount that shows this directory as its root puts it below that mount's point.
            const std::optional<FileId> root = rootOf(m);
            if (root && *root == id) {
                UniqueFd fd(open(m.mount_point.c_str(), kDirPath));
                FileId same;
                if (fd.valid() && IdOf(fd.get(), &same) && same == id &&
                    !Add(std::move(fd), static_cast<int>(i), false, std::string(), &error)) {
                    return error;
                }
            }
        }
    }
    return Status::Ok();
}

bool DirectoryLineage::Add(UniqueFd fd, int from, bool up, std::string name, Status* error) {
    Node node;
    if (!IdOf(fd.get(), &node.id)) {
        *error = Status::FromErrno(errno, path_);
        return false;
    }
    node.mount = MountOf(fd.get());
    for (const Node& n : nodes_) {
        if (n.id == node.id && n.mount == node.mount) {
            return true;
        }
    }
    if (nodes_.size() >= kMaxNodes) {
        *error = Status::Error(Status::Code::kInvalid, path_,
                               "lies among too many mounts to tell where it is");
        return false;
    }
    node.fd = std::move(fd);
    node.from = from;
    node.up = up;
    node.name = std::move(name);
    nodes_.push_back(std::move(node));
    return true;
}

std::vector<FileId> DirectoryLineage::Ancestors() const {
    std::vector<FileId> ids;
    for (size_t i = 1; i < nodes_.size(); ++i) {
        if (nodes_[i].id != nodes_.front().id &&
            std::find(ids.begin(), ids.end(), nodes_[i].id) == ids.end()) {
            ids.push_back(nodes_[i].id);
        }
    }
    return ids;
}

Status DirectoryLineage::PathFrom(const FileId& outer, std::string* rel, bool* found) const {
    rel->clear();
    *found = false;
    size_t k = 0;
    while (k < nodes_.size() && nodes_[k].id != outer) {
        ++k;
    }
    if (k == nodes_.size()) {
        return Status::Ok();
    }
    std::vector<std::string> names;
    for (size_t j = k; nodes_[j].from >= 0; j = static_cast<size_t>(nodes_[j].from)) {
        const Node& node = nodes_[j];
        if (!node.up) {
            continue;
        }
        std::string name;
        Status s = NameIn(node, nodes_[static_cast<size_t>(node.from)], &name);
        if (!s.ok()) {
            return s;
        }
        names.push_back(std::move(name));
    }
    names.insert(names.end(), missing_.begin(), missing_.end());
    for (const std::string& name : names) {
        if (!rel->empty()) {
            rel->push_back('/');
        }
        *rel += name;
    }
    *found = true;
    return Status::Ok();
}

Status DirectoryLineage::NameIn(const Node& parent, const Node& child, std::string* name) const {
    auto matches = [&](const std::string& candidate) {
        struct stat st {};
        return fstatat(parent.fd.get(), candidate.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISDIR(st.st_mode) && static_cast<uint64_t>(st.st_dev) == child.id.dev &&
               static_cast<uint64_t>(st.st_ino) == child.id.ino;
    };
    // Across a mount root the name is that of the mount point.
    if (!parent.name.empty() && matches(parent.name)) {
        *name = parent.name;
        return Status::Ok();
    }
    UniqueFd fd(openat(parent.fd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* dir = fd.valid() ? fdopendir(fd.get()) : nullptr;
    if (dir == nullptr) {
        return Status::FromErrno(errno, path_ + " (a directory above it)");
    }
    fd.Release();
    Status result = Status::Error(Status::Code::kNotFound, path_,
                                  "a directory above it no longer holds the level below");
    while (dirent* ent = readdir(dir)) {
        if (std::strcmp(ent->d_name, ".") == 0 || std::strcmp(ent->d_name, "..") == 0) {
            continue;
        }
        if (static_cast<uint64_t>(ent->d_ino) == child.id.ino && matches(ent->d_name)) {
            *name = ent->d_name;
            result = Status::Ok();
            break;
        }
    }
    closedir(dir);
    return result;
}

}  // namespace tandrel
