#include "CloneProbe.h"

#include <algorithm>
#include <cerrno>

namespace tandrel {

bool CloneProbe::Worth(dev_t from, dev_t to) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(refused_.begin(), refused_.end(), std::make_pair(from, to)) == refused_.end();
}

void CloneProbe::Refused(dev_t from, dev_t to, int err) {
    // EOPNOTSUPP, ENOTTY, ENOSYS: the file system (or the kernel) has no clone at all; EXDEV:
    // the two devices are different file systems. Anything else (EINVAL for a file the file
    // system will not share, EIO, ENOSPC) may concern this file alone: asked again next time.
    if (err != EOPNOTSUPP && err != ENOTTY && err != ENOSYS && err != EXDEV) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(refused_.begin(), refused_.end(), std::make_pair(from, to)) == refused_.end()) {
        refused_.emplace_back(from, to);
    }
}

}  // namespace tandrel
