#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tandrel {

// How PosixFileSystem copies file contents. The defaults are what the program uses; tests
// change them to reach each path of the copy (small chunks, no copy_file_range, a callback
// that cancels half-way).
struct CopyOptions {
    // Bytes copied between two looks at the cancel flag.
    size_t chunk_bytes = size_t{8} << 20;
    // Share the source's blocks (FICLONE) where the file system can; the copy is then
    // instant and takes no space until either file changes.
    bool try_reflink = true;
    // Let the kernel copy (copy_file_range); otherwise read and write through a buffer.
    bool try_copy_file_range = true;
    // Flush the new file to the disk before it replaces the old one, so that a power cut
    // cannot leave an empty or partial file under the final name with the source's time
    // (which a later run would take as up to date).
    bool sync_before_rename = true;
    // Called on the copying thread after each chunk (at most chunk_bytes) with the bytes
    // copied so far.
    std::function<void(uint64_t copied)> on_chunk;
};

}  // namespace tandrel
