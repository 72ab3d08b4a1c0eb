#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "DirHandle.h"
#include "FileSystem.h"

namespace tandrel {

// Opens the directories of one tree through descriptors: the root once, and every directory
// below it from its parent's descriptor, level by level, never through a link. A directory
// swapped for a link after the walk listed its parent therefore fails to open instead of
// leading outside the tree.
//
// It keeps at most kHeld directories open besides the root, whatever the size or depth of the
// tree: the ones used last, with the levels opened on the way to them. A walk goes directory
// by directory, so the next one is usually the one it is in, or a near relative of one used
// lately, and opens from there with a call or two.
//
// Worker thread only. A pointer returned by Open stays valid until the next call that changes
// the cursor (Open, OpenRoot, Forget, Close).
class TreeCursor {
  public:
    explicit TreeCursor(FileSystem& fs) : m_fs(&fs) { m_held.reserve(kHeld); }
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
    // Holds `dir`, opened by the caller from the directory above it, as the directory `rel`
    // (in place of any held as `rel`), and returns it.
    const DirHandle* Adopt(const std::string& rel, DirHandle dir);
    // Drops the directories held at or below `rel` (after `rel` was removed).
    void Forget(const std::string& rel);
    // Closes everything, the root included.
    void Close();
    // Closes everything and opens through `fs` from then on.
    void UseFileSystem(FileSystem& fs) {
        Close();
        m_fs = &fs;
    }

    // "a/b/" -> {"a/", "b"}; "a/f" -> {"a/", "f"}; "f" -> {"", "f"}.
    static std::pair<std::string, std::string> SplitRel(const std::string& rel);

    static constexpr size_t kHeld = 8;

  private:
    struct Held {
        std::string rel;
        DirHandle dir;
        uint64_t used = 0;  // when it was last asked for
    };

    // Keeps `dir` as the directory `rel`, in place of the one used longest ago when all places
    // are taken.
    const DirHandle* Keep(std::string rel, DirHandle dir);

    FileSystem* m_fs;
    DirHandle m_root;
    std::vector<Held> m_held;  // never more than kHeld, so never reallocated
    uint64_t m_uses = 0;
};

}  // namespace tandrel
