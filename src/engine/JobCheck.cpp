#include "JobCheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace tandrel {

namespace {

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

bool SameDirectory(const std::string& a, const std::string& b) {
    struct stat sa;
    struct stat sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

std::string CanonicalPath(const std::string& path) {
    if (path.empty()) {
        return std::string();
    }
    std::string absolute = path;
    if (absolute.front() != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) == nullptr) {
            return absolute;
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
            return out;
        }
        if (n == 0) {
            return JoinPath(parts, parts.size());
        }
    }
}

bool IsSameOrInside(const std::string& inner, const std::string& outer) {
    const std::string a = CanonicalPath(inner);
    const std::string b = CanonicalPath(outer);
    if (a.empty() || b.empty()) {
        return false;
    }
    // Walk up from `inner`: a level that is `outer` by name, or the same directory by device and
    // inode (another spelling on a case-blind file system, say), makes it inside.
    std::vector<std::string> parts = SplitPath(a);
    for (size_t n = parts.size() + 1; n-- > 0;) {
        const std::string level = JoinPath(parts, n);
        if (level == b || SameDirectory(level, b)) {
            return true;
        }
    }
    return false;
}

Status CheckJobPaths(const std::string& source, const std::string& dest, ExtraFileAction action,
                     const std::string& recycle) {
    auto refuse = [](const std::string& path, const std::string& reason) {
        return Status::Error(Status::Code::kInvalid, path, "Error: " + reason);
    };
    if (source.empty()) {
        return refuse(source, "Directory name of 'From' is empty...");
    }
    if (dest.empty()) {
        return refuse(dest, "Directory name of 'To' is empty...");
    }
    if (IsSameOrInside(dest, source)) {
        return refuse(dest, "Directory 'To' is or lies inside 'From'...");
    }
    if (IsSameOrInside(source, dest)) {
        return refuse(dest, "Directory 'To' contains 'From'...");
    }
    if (action == kActionMove && !recycle.empty()) {
        if (IsSameOrInside(recycle, source)) {
            return refuse(recycle, "Directory 'Recycle' is or lies inside 'From'...");
        }
        if (IsSameOrInside(dest, recycle)) {
            return refuse(recycle, "Directory 'Recycle' is or contains 'To'...");
        }
    }
    return Status::Ok();
}

}  // namespace tandrel
