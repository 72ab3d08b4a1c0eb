#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Status.h"

namespace tandrel {

// Copies waiting for their real last-write time. A copy made with batched durability is
// renamed into place with kPlaceholderSec as its time, so that until its contents are known
// to be on the disk it looks out of date to every later run. Flush makes the volumes hold
// everything written so far (syncfs) and only then stamps each copy with its real times.
//
// Threads: any; the list is guarded by a mutex.
class StampBatch {
  public:
    // The placeholder time of a waiting copy: one second after the epoch.
    static constexpr time_t kPlaceholderSec = 1;
    // Copies of sources older than this (1980-01-01 plus a margin, the earliest time FAT can
    // hold, where the placeholder lands) are flushed on their own instead.
    static constexpr time_t kEarliestBatchedSec = 315532800 + 10;

    struct Pending {
        std::string path;  // where the copy now lives
        dev_t dev = 0;     // which copy it is, so that a file put there since is not stamped
        ino_t ino = 0;
        timespec atime{};
        timespec mtime{};
    };

    // Adds a copy; true when the batch has grown to `maxFiles` or `maxBytes` and should be
    // flushed.
    bool Add(Pending pending, uint64_t bytes, size_t maxFiles, uint64_t maxBytes);

    // Flushes the volumes of the waiting copies and stamps them; with `abandon`, does not wait
    // for the disk and leaves them with the placeholder (the next run copies them again).
    // Returns the first failure since the last Flush, if any: a volume that could not be
    // flushed leaves its copies unstamped.
    Status Flush(bool abandon);
    // Flush(false) when a batch is full, in the middle of a run: a failure is kept and
    // returned by the next Flush.
    void FlushFull();

  private:
    Status FlushPending(std::vector<Pending> pending);

    std::mutex m_mutex;
    std::vector<Pending> m_pending;
    uint64_t m_bytes = 0;
    Status m_error;  // a failure of FlushFull not yet reported
};

}  // namespace tandrel
