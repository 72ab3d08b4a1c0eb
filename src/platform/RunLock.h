#pragma once

#include <string>

#include "FileSystem.h"
#include "Status.h"
#include "UniqueFd.h"

namespace tandrel {

// Keeps two runs off one directory at the same time: an advisory lock (flock) on a lock file
// named by the directory's identity (device and inode), so that two spellings of one directory
// share one lock. The lock files live outside every tree, in $XDG_RUNTIME_DIR/tandrel when that
// variable names an absolute path, in /tmp/tandrel-<uid> otherwise; the folder is created 0700
// when missing and used only when it is a real directory (not a link) owned by this user that
// no one else may write to. Nothing is ever written into a tree, and the lock goes with the
// descriptor: a run that crashes leaves no stale lock behind.
//
// Locks of two RunLock objects conflict even within one process. Threads: any, one at a time
// per object.
class RunLock {
  public:
    RunLock() = default;
    RunLock(RunLock&&) noexcept = default;
    RunLock& operator=(RunLock&&) noexcept = default;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;
    ~RunLock() = default;  // releases the lock

    // Takes the lock of the directory `id` without waiting: ok when taken (or held already by
    // this object), kBusy when someone else holds it, another code naming the lock folder or
    // file when the lock cannot be used at all.
    Status TryLock(FileId id);
    // Releases the lock; harmless when none is held.
    void Unlock();
    bool held() const { return fd_.valid(); }

    // The folder the lock files are kept in (see above), without a trailing '/'.
    static std::string FolderPath();

  private:
    UniqueFd fd_;
    FileId id_;
};

}  // namespace tandrel
