#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DirHandle.h"
#include "Status.h"
#include "UniqueFd.h"

namespace tandrel {

// Copies waiting for their real last-write time. A copy made with batched durability is
// renamed into place with kPlaceholderSec as its time, so that until its contents are known
// to be on the disk it looks out of date to every later run. Flush makes the volumes hold
// everything written so far (syncfs) and only then stamps each copy with its real times.
//
// A waiting copy is found again by its name in its directory, through a duplicate of that
// directory's descriptor which the batch keeps (one per directory, shared by the copies in
// it), never through a path: a directory renamed or swapped for a link meanwhile cannot send
// the stamp elsewhere. The number of descriptors kept is bounded by Limits::dirs.
//
// Threads: any; the list is guarded by a mutex. FlushBehind flushes on a thread of the batch's
// own, which it joins before it is destroyed.
class StampBatch {
  public:
    // The placeholder time of a waiting copy: one second after the epoch.
    static constexpr time_t kPlaceholderSec = 1;
    // Copies of sources older than this (1980-01-01 plus a margin, the earliest time FAT can
    // hold, where the placeholder lands) are flushed on their own instead.
    static constexpr time_t kEarliestBatchedSec = 315532800 + 10;

    // When a batch is full and should be flushed.
    struct Limits {
        size_t files = 1000;
        uint64_t bytes = uint64_t{256} << 20;
        size_t dirs = 64;
    };

    // Adds the copy `name` in `dir` (identity dev/ino, to be given `atime` and `mtime`); true
    // when the batch has reached one of `limits` and should be flushed. Should the directory's
    // descriptor not be kept (no descriptor left), the copy keeps its placeholder and the
    // next Flush reports the failure.
    bool Add(const DirHandle& dir, const std::string& name, dev_t dev, ino_t ino, timespec atime,
             timespec mtime, uint64_t bytes, const Limits& limits);

    // Flushes the volumes of the waiting copies and stamps them; with `abandon`, does not wait
    // for the disk and leaves them with the placeholder (the next run copies them again).
    // Returns the first failure since the last Flush, if any: a volume that could not be
    // flushed leaves its copies unstamped.
    Status Flush(bool abandon);
    // Flush(false) when a batch is full, in the middle of a run: a failure is kept and
    // returned by the next Flush.
    void FlushFull();
    // FlushFull on a thread of its own, so that the caller goes on copying while the volume
    // is flushed. The copies handed over are all complete, so the flush covers them as
    // FlushFull would. At most one such flush runs at a time: the next waits for it, and so
    // do Flush and the destructor.
    void FlushBehind();

    StampBatch() = default;
    StampBatch(const StampBatch&) = delete;
    StampBatch& operator=(const StampBatch&) = delete;
    ~StampBatch();

  private:
    struct Pending {
        std::shared_ptr<const UniqueFd> dir;  // the directory the copy lies in
        std::string name;
        std::string path;  // for messages
        dev_t dev = 0;     // which copy it is, so that a file put there since is not stamped
        ino_t ino = 0;
        timespec atime{};
        timespec mtime{};
    };

    Status FlushPending(std::vector<Pending> pending);
    // Takes the waiting copies, leaving the batch empty.
    std::vector<Pending> TakePending();
    // Waits for the flush started by FlushBehind, if any.
    void WaitBehind();

    std::mutex m_mutex;
    std::vector<Pending> m_pending;
    uint64_t m_bytes = 0;
    size_t m_dirs = 0;  // distinct directory descriptors held by m_pending
    FileId m_lastDir;   // the directory of m_pending.back()
    Status m_error;     // a failure of FlushFull (or of Add) not yet reported

    std::mutex m_behindMutex;  // guards m_behind
    std::thread m_behind;      // the flush started by FlushBehind
};

}  // namespace tandrel
