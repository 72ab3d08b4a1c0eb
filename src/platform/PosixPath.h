#pragma once

#include <time.h>

#include <cstdint>
#include <string>
#include <utility>

#include "Status.h"

namespace tandrel {

// Small helpers on byte-string paths for the POSIX file-system layer. No call follows a link.
class PosixPath {
  public:
    // `path` without trailing slashes ("a/b//" -> "a/b"); "/" stays "/". The kernel resolves
    // a link at the end of "dir/", so every path is stripped before it reaches a system call.
    static std::string Strip(const std::string& path);
    // Directory and last component of a stripped path: "a/b" -> {"a", "b"},
    // "b" -> {".", "b"}, "/b" -> {"/", "b"}.
    static std::pair<std::string, std::string> Split(const std::string& path);
    // dir + '/' + name, without doubling a '/' that dir ends with.
    static std::string Join(const std::string& dir, const std::string& name);
    // A timestamp in nanoseconds since the epoch.
    static int64_t ToNs(const timespec& ts) {
        return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    }
    // The error for a directory that could not be opened with O_NOFOLLOW (error `err`):
    // a link there is reported as "not a directory" rather than as a link loop.
    static Status DirectoryOpenError(int err, const std::string& dir);
    // True when `name` is one path component a *At call may act on: not empty, no '/', not
    // "." or "..".
    static bool IsComponent(const std::string& name) {
        return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
    }
    // The error for a *At call given something other than one component.
    static Status NotAComponent(const std::string& dir, const std::string& name);
};

}  // namespace tandrel
