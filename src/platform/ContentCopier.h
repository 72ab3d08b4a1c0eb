#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CloneProbe.h"
#include "CopyOptions.h"
#include "Status.h"

namespace tandrel {

// Copies the whole contents of one open regular file into another, in chunks of
// options.chunk_bytes, looking at *cancel before each chunk. A sparse source (one that takes
// less room on the disk than its length) is copied region by region: only its data is read and
// written, so its holes stay holes in the copy. Holds a reference to the options, which must
// outlive it. One object serves one copy, on one thread.
class ContentCopier {
  public:
    // `clones`, when given, tells which volume pairs are not worth a clone and learns them.
    explicit ContentCopier(const CopyOptions& options, CloneProbe* clones = nullptr)
        : options_(options), clones_(clones) {}

    // `in` is open for reading, `out` for writing; both are regular files at offset 0 and
    // `out` is empty. `in_st` is fstat of `in`, `out_dev` the device `out` lies on. `src` and
    // `dst` are the paths named in errors (read errors name src, write errors dst). Returns
    // Status::Cancelled(dst) when *cancel is set before the copy is complete; the caller
    // removes what was written.
    Status Copy(int in, int out, const struct stat& in_st, dev_t out_dev, const std::string& src,
                const std::string& dst, const std::atomic<bool>* cancel);

  private:
    // Copies the data regions of `in` to the same offsets of `out` and gives `out` the length
    // of `in`; what lies between them is left unwritten.
    Status CopySparse(int in, int out, const std::string& src, const std::string& dst,
                      const std::atomic<bool>* cancel, bool* fall_back);
    // Copies up to `limit` bytes from the current offset of `in` to the current offset of
    // `out`, fewer when the end of `in` comes first; kernel copy first, where allowed.
    Status CopyStream(int in, int out, uint64_t limit, const std::string& src,
                      const std::string& dst, const std::atomic<bool>* cancel);
    // The kernel copy. Sets *fall_back (and returns ok) when copy_file_range cannot serve
    // this pair of files, leaving the offsets where the read/write copy must go on.
    Status CopyInKernel(int in, int out, uint64_t limit, const std::string& dst,
                        const std::atomic<bool>* cancel, uint64_t* done, bool* fall_back);
    Status CopyThroughBuffer(int in, int out, uint64_t limit, const std::string& src,
                             const std::string& dst, const std::atomic<bool>* cancel);
    bool Cancelled(const std::atomic<bool>* cancel) const {
        return cancel != nullptr && cancel->load(std::memory_order_relaxed);
    }
    void Progress(uint64_t bytes) {
        copied_ += bytes;
        if (options_.on_chunk) {
            options_.on_chunk(copied_);
        }
    }

    const CopyOptions& options_;
    CloneProbe* clones_;
    uint64_t copied_ = 0;         // bytes copied so far, for on_chunk
    bool kernel_failed_ = false;  // copy_file_range could not serve these files
    std::vector<char> buffer_;    // made on first use
};

}  // namespace tandrel
