#include "TempTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tandrel {
namespace {

constexpr int64_t kNsPerSecond = 1000000000;

timespec ToTimespec(int64_t ns) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / kNsPerSecond);
    ts.tv_nsec = static_cast<long>(ns % kNsPerSecond);
    if (ts.tv_nsec < 0) {  // times before 1970 round towards minus infinity
        ts.tv_nsec += kNsPerSecond;
        ts.tv_sec -= 1;
    }
    return ts;
}

void Report(const std::string& what, const std::string& path, int err) {
    ADD_FAILURE() << "TempTree: " << what << " " << path << ": " << std::strerror(err);
}

// Removes the entry `name` in the directory `parent_fd` and, for a directory, everything in
// it. Links are unlinked, never followed; directories are made accessible before they are
// opened so that a test may leave unreadable ones behind.
void RemoveEntry(int parent_fd, const char* name, const std::string& shown) {
    struct stat st {};
    if (fstatat(parent_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            Report("cannot stat", shown, errno);
        }
        return;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (unlinkat(parent_fd, name, 0) != 0 && errno != ENOENT) {
            Report("cannot remove", shown, errno);
        }
        return;
    }
    fchmodat(parent_fd, name, 0700, 0);  // best effort: the open below reports a failure
    int fd = openat(parent_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        Report("cannot open", shown, errno);
        return;
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        Report("cannot list", shown, errno);
        close(fd);
        return;
    }
    std::vector<std::string> names;
    while (dirent* ent = readdir(dir)) {
        if (std::strcmp(ent->d_name, ".") != 0 && std::strcmp(ent->d_name, "..") != 0) {
            names.emplace_back(ent->d_name);
        }
    }
    for (const std::string& child : names) {
        RemoveEntry(dirfd(dir), child.c_str(), shown + "/" + child);
    }
    closedir(dir);
    if (unlinkat(parent_fd, name, AT_REMOVEDIR) != 0 && errno != ENOENT) {
        Report("cannot remove directory", shown, errno);
    }
}

void ListInto(int dir_fd, const std::string& prefix, std::set<std::string>* out,
              const std::string& shown) {
    int fd = openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : fdopendir(fd);
    if (dir == nullptr) {
        Report("cannot list", shown, errno);
        if (fd >= 0) {
            close(fd);
        }
        return;
    }
    while (dirent* ent = readdir(dir)) {
        const char* name = ent->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        struct stat st {};
        if (fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            Report("cannot stat", shown + name, errno);
            continue;
        }
        std::string rel = prefix + name;
        if (S_ISREG(st.st_mode)) {
            out->insert(rel);
        } else if (S_ISLNK(st.st_mode)) {
            out->insert(rel + "@");
        } else if (S_ISDIR(st.st_mode)) {
            out->insert(rel + "/");
            int sub = openat(dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                Report("cannot open", shown + name, errno);
                continue;
            }
            ListInto(sub, rel + "/", out, shown + name + "/");
            close(sub);
        } else {
            out->insert(rel + "|");
        }
    }
    closedir(dir);
}

}  // namespace

TempTree::TempTree(const std::string& base) {
    std::string dir = base;
    if (dir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        dir = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    }
    if (dir.back() != '/') {
        dir += '/';
    }
    std::string pattern = dir + "tandrel-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
        Report("cannot create a directory in", dir, errno);
        return;
    }
    root_ = std::string(buf.data()) + "/";
}

TempTree::~TempTree() {
    if (!root_.empty()) {
        RemoveEntry(AT_FDCWD, root_.substr(0, root_.size() - 1).c_str(), root_);
    }
}

std::string TempTree::Path(std::string_view rel) const {
    if (rel.empty() || rel == ".") {
        return root_;
    }
    return root_ + std::string(rel);
}

