#include "SettingsFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tandrel {
namespace {

std::string DirName(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates every missing folder of `dir`, private to the user.
Status MakeFolders(const std::string& dir) {
    for (size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos != dir.size() && dir[pos] != '/') {
            continue;
        }
        const std::string part = dir.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return Status::FromErrno(errno, part);
        }
    }
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        return Status::FromErrno(errno, dir);
    }
    if (!S_ISDIR(st.st_mode)) {
        return Status::FromErrno(ENOTDIR, dir);
    }
    return Status::Ok();
}

// Renames `from` to `to` inside the folder `dfd` unless `to` exists: 0 or an errno value.
// Falls back to a hard link and an unlink on file systems that cannot rename without replacing.
int RenameNoReplace(int dfd, const std::string& from, const std::string& to) {
    if (renameat2(dfd, from.c_str(), dfd, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    if (linkat(dfd, from.c_str(), dfd, to.c_str(), 0) != 0) {
        return errno;
    }
    return unlinkat(dfd, from.c_str(), 0) == 0 ? 0 : errno;
}

}  // namespace

std::string SettingsFile::DefaultPath() {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const struct passwd* pw = getpwuid(getuid());
            home = pw != nullptr ? pw->pw_dir : "/";
        }
        base = std::string(home) + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    if (base == "/") {
        base.clear();
    }
    return base + "/Halvory/Tandrel/settings.db";
}

Status SettingsFile::Create(const std::string& path) {
    if (Status s = MakeFolders(DirName(path)); !s.ok()) {
        return Status::Error(s.code(), s.path(),
                             "cannot create the folder for the settings store: " + s.reason());
    }
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        const Status error = Status::FromErrno(errno, path);
        return Status::Error(error.code(), path,
                             "cannot create the settings store: " + error.reason());
    }
    close(fd);
    return Status::Ok();
}

Status SettingsFile::MoveAside(const std::string& path, dev_t dev, ino_t ino, std::string* aside) {
    aside->clear();
    const std::string dir = DirName(path);
    const std::string base = BaseName(path);
    const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) {
        return Status::FromErrno(errno, dir);
    }
    // Another instance may find the same damaged file at the same moment: the folder lock makes
    // the identity check and the rename one step, so only the damaged file itself is moved.
    flock(dfd, LOCK_EX);
    struct stat now;
    if (fstatat(dfd, base.c_str(), &now, 0) != 0 || now.st_dev != dev || now.st_ino != ino) {
        close(dfd);
        return Status::Ok();
    }
    Status result;
    for (int n = 0;; ++n) {
        std::string name = base + ".damaged";
        if (n > 0) {
            name += "." + std::to_string(n);
        }
        const int err = RenameNoReplace(dfd, base, name);
        if (err == 0) {
            *aside = dir + "/" + name;
            // A journal left beside the file belongs to it: a new store must never replay it.
            for (const char* suffix : {"-journal", "-wal", "-shm"}) {
                RenameNoReplace(dfd, base + suffix, name + suffix);
            }
            break;
        }
        if (err != EEXIST || n >= 9999) {
            result = Status::FromErrno(err, path);
            break;
        }
    }
    close(dfd);  // releases the lock
    return result;
}

}  // namespace tandrel
