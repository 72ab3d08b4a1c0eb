#pragma once

#include <string>
#include <utility>
#include <vector>

#include "CloneProbe.h"
#include "CopyOptions.h"
#include "DirHandle.h"
#include "FileSystem.h"
#include "StampBatch.h"

namespace tandrel {

// FileSystem over the Linux system calls. Paths are passed to the kernel as they are, bytes
// and all; a trailing '/' is dropped first, since the kernel would otherwise resolve a link
// at the end of "dir/" and the layer promises never to do that. Every path form opens the
// directory holding its last component and does the work of its *At form through it.
//
// Its one state between calls is the batch of copies waiting for their real times (see
// CopyOptions::Durability), guarded by its own lock, so one object serves every thread;
// DefaultFileSystem() is one such object with the default options.
class PosixFileSystem : public FileSystem {
  public:
    PosixFileSystem() = default;
    explicit PosixFileSystem(CopyOptions options) : options_(std::move(options)) {}

    Status ListDirectory(const std::string& dir, std::vector<DirEntry>* entries) override;
    Status Stat(const std::string& path, EntryInfo* info) override;
    Status CopyFile(const std::string& src, const std::string& dst,
                    const std::atomic<bool>* cancel) override;
    Status MoveFile(const std::string& src, const std::string& dst,
                    const std::atomic<bool>* cancel) override;
    Status DeleteFile(const std::string& path) override;
    Status CreateDirectory(const std::string& path) override;
    Status RemoveDirectory(const std::string& path) override;
    Status MakeReplaceable(const std::string& path) override;
    Status GetVolumeInfo(const std::string& dir, VolumeInfo* info) override;
    Status RemoveStaleTemp(const std::string& path) override;
    Status CommitCopies(bool abandon) override;
    // In PosixIdentity.cpp.
    Status CanonicalPath(const std::string& path, std::string* canonical) override;
    Status LocateDirectory(const std::string& path, DirectoryPlace* place) override;
    Status PathBelow(const std::string& outer, const std::string& inner, std::string* rel) override;
    // In PosixLogFile.cpp.
    Status OpenLogFile(const std::string& path, std::unique_ptr<LogFile>* log,
                       LogOpenMode mode = LogOpenMode::kEmpty) override;

    Status OpenDirectory(const std::string& path, DirHandle* dir) override;
    Status OpenSubdirectory(const DirHandle& parent, const std::string& name,
                            DirHandle* dir) override;
    // Listing and looking up go straight to the system, which keeps no state between calls.
    bool ReadsInParallel() const override { return true; }
    Status ProbeDirectory(const std::string& dir) override;
    Status OpenContainingDirectory(const DirHandle& dir, DirHandle* parent) override;
    Status ListDirectoryAt(const DirHandle& dir, DirListing* listing) override;
    Status StatAt(const DirHandle& dir, const std::string& name, EntryInfo* info) override;
    Status CopyFileAt(const DirHandle& src_dir, const std::string& src_name,
                      const DirHandle& dst_dir, const std::string& dst_name,
                      const std::atomic<bool>* cancel) override;
    Status MoveFileAt(const DirHandle& src_dir, const std::string& src_name,
                      const DirHandle& dst_dir, const std::string& dst_name,
                      const std::atomic<bool>* cancel) override;
    Status MoveNoReplaceAt(const DirHandle& src_dir, const std::string& src_name,
                           const DirHandle& dst_dir, const std::string& dst_name,
                           std::string* placed_name, const std::atomic<bool>* cancel) override;
    Status DeleteFileAt(const DirHandle& dir, const std::string& name) override;
    Status CreateDirectoryAt(const DirHandle& dir, const std::string& name, mode_t mode) override;
    Status RemoveDirectoryAt(const DirHandle& dir, const std::string& name) override;
    Status SetDirectoryMode(const DirHandle& dir, mode_t mode) override;
    Status MakeReplaceableAt(const DirHandle& dir, const std::string& name) override;
    Status SetFileModeAt(const DirHandle& dir, const std::string& name, mode_t mode) override;
    Status RemoveStaleTempAt(const DirHandle& dir, const std::string& name) override;
    Status ProbeStoredTime(const DirHandle& dir, int64_t mtime_ns, int64_t* stored_ns) override;

    // What MoveFile does when src and dst lie on different file systems: a copy flushed to
    // the disk before anything else happens, then DeleteFileAt of src (a virtual call). Only
    // files and links can travel this way; anything else fails with kUnsupported. When the copy
    // succeeds but src cannot be removed, the error names src and says that the entry now
    // exists in both places. Public so that this path can be exercised on a single file system.
    Status MoveByCopy(const std::string& src, const std::string& dst,
                      const std::atomic<bool>* cancel);
    // With `placed_name`, the copy is made under a temporary name and then given dst_name or
    // the next free numbered name, replacing nothing (see MoveNoReplaceAt).
    Status MoveByCopyAt(const DirHandle& src_dir, const std::string& src_name,
                        const DirHandle& dst_dir, const std::string& dst_name,
                        const std::atomic<bool>* cancel, std::string* placed_name = nullptr);

  private:
    const CopyOptions options_{};
    StampBatch batch_;
    CloneProbe clones_;
};

}  // namespace tandrel
