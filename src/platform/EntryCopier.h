#pragma once

#include <sys/stat.h>

#include <atomic>
#include <string>

#include "CloneProbe.h"
#include "CopyOptions.h"
#include "DirHandle.h"
#include "StampBatch.h"
#include "Status.h"

namespace tandrel {

// Copies one file or link to a new name the way FileSystem::CopyFile promises: into a
// temporary next to the target, then renamed over it, so the target holds the old entry or
// the whole new one at every moment. Holds a reference to the options, which must outlive it;
// keeps no other state.
class EntryCopier {
  public:
    // With a batch (and batched durability in the options), copies of regular files wait in
    // it for their real time; without one, each is flushed to the disk before its rename.
    // With a clone probe, a volume pair that cannot share blocks is asked once, not per file.
    explicit EntryCopier(const CopyOptions& options, StampBatch* batch = nullptr,
                         CloneProbe* clones = nullptr)
        : options_(options), batch_(batch), clones_(clones) {}

    // FileSystem::CopyFileAt: `src_name` in `src_dir` to `dst_name` in `dst_dir`, each a single
    // name acted on through its directory's descriptor.
    Status Copy(const DirHandle& src_dir, const std::string& src_name, const DirHandle& dst_dir,
                const std::string& dst_name, const std::atomic<bool>* cancel) const;

  private:
    Status CopyRegular(const DirHandle& src_dir, const std::string& src_name,
                       const DirHandle& dst_dir, const std::string& dst_name,
                       const std::atomic<bool>* cancel) const;
    // `st` is the source link's lstat.
    Status CopyLink(const DirHandle& src_dir, const std::string& src_name, const struct stat& st,
                    const DirHandle& dst_dir, const std::string& dst_name) const;

    const CopyOptions& options_;
    StampBatch* batch_;
    CloneProbe* clones_;
};

}  // namespace tandrel
