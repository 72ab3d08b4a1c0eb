#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace tandrel {

// A fresh directory for one test, made with mkdtemp under $TMPDIR (or /tmp, or a base the
// test names, e.g. /dev/shm to get a second file system), and removed with everything in it
// when the object goes away. Removal never follows a link: a link inside the tree is removed
// as a link, whatever it points at, and directories the test made unreadable are opened up
// first so that they can be emptied.
//
// Every helper takes a path relative to the root ("a/b.txt"); an empty string or "." is the
// root itself. The helpers work on the disk directly, never through a FileSystem, so a test
// can set up and inspect a tree independently of the code under test. A helper that fails
// reports a non-fatal GoogleTest failure naming the path and the reason, and returns an empty
// or zero result, so a broken setup shows up in the test that made it.
//
// Not thread-safe; meant for the test's own thread.
class TempTree {
  public:
    // Creates the directory under `base`; an empty base means $TMPDIR, or /tmp when unset.
    explicit TempTree(const std::string& base = "");
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The root, ending with '/'. Empty when creation failed (a test failure was reported).
    const std::string& root() const { return root_; }
    // root() + rel. Directory paths keep a trailing '/' if `rel` has one.
    std::string Path(std::string_view rel) const;

    // Writes a regular file (replacing any file there) with `contents`, permission bits `mode`
    // (umask does not apply), and, when given, a last-write time in nanoseconds since the
    // epoch. Missing parent directories are not created; use MakeDir.
    void WriteFile(std::string_view rel, std::string_view contents,
                   std::optional<int64_t> mtime_ns = std::nullopt, mode_t mode = 0644);
    // Creates one directory (mode 0755), and any missing parents.
    void MakeDir(std::string_view rel);
    // Creates a symbolic link at `rel` whose target text is `target` (which need not exist).
    void MakeLink(std::string_view rel, std::string_view target);
    // Creates a named pipe at `rel`.
    void MakeFifo(std::string_view rel);

    // Sets the last-write time of the entry at `rel` (a link's own time, not its target's).
    void SetMtime(std::string_view rel, int64_t mtime_ns);
    // Sets the permission bits of the entry at `rel` (links are refused).
    void Chmod(std::string_view rel, mode_t mode);

    // The contents of the regular file at `rel`, read without following a link.
    std::string ReadFile(std::string_view rel) const;
    // The target text of the link at `rel`.
    std::string ReadLink(std::string_view rel) const;
    // The last-write time of the entry at `rel` (a link's own), in nanoseconds.
    int64_t Mtime(std::string_view rel) const;
    // The permission bits of the entry at `rel`.
    mode_t Mode(std::string_view rel) const;
    // True when anything (a dangling link included) is at `rel`.
    bool Exists(std::string_view rel) const;

    // Every entry below the directory `rel`, recursively, without following links, as paths
    // relative to `rel`, marked with their kind the way `ls -F` does:
    //   "a.txt"  regular file        "sub/"  directory
    //   "ln@"    symbolic link       "p|"    anything else (pipe, socket, device)
    // e.g. {"a.txt", "sub/", "sub/b.txt", "sub/ln@"}. Sorted by bytes, as std::set orders.
    std::set<std::string> List(std::string_view rel = "") const;

  private:
    std::string root_;
};

// How many descriptors the process holds open now (the entries of /proc/self/fd, the one used
// to list them included): compared before and after an operation, it shows a leak.
int OpenDescriptors();

}  // namespace tandrel
