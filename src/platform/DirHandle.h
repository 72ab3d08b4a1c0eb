#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>
#include <utility>

#include "FileSystem.h"
#include "UniqueFd.h"

namespace tandrel {

// An open directory: its descriptor, its identity, and the path it was opened as (used in
// messages only; no call ever resolves it again). Every *At call of FileSystem acts relative
// to the descriptor, so a directory renamed or swapped for a link after it was opened can no
// longer redirect what is done through it. Move-only; the descriptor is closed with the handle.
//
// Made by FileSystem::OpenDirectory and OpenSubdirectory. Threads: any, one at a time.
class DirHandle {
  public:
    DirHandle() = default;
    DirHandle(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    DirHandle(DirHandle&&) noexcept = default;
    DirHandle& operator=(DirHandle&&) noexcept = default;
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;

    bool valid() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    // The path it was opened as, without a trailing '/' ("/" for the root of the system).
    const std::string& path() const { return path_; }
    // Device and inode of the directory, looked up the first time they are asked for.
    FileId id() const {
        if (!id_known_ && fd_.valid()) {
            struct stat st {};
            if (fstat(fd_.get(), &st) == 0) {
                id_ = FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
                id_known_ = true;
            }
        }
        return id_;
    }
    // path() + '/' + name, for messages.
    std::string PathOf(std::string_view name) const {
        std::string out = path_;
        if (out.empty() || out.back() != '/') {
            out.push_back('/');
        }
        out.append(name);
        return out;
    }
    void Reset() {
        fd_.Reset();
        path_.clear();
        id_ = FileId{};
        id_known_ = false;
    }

  private:
    UniqueFd fd_;
    std::string path_;
    mutable FileId id_;
    mutable bool id_known_ = false;
};

}  // namespace tandrel
