#pragma once

#include <sys/types.h>

#include <mutex>
#include <utility>
#include <vector>

namespace tandrel {

// Remembers the pairs of volumes (source device, destination device) between which the kernel
// refused to share blocks (FICLONE) for a reason that holds for every file of the pair: the
// file system cannot clone, or the two files lie on different file systems. Each such pair is
// then asked once per process instead of once per file.
//
// Threads: any; the list is guarded by a mutex.
class CloneProbe {
  public:
    // False when a clone from `from` to `to` was refused for good.
    bool Worth(dev_t from, dev_t to) const;
    // A clone from `from` to `to` failed with `err`; remembered when the reason is one that
    // every file of the pair would meet.
    void Refused(dev_t from, dev_t to, int err);

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<dev_t, dev_t>> refused_;
};

}  // namespace tandrel
