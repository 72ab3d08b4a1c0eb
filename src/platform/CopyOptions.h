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
    // How a copy is kept from carrying the source's time before its contents are safe on the
    // disk: a power cut must never leave an empty or partial file under the final name with
    // the source's time, which a later run would take as up to date.
    //   kSyncEach: flush each copy to the disk (fsync) before it replaces the old file.
    //   kBatched: rename at once with a placeholder time older than any real one, and give
    //     the copies their real times after one flush of the whole volume (syncfs) at
    //     FileSystem::CommitCopies, or once batch_files copies or batch_bytes bytes wait.
    //     A cut in between leaves files the next run sees as out of date and copies again.
    //     One volume flush per batch instead of one per file: many times faster for trees of
    //     small files.
    enum class Durability { kSyncEach, kBatched };
    Durability durability = Durability::kBatched;
    size_t batch_files = 1000;
    uint64_t batch_bytes = uint64_t{256} << 20;
    // The batch keeps one descriptor open for each directory its copies lie in (they are
    // stamped through it, never through a path); it is flushed early once it holds this many.
    size_t batch_dirs = 64;
    // A full batch is flushed on a thread of its own while the copies go on (the next full
    // batch waits for it); otherwise the copy that filled it waits for the flush. Flushed
    // behind, a batch is full at half of batch_dirs, since two may hold descriptors at once.
    bool flush_behind = true;
    // Called on the copying thread after each chunk (at most chunk_bytes) with the bytes
    // copied so far.
    std::function<void(uint64_t copied)> on_chunk;
};

}  // namespace tandrel
