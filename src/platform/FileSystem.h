#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DirListing.h"
#include "LogFile.h"
#include "Status.h"

namespace tandrel {

class DirHandle;

struct DirEntry {
    std::string name;  // bytes as the directory stores them, never "." or ".."
    EntryKind kind = EntryKind::kOther;
    // Listings leave it empty; a caller that looks the entry up may note its time here.
    std::optional<int64_t> mtime_ns;
};

// The identity of an entry on the system: its device and inode. Two names with the same identity
// are one entry (hard links, two spellings, a bind mount), whatever their paths say.
struct FileId {
    uint64_t dev = 0;
    uint64_t ino = 0;
    bool operator==(const FileId&) const = default;
};

struct EntryInfo {
    EntryKind kind = EntryKind::kOther;
    int64_t mtime_ns = 0;  // last-write time, nanoseconds since the epoch
    mode_t mode = 0;       // permission bits only
    uint64_t size = 0;
    FileId id;
};

// What the engine needs to know about the file system a destination lives on.
struct VolumeInfo {
    // Names that differ only in ASCII case name the same entry (FAT, exFAT, SMB, case-folding
    // directories).
    bool case_insensitive = false;
    // The coarsest step of last-write times it stores (FAT: two seconds).
    int64_t time_granularity_ns = 1;
};

// Where a directory lies, told by identity rather than by spelling (FileSystem::LocateDirectory).
struct DirectoryPlace {
    // The deepest level of the path that exists.
    FileId id;
    // Every directory that level lies inside, through any mount, each once; not `id` itself.
    std::vector<FileId> ancestors;
    // The levels below it that do not exist (yet), as written, "." and ".." folded.
    std::vector<std::string> missing;
};

// The engine's only way to the disk: the walk, the checks made before a run (is a directory
// usable, do two trees overlap) and the run log. Every path is a full path of bytes; a
// directory path may end with '/'. No call of the walk follows a link at the last component of
// a path it is given; the engine makes sure it never builds a path through a link inside a tree
// it works on. The calls for the roots and the log file (CanonicalPath, LocateDirectory,
// PathBelow, OpenLogFile) do follow links, since a root or log name the user gave may be one.
//
// Every call is safe to make from any thread. An implementation may keep state between calls
// (the POSIX one keeps the batch of copies waiting for their real times, see CommitCopies),
// guarded so that this stays true. A failed call returns a Status that names the path
// concerned and the reason.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Whether ListDirectoryAt and StatAt may be called from two threads at once, each thread on
    // directory handles of its own. A file system that keeps state across calls says no.
    virtual bool ReadsInParallel() const { return false; }

    // The entries of `dir` other than "." and "..", sorted by the bytes of their names so that
    // runs are repeatable. The kind comes from the directory listing where it gives one, from
    // lstat otherwise. Fails (and fills nothing) when `dir` is missing, is a link, is not a
    // directory or cannot be read.
    virtual Status ListDirectory(const std::string& dir, std::vector<DirEntry>* entries) = 0;
    // Whether ListDirectory of `dir` would succeed, found out without reading more of the
    // directory than its first entries where the file system allows (a directory of a
    // million entries is checked as fast as an empty one).
    virtual Status ProbeDirectory(const std::string& dir) {
        std::vector<DirEntry> entries;
        return ListDirectory(dir, &entries);
    }

    // Looks `path` up without following a link at its end.
    virtual Status Stat(const std::string& path, EntryInfo* info) = 0;

    // Copies `src` to `dst`. A regular file gets its contents, permission bits and last-write
    // time; a link is copied as a link with the same target text and its own last-write time.
    // Any other kind (pipe, socket, device) fails with kUnsupported and is never opened.
    // The copy is written to a temporary file in dst's directory (see MakeTempName) and renamed
    // over dst only when complete, so dst holds the old file or the whole new one at every
    // moment. An existing file or link at dst is replaced; a directory at dst fails.
    // When *cancel becomes true the copy stops, the temporary is removed, and the result is
    // Status::Cancelled; `cancel` may be null.
    virtual Status CopyFile(const std::string& src, const std::string& dst,
                            const std::atomic<bool>* cancel) = 0;

    // Renames `src` (a file, link or other non-directory) to `dst`, replacing a file or link
    // there; a directory at dst fails. Across file systems it is CopyFile then DeleteFile of
    // src; if that delete fails, the entry exists in both places and the result says so.
    virtual Status MoveFile(const std::string& src, const std::string& dst,
                            const std::atomic<bool>* cancel) = 0;

