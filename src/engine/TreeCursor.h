#pragma once

#include <string>
#include <utility>

#include "DirHandle.h"
#include "FileSystem.h"

namespace tandrel {

// Opens the directories of one tree through descriptors: the root once, and every directory
// below it from its parent's descriptor, level by level, never through a link. A directory
// swapped for a link after the walk listed its parent therefore fails to open instead of
// leading outside the tree.
//
// It keeps at most three directories open (the root, the directory opened last and that
// directory's parent), whatever the size or depth of the tree: a walk goes directory by
// directory, so the next directory is usually the one it is in, a child of it, or a sibling.
//
// Worker thread only. A pointer returned by Open stays valid until the next call that changes
// the cursor (Open, OpenRoot, Forget, Close).
class TreeCursor {
  public:
    explicit TreeCursor(FileSystem& fs) : m_fs(fs) {}
    TreeCursor(const TreeCursor&) = delete;
    TreeCursor& operator=(const TreeCursor&) = delete;

    // Opens the root (a link there is followed: the root is the user's choice), closing
    // whatever was open before.
    Status OpenRoot(const std::string& path);
    bool HasRoot() const { return m_root.valid(); }
    // The directory `rel` (relative to the root, ending with '/'; empty for the root), or
    // nullptr when it, or a level above it, cannot be opened as a real directory; *error (when
    // given) then says why.
    const DirHandle* Open(const std::string& rel, Status* error = nullptr);
    // Drops the directories held at or below `rel` (after `rel` was removed).
    void Forget(const std::string& rel);
    // Closes everything, the root included.
    void Close();

    // "a/b/" -> {"a/", "b"}; "a/f" -> {"a/", "f"}; "f" -> {"", "f"}.
    static std::pair<std::string, std::string> SplitRel(const std::string& rel);

  private:
    struct Held {
        std::string rel;
        DirHandle dir;
    };

    FileSystem& m_fs;
    DirHandle m_root;
    Held m_current;
    Held m_parent;  // the parent of m_current when that is not the root
};

}  // namespace tandrel
