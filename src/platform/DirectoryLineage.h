#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "Status.h"
#include "UniqueFd.h"

namespace tandrel {

// Finds every directory that a directory lies inside, by identity (device and inode) rather
// than by spelling: the walk behind FileSystem::LocateDirectory and FileSystem::PathBelow.
//
// From the directory it steps to ".." by descriptor, level by level, up to the root. At the
// root of a mount ".." leads to the mount point's parent, which for a bind mount is not the
// directory's own parent; so wherever a directory is the root of the mount it was reached
// through, the walk also goes on from where the same directory is visible through the other
// mounts of its file system (found in /proc/self/mountinfo, each place checked by identity),
// and wherever a directory is shown as the root of some mount, from that mount's point too.
// Without a readable mountinfo the walk keeps to "..".
//
// One object per walk; not thread-safe. It keeps one descriptor open per directory found.
class DirectoryLineage {
  public:
    // Walks from `path`: its levels are opened one by one, links followed as the kernel
    // would; the first level that cannot be opened as a directory and everything after it
    // are the missing levels ("." dropped, ".." taking back the level before it), and the walk
    // starts from the deepest level that exists. Relative paths start at the current directory.
    Status Walk(const std::string& path);

    // The deepest existing level of the walked path.
    const FileId& id() const { return nodes_.front().id; }
    // The levels below it that do not exist.
    const std::vector<std::string>& missing() const { return missing_; }
    // Every directory the deepest existing level lies inside (not the level itself), once each.
    std::vector<FileId> Ancestors() const;
    // When the directory `outer` is one of Ancestors() or the level itself, the path from it
    // down to the walked path by the names of the levels in between, missing levels included
    // ("a/b", or "" for the level itself without missing levels); otherwise "" with `found`
    // false. Fails when a name cannot be read back from its directory.
    Status PathFrom(const FileId& outer, std::string* rel, bool* found) const;

  private:
    struct Node {
        UniqueFd fd;  // O_PATH descriptor of the directory
        FileId id;
        uint64_t mount = 0;  // id of the mount it was reached through (0: not known)
        int from = -1;       // the node this one was reached from
        bool up = false;     // reached by ".." (else: the same directory in another mount)
        std::string name;    // with `up` across a mount root: the name of the mount point
    };

    // Adds `fd` as a new node unless that directory was already reached through that mount.
    // False when the walk has grown beyond any sensible size.
    bool Add(UniqueFd fd, int from, bool up, std::string name, Status* error);
    // The name under which `child` appears in `parent` (parent reached by ".." from child).
    Status NameIn(const Node& parent, const Node& child, std::string* name) const;

    std::string path_;
    std::vector<Node> nodes_;
    std::vector<std::string> missing_;
};

}  // namespace tandrel