void TempTree::WriteFile(std::string_view rel, std::string_view contents,
                         std::optional<int64_t> mtime_ns, mode_t mode) {
    const std::string path = Path(rel);
    // Replace rather than truncate, so a read-only file left by an earlier step is no obstacle.
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        Report("cannot replace", path, errno);
        return;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        Report("cannot create", path, errno);
        return;
    }
    size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Report("cannot write", path, errno);
            close(fd);
            return;
        }
        done += static_cast<size_t>(n);
    }
    if (fchmod(fd, mode) != 0) {
        Report("cannot chmod", path, errno);
    }
    if (mtime_ns) {
        timespec times[2] = {ToTimespec(*mtime_ns), ToTimespec(*mtime_ns)};
        if (futimens(fd, times) != 0) {
            Report("cannot set the time of", path, errno);
        }
    }
    if (close(fd) != 0) {
        Report("cannot close", path, errno);
    }
}

void TempTree::MakeDir(std::string_view rel) {
    std::string sofar = root_;
    std::string_view rest = rel;
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty()) {
            continue;
        }
        sofar += std::string(part) + "/";
        if (mkdir(sofar.c_str(), 0755) != 0 && errno != EEXIST) {
            Report("cannot create directory", sofar, errno);
            return;
        }
    }
}

void TempTree::MakeLink(std::string_view rel, std::string_view target) {
    const std::string path = Path(rel);
    if (symlink(std::string(target).c_str(), path.c_str()) != 0) {
        Report("cannot create link", path, errno);
    }
}

void TempTree::MakeFifo(std::string_view rel) {
    const std::string path = Path(rel);
    if (mkfifo(path.c_str(), 0644) != 0) {
        Report("cannot create pipe", path, errno);
    }
}

void TempTree::SetMtime(std::string_view rel, int64_t mtime_ns) {
    const std::string path = Path(rel);
    timespec times[2] = {{0, UTIME_OMIT}, ToTimespec(mtime_ns)};
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        Report("cannot set the time of", path, errno);
    }
}

void TempTree::Chmod(std::string_view rel, mode_t mode) {
    const std::string path = Path(rel);
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        Report("cannot stat", path, errno);
        return;
    }
    if (S_ISLNK(st.st_mode)) {
        ADD_FAILURE() << "TempTree: will not chmod the link " << path;
        return;
    }
    if (chmod(path.c_str(), mode) != 0) {
        Report("cannot chmod", path, errno);
    }
}

std::string TempTree::ReadFile(std::string_view rel) const {
    const std::string path = Path(rel);
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Report("cannot open", path, errno);
        return {};
    }
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            Report("cannot read", path, errno);
            break;
        }
        if (n == 0) {
            break;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return out;
}

std::string TempTree::ReadLink(std::string_view rel) const {
    const std::string path = Path(rel);
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0) {
            Report("cannot read link", path, errno);
            return {};
        }
        if (static_cast<size_t>(n) < buf.size()) {
            return std::string(buf.data(), static_cast<size_t>(n));
        }
        buf.resize(buf.size() * 2);
    }
}

int64_t TempTree::Mtime(std::string_view rel) const {
    const std::string path = Path(rel);
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        Report("cannot stat", path, errno);
        return 0;
    }
    return static_cast<int64_t>(st.st_mtim.tv_sec) * kNsPerSecond + st.st_mtim.tv_nsec;
}

mode_t TempTree::Mode(std::string_view rel) const {
    const std::string path = Path(rel);
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        Report("cannot stat", path, errno);
        return 0;
    }
    return st.st_mode & 07777;
}

bool TempTree::Exists(std::string_view rel) const {
    struct stat st {};
    return lstat(Path(rel).c_str(), &st) == 0;
}

std::set<std::string> TempTree::List(std::string_view rel) const {
    std::set<std::string> out;
    std::string path = Path(rel);
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        Report("cannot open", path, errno);
        return out;
    }
    if (path.back() != '/') {
        path += '/';
    }
    ListInto(fd, "", &out, path);
    close(fd);
    return out;
}

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr) {
            ++n;
        }
        closedir(d);
    }
    return n;
}

}  // namespace tandrel
