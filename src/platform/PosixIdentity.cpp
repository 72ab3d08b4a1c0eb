// Where directories are: PosixFileSystem::CanonicalPath, LocateDirectory and PathBelow.

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "DirectoryLineage.h"
#include "PosixFileSystem.h"

namespace tandrel {
namespace {

Status EmptyPath() {
    return Status::Error(Status::Code::kInvalid, "", "empty path");
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return parts;
}

std::string JoinPath(const std::vector<std::string>& parts, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        out += '/';
        out += parts[i];
    }
    return out.empty() ? "/" : out;
}

}  // namespace

Status PosixFileSystem::CanonicalPath(const std::string& path, std::string* canonical) {
    canonical->clear();
    if (path.empty()) {
        return EmptyPath();
    }
    std::string absolute = path;
    if (absolute.front() != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) == nullptr) {
            return Status::FromErrno(errno, path);
        }
        absolute = std::string(cwd) + "/" + absolute;
    }
    const std::vector<std::string> parts = SplitPath(absolute);
    // Resolve the deepest level that exists, then add the missing levels as written.
    for (size_t n = parts.size();; --n) {
        const std::string prefix = JoinPath(parts, n);
        if (char* real = realpath(prefix.c_str(), nullptr)) {
            std::string out = real;
            free(real);
            for (size_t i = n; i < parts.size(); ++i) {
                if (out.back() != '/') {
                    out += '/';
                }
                out += parts[i];
            }
            *canonical = std::move(out);
            return Status::Ok();
        }
        if (n == 0) {
            *canonical = JoinPath(parts, parts.size());
            return Status::Ok();
        }
    }
}

Status PosixFileSystem::LocateDirectory(const std::string& path, DirectoryPlace* place) {
    if (path.empty()) {
        return EmptyPath();
    }
    DirectoryLineage walk;
    const Status s = walk.Walk(path);
    if (!s.ok()) {
        return s;
    }
    place->id = walk.id();
    place->ancestors = walk.Ancestors();
    place->missing = walk.missing();
    return Status::Ok();
}

Status PosixFileSystem::PathBelow(const std::string& outer, const std::string& inner,
                                  std::string* rel) {
    rel->clear();
    if (outer.empty() || inner.empty()) {
        return EmptyPath();
    }
    DirectoryLineage out;
    Status s = out.Walk(outer);
    if (!s.ok() || !out.missing().empty()) {
        return s;  // nothing lies inside a directory that does not exist
    }
    DirectoryLineage in;
    s = in.Walk(inner);
    if (!s.ok()) {
        return s;
    }
    bool found = false;
    return in.PathFrom(out.id(), rel, &found);
}

}  // namespace tandrel
