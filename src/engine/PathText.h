#pragma once

#include <string>
#include <string_view>

namespace tandrel {

// `path` without its one trailing '/', except for "/" itself. Directory paths held by the
// engine end with '/'; the file-system layer is given them without it, so that a link at the
// end of a path is never followed.
inline std::string StripSlash(const std::string& path) {
    if (path.size() > 1 && path.back() == '/') {
        return path.substr(0, path.size() - 1);
    }
    return path;
}

// Names beginning with "." take no part in a walk.
inline bool StartsWithDot(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

}  // namespace tandrel
