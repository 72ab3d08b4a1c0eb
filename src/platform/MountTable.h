#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tandrel {

// The mounts this process sees, as /proc/self/mountinfo lists them. The identity walk of the
// file-system layer uses it to step across the roots of bind mounts, where ".." leads to the
// mount point's parent rather than to the directory's own.
//
// Not thread-safe; each walk reads its own copy.
class MountTable {
  public:
    struct Mount {
        uint64_t id = 0;          // the mount's id (statx reports it as stx_mnt_id)
        std::string device;       // "major:minor" of the file system it shows
        std::string root;         // the directory of that file system shown at the mount point
        std::string mount_point;  // where it is shown, as an absolute path
    };

    // Reads /proc/self/mountinfo. False (with an empty table) when it cannot be read.
    bool Load();
    // Parses the text of a mountinfo file; lines that do not have the expected fields are left
    // out. Paths have their octal escapes ("\040" for a blank) turned back into bytes.
    void Parse(std::string_view text);

    const std::vector<Mount>& mounts() const { return mounts_; }
    // The mount with this id, or null.
    const Mount* Find(uint64_t id) const;

  private:
    std::vector<Mount> mounts_;
};

}  // namespace tandrel