    // Removes a file, link or other non-directory. Refuses a directory.
    virtual Status DeleteFile(const std::string& path) = 0;

    // Creates one directory level. Fails with kExists when anything is already at `path`.
    virtual Status CreateDirectory(const std::string& path) = 0;

    // Removes an empty directory (never a link, never anything with content).
    virtual Status RemoveDirectory(const std::string& path) = 0;

    // Makes a regular file at `path` writable by its owner so that it can be replaced or
    // deleted. A link, a missing entry or a file already writable: nothing to do, ok.
    virtual Status MakeReplaceable(const std::string& path) = 0;

    // Tells how the file system holding the directory `dir` compares names and stores times.
    virtual Status GetVolumeInfo(const std::string& dir, VolumeInfo* info) = 0;

    // Copies of regular files may be renamed into place before their contents are known to be
    // on the disk; until then they carry a placeholder time older than any real one, so that
    // after a power cut a later run sees them as out of date. CommitCopies flushes the volumes
    // they live on and gives them their real last-write times (the run does so at the end of
    // every job, a stopped one included). With `abandon` it does not wait for the disk: the
    // waiting copies keep the placeholder and the next run copies them again. Returns the first
    // failure to flush or stamp since the last call; the copies concerned keep the placeholder.
    virtual Status CommitCopies(bool abandon) = 0;

    // Removes a temporary left behind by a copy that was killed. `path` must name an entry
    // for which IsStaleTempName is true; anything else is refused with kInvalid.
    virtual Status RemoveStaleTemp(const std::string& path) = 0;

    // The directory `path` names with every link resolved (a root given as a link is the
    // user's own choice), as an absolute path without a trailing '/'. Levels that do not exist
    // are appended to the deepest existing one as written ("." and ".." folded); a relative
    // path starts at the current directory. Fails only when not even that can be worked out.
    virtual Status CanonicalPath(const std::string& path, std::string* canonical) = 0;

    // Tells where the directory `path` lies by identity: links in it followed, the deepest
    // level that exists, every directory that level lies inside, however it is reached (a
    // bind mount shows a directory in a second place; its parents in every place count), and
    // the levels below it that do not exist yet. Fails when the directories above the level
    // cannot be looked up.
    virtual Status LocateDirectory(const std::string& path, DirectoryPlace* place) = 0;

    // When the directory `inner` lies strictly inside the directory `outer`, decided as
    // LocateDirectory decides it, sets `rel` to the path of `inner` below `outer` by the names
    // a walk down from `outer` meets ("bin", "a/b"; levels of `inner` that do not exist yet
    // included as written); otherwise, the same directory included, sets it empty. Links in
    // both are followed.
    virtual Status PathBelow(const std::string& outer, const std::string& inner,
                             std::string* rel) = 0;

    // Opens the log file `path` for a run and empties it, or with kAppend keeps what it holds
    // and writes after it. Only a regular file, or a name where nothing is yet (a new file is
    // made), is taken; anything else (a pipe, a device, a directory) is refused without being
    // waited for or changed. A link to a regular file is followed. On success `*log` is the
    // open file.
    virtual Status OpenLogFile(const std::string& path, std::unique_ptr<LogFile>* log,
                               LogOpenMode mode = LogOpenMode::kEmpty) = 0;

    // Working through open directories. A walk opens the root of a tree once and every
    // directory below it from its parent's descriptor, and acts on entries by name relative to
    // the descriptor of their directory: a directory renamed or swapped for a link meanwhile
    // can then never lead outside the tree. `name` is always one component (no '/'), never
    // "." or ".."; messages name dir.PathOf(name). Each call does what its path form above
    // does, and the path forms remain for callers that hold no handle.

