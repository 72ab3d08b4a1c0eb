#include "DirHandle.h"
#include "FileSystem.h"
#include "PosixFileSystem.h"

namespace tandrel {

Status FileSystem::OpenContainingDirectory(const DirHandle& dir, DirHandle*) {
    return Status::Error(Status::Code::kUnsupported, dir.PathOf(".."),
                         "the directory holding it cannot be opened from it here");
}

Status FileSystem::ProbeStoredTime(const DirHandle& dir, int64_t, int64_t*) {
    return Status::Error(Status::Code::kUnsupported, dir.path(), "no probe is written here");
}

FileSystem& DefaultFileSystem() {
    // Never destroyed, so that threads still running at exit can use it.
    static PosixFileSystem* fs = new PosixFileSystem();
    return *fs;
}

}  // namespace tandrel
