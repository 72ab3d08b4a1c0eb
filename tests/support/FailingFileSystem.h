#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "FileSystem.h"

namespace tandrel {

// A FileSystem that forwards every call to another one (the real disk by default) and fails
// chosen calls on purpose, so that tests can drive the error paths of the code above it:
// an unreadable directory, a full disk during a copy, a rename that is refused.
//
//   FailingFileSystem fs;
//   fs.FailOn(FailingFileSystem::Op::kCopyFile, "/big.bin", Status::Code::kIoError,
//             "No space left on device");
//   fs.FailOn(FailingFileSystem::Op::kListDirectory, "/locked/");
//
// A rule matches when its substring occurs in the path of the call (for CopyFile and MoveFile:
// in the source or the destination path). The calls on open directories count as the path
// calls of the same operation (ListDirectoryAt as kListDirectory, CopyFileAt as kCopyFile, and
// so on) and their path is the directory's path joined with the name, so one rule covers both
// forms; OpenDirectory and OpenSubdirectory are kOpenDirectory. A matching call does not reach the
// wrapped file system; it returns an error with the rule's code and reason, naming the matched
// path. Rules are checked in the order they were added; `times` limits how often a rule fires (then
// it stays in place but no longer matches).
//
// Besides failures it can pretend that the destination lives on a different kind of volume
// (SimulateVolume): GetVolumeInfo then answers with that description, CopyFile stores
// last-write times cut down to its granularity (the way FAT keeps two-second times), and, for
// a case-insensitive volume, every path is looked up ignoring ASCII case, component by
// component, the way such a volume finds "A.TXT" when asked for "a.txt". A name that exists
// exactly is always used as it is.
//
// Threads: calls may come from any thread (the engine's worker); the rules, hook and log are
// guarded by a mutex. Set rules up before the code under test starts. The hook runs on the
// calling thread, outside the lock.
class FailingFileSystem : public FileSystem {
  public:
    enum class Op {
        kListDirectory,
        kStat,
        kCopyFile,
        kMoveFile,
        kDeleteFile,
        kCreateDirectory,
        kRemoveDirectory,
        kMakeReplaceable,
        kGetVolumeInfo,
        kRemoveStaleTemp,
        kCommitCopies,
        kCanonicalPath,
        kLocateDirectory,
        kPathBelow,  // path: the outer directory, path2: the inner one
        kOpenLogFile,
        kLogWrite,       // Append and Flush of a log file it opened; path: the log file
        kOpenDirectory,  // OpenDirectory and OpenSubdirectory
        kSetDirectoryMode,
        kSetFileMode,
        kProbeTime,  // ProbeStoredTime; path: the directory
    };

    // One call as it arrived: `path2` is the destination for CopyFile and MoveFile, the inner
    // directory for PathBelow, else empty.
    struct Call {
        Op op;
        std::string path;
        std::string path2;
    };

    // Runs before every call (failing or not) with the call's operation and paths. A test
    // can set a cancel flag from here, e.g. when CopyFile reaches a chosen file.
    using Hook = std::function<void(const Call&)>;

    explicit FailingFileSystem(FileSystem& base = DefaultFileSystem());

    // Makes calls of `op` whose path contains `path_substring` fail with `code` and `reason`.
    // `times` < 0: every matching call fails; otherwise only the next `times` of them.
    void FailOn(Op op, std::string path_substring, Status::Code code = Status::Code::kIoError,
                std::string reason = "injected failure", int times = -1);
    // Removes every rule.
    void ClearFailures();
    // Replaces the hook (an empty function removes it).
    void SetHook(Hook hook);
    // Makes the wrapped file system look like a volume described by `info` (see above).
    // std::nullopt goes back to passing everything through. With `reported` false the volume
    // behaves so without saying so: GetVolumeInfo answers what the wrapped file system says,
    // the way a volume reached through a layer that hides its type does (exFAT through FUSE).
    void SimulateVolume(std::optional<VolumeInfo> info, bool reported = true);
    // A volume like FAT: names ignore ASCII case, times are kept in steps of two seconds.
    static VolumeInfo FatVolume() { return VolumeInfo{true, 2000000000}; }

    // Whether it says it may be read from two threads at once (every call is guarded, so it
    // may); off by default, so that the engine reads it on one thread.
    void SetReadsInParallel(bool parallel) { parallel_ = parallel; }
    bool ReadsInParallel() const override { return parallel_; }

    // Every call so far, in order, failed ones included.
    std::vector<Call> Calls() const;
    // How many calls of `op` were made.
    int CallCount(Op op) const;
    // How many calls were failed on purpose.
    int InjectedFailures() const;

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
    // With a simulated volume, the copies' times are cut down again once the wrapped file
    // system has given them their real ones.
    Status CommitCopies(bool abandon) override;
    Status CanonicalPath(const std::string& path, std::string* canonical) override;
    Status LocateDirectory(const std::string& path, DirectoryPlace* place) override;
    Status PathBelow(const std::string& outer, const std::string& inner, std::string* rel) override;
    // The file it opens fails its writes by the kLogWrite rules.
    Status OpenLogFile(const std::string& path, std::unique_ptr<LogFile>* log,
                       LogOpenMode mode = LogOpenMode::kEmpty) override;

    Status OpenDirectory(const std::string& path, DirHandle* dir) override;
    Status OpenSubdirectory(const DirHandle& parent, const std::string& name,
                            DirHandle* dir) override;
    // Counts as kOpenDirectory, its path the directory's joined with "..".
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
    // With a simulated volume with coarse times, the time read back is cut down to its step.
    Status ProbeStoredTime(const DirHandle& dir, int64_t mtime_ns, int64_t* stored_ns) override;

  private:
    struct Rule {
        Op op;
        std::string substring;
        Status::Code code;
        std::string reason;
        int remaining;  // < 0: unlimited
    };

    // Logs the call, runs the hook and returns the injected error, or ok to go on.
    Status Enter(Op op, const std::string& path, const std::string& path2 = std::string());
    // With a case-insensitive simulated volume: `path` with each component that does not exist
    // exactly replaced by an existing one equal to it ignoring ASCII case. Otherwise `path`.
    std::string Resolve(const std::string& path);
    // The same for one name in an open directory.
    std::string ResolveAt(const DirHandle& dir, const std::string& name);
    // Cuts the last-write time of `path` down to `step` nanoseconds.
    Status CutTime(const std::string& path, int64_t step);
    // After a copy on a simulated volume with coarse times: cuts the copy's time and notes it
    // for CommitCopies.
    Status AfterCopy(const DirHandle& dir, const std::string& name);
    Status AfterCopyPath(const std::string& real_dst);

    FileSystem& base_;
    mutable std::mutex mutex_;
    std::vector<Rule> rules_;
    std::vector<Call> calls_;
    Hook hook_;
    std::optional<VolumeInfo> volume_;
    bool volume_reported_ = true;
    std::vector<std::string> copied_;  // copies on the simulated volume since the last commit
    int injected_ = 0;
    bool parallel_ = false;
};

}  // namespace tandrel
