#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "DirHandle.h"
#include "FileSystem.h"

namespace tandrel {

// A preview of a run: everything that reads is passed on to the file system underneath, and
// everything that would change the disk is only checked and reported as done. So a walk over it
// writes the lines a real run would write, in the same order, and leaves every tree, the
// temporaries of copies and the log file untouched.
//
// A directory the walk "creates" exists from then on for this object alone: it opens (as a
// handle without a descriptor), lists as empty and takes "copies" and "moves", so the lines for
// the files that would go into it are the real run's too. What it cannot foresee are failures
// that only the real operation would meet (a full disk, a file locked by a share).
//
// The log file is never opened: OpenLogFile fails with kUnsupported. Any thread, as FileSystem.
class DryRunFileSystem : public FileSystem {
  public:
    explicit DryRunFileSystem(FileSystem& base = DefaultFileSystem()) : base_(base) {}

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
    Status CanonicalPath(const std::string& path, std::string* canonical) override;
    Status LocateDirectory(const std::string& path, DirectoryPlace* place) override;
    Status PathBelow(const std::string& outer, const std::string& inner, std::string* rel) override;
    Status OpenLogFile(const std::string& path, std::unique_ptr<LogFile>* log,
                       LogOpenMode mode = LogOpenMode::kEmpty) override;

    Status OpenDirectory(const std::string& path, DirHandle* dir) override;
    Status OpenSubdirectory(const DirHandle& parent, const std::string& name,
                            DirHandle* dir) override;
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

  private:
    // A directory made by this object only: a handle without a descriptor.
    static bool IsMade(const DirHandle& dir) { return !dir.valid(); }
    bool WasMade(const std::string& path) const;
    // What stands at `name` in `dir`: ok with its kind, or why nothing can be looked at.
    Status Look(const DirHandle& dir, const std::string& name, EntryInfo* info);
    // The checks the real copy or move makes before it writes, failing with the real one's
    // words: a source that is there and not a directory, and no directory in the way at the
    // target. A copy takes only files and links; a move takes a pipe, socket or device too,
    // within one file system (a rename).
    Status CheckTransfer(const DirHandle& src_dir, const std::string& src_name,
                         const DirHandle& dst_dir, const std::string& dst_name, bool moving);

    FileSystem& base_;
    mutable std::mutex mutex_;
    std::set<std::string> made_;    // paths of the directories "created"
    std::set<std::string> placed_;  // paths that moves which replace nothing "took"
};

}  // namespace tandrel
