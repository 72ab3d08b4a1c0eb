#include "FileSystem.h"
#include "PosixFileSystem.h"

namespace tandrel {

FileSystem& DefaultFileSystem() {
    // Never destroyed, so that threads still running at exit can use it.
    static PosixFileSystem* fs = new PosixFileSystem();
    return *fs;
}

}  // namespace tandrel