    // Opens the directory `path` as the root of a walk. Links on the way, a link at the end
    // included, are followed: a root given as a link is the user's choice. Fails when nothing
    // or no directory is there, or it cannot be opened.
    virtual Status OpenDirectory(const std::string& path, DirHandle* dir) = 0;
    // Opens the directory `name` in `parent`, never following a link: a link there fails with
    // kNotDirectory. A directory that cannot be read still opens (for the *At calls below) when
    // it can be passed through; listing it then fails.
    virtual Status OpenSubdirectory(const DirHandle& parent, const std::string& name,
                                    DirHandle* dir) = 0;
    // Opens the directory that holds the open directory `dir` now (its ".."), which is never a
    // link. It need not be the one `dir` was opened from: a directory moved since then has
    // another, so a caller that cares compares identities. A file system that cannot tell
    // answers kUnsupported, and the caller opens the parent by its names instead.
    virtual Status OpenContainingDirectory(const DirHandle& dir, DirHandle* parent);
    // ListDirectory of the directory `dir` itself, into the compact `listing` (emptied first;
    // left empty on failure). Sorted the same way, with no times.
    virtual Status ListDirectoryAt(const DirHandle& dir, DirListing* listing) = 0;
    // Stat of `name` in `dir`; an empty name looks up `dir` itself.
    virtual Status StatAt(const DirHandle& dir, const std::string& name, EntryInfo* info) = 0;
    // CopyFile from `src_name` in `src_dir` to `dst_name` in `dst_dir`; the temporary lives in
    // dst_dir.
    virtual Status CopyFileAt(const DirHandle& src_dir, const std::string& src_name,
                              const DirHandle& dst_dir, const std::string& dst_name,
                              const std::atomic<bool>* cancel) = 0;
    // MoveFile between two open directories; across file systems the copy goes into dst_dir
    // and src_name is then removed from src_dir.
    virtual Status MoveFileAt(const DirHandle& src_dir, const std::string& src_name,
                              const DirHandle& dst_dir, const std::string& dst_name,
                              const std::atomic<bool>* cancel) = 0;
    // MoveFileAt that never replaces anything (a move into a recycle directory): when
    // `dst_name` is taken in dst_dir, by whatever kind of entry, the entry gets the first free
    // name of NumberedName(dst_name, 1), NumberedName(dst_name, 2), ... there instead. Each name
    // is taken atomically, by a rename that refuses an existing target or, where the file
    // system has none, by a new hard link and then the removal of the old name; across file
    // systems the copy is made under a temporary name first and then placed the same way. So
    // nothing is replaced, not even what another program puts there meanwhile. *placed_name is
    // the name the entry got.
    virtual Status MoveNoReplaceAt(const DirHandle& src_dir, const std::string& src_name,
                                   const DirHandle& dst_dir, const std::string& dst_name,
                                   std::string* placed_name, const std::atomic<bool>* cancel) = 0;
    virtual Status DeleteFileAt(const DirHandle& dir, const std::string& name) = 0;
    // Creates the directory `name` in `dir` with permission bits `mode` (the process's umask
    // applies, as with mkdir). Fails with kExists when anything is already there.
    virtual Status CreateDirectoryAt(const DirHandle& dir, const std::string& name,
                                     mode_t mode) = 0;
    virtual Status RemoveDirectoryAt(const DirHandle& dir, const std::string& name) = 0;
    // Sets the permission bits of the open directory `dir` itself to `mode` exactly (no umask).
    virtual Status SetDirectoryMode(const DirHandle& dir, mode_t mode) = 0;
    virtual Status MakeReplaceableAt(const DirHandle& dir, const std::string& name) = 0;
    // Sets the permission bits of the regular file `name` in `dir` to `mode` exactly (what
    // MakeReplaceableAt took away is put back this way when the operation it was for failed).
    // A link is never changed, nor its target: it fails with kUnsupported.
    virtual Status SetFileModeAt(const DirHandle& dir, const std::string& name, mode_t mode) = 0;
    virtual Status RemoveStaleTempAt(const DirHandle& dir, const std::string& name) = 0;
    // Asks the volume of `dir` how it keeps last-write times: writes an empty temporary (see
    // MakeTempName) in `dir`, gives it the time `mtime_ns`, reads back into *stored_ns the
    // time the volume kept, and removes it. A file system that writes nothing answers
    // kUnsupported.
    virtual Status ProbeStoredTime(const DirHandle& dir, int64_t mtime_ns, int64_t* stored_ns);
};

// The process-wide POSIX implementation.
FileSystem& DefaultFileSystem();

// Name of a new temporary for a copy into some directory: ".tandrel-<pid>-<unique>.tmp", where
// <pid> is this process's id in decimal and <unique> 16 lower-case hex digits that no other
// call in this process returns. The leading "." keeps it out of every walk. Thread-safe.
std::string MakeTempName();

// The n-th name beside `name` for an entry that must not replace it, the way numbered backups
// are named: "notes.txt.~1~", "notes.txt.~2~", ...; `name` itself for 0.
std::string NumberedName(const std::string& name, unsigned n);

// True when `name` (a last path component) has exactly the form MakeTempName gives and the
// process that made it no longer exists (so no copy can still be writing it). Temporaries of
// living processes, this one included, are never stale; neither is a pid that belongs to
// another user's process (kill gives EPERM, not ESRCH).
bool IsStaleTempName(std::string_view name);

}  // namespace tandrel
