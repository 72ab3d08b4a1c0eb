#include "BindMounts.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>

namespace tandrel {

BindMounts::~BindMounts() {
    UnmountAll();
}

bool BindMounts::Bind(const std::string& from, const std::string& at) {
    if (mount(from.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        error_ = "cannot bind " + from + " at " + at + ": " + std::strerror(errno);
        return false;
    }
    points_.push_back(at);
    return true;
}

void BindMounts::UnmountAll() {
    while (!points_.empty()) {
        if (umount2(points_.back().c_str(), 0) != 0) {
            umount2(points_.back().c_str(), MNT_DETACH);
        }
        points_.pop_back();
    }
}

}  // namespace tandrel
