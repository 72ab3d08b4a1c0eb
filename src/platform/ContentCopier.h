#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "CopyOptions.h"
#include "Status.h"

namespace tandrel {

// Copies the whole contents of one open regular file into another, in chunks of
// options.chunk_bytes, looking at *cancel before each chunk. Holds a reference to the options,
// which must outlive it; keeps no other state.
class ContentCopier {
  public:
    explicit ContentCopier(const CopyOptions& options) : options_(options) {}

    // `in` is open for reading, `out` for writing; both are regular files at offset 0 and
    // `out` is empty. `src` and `dst` are the paths named in errors (read errors name src, write
    // errors dst). Returns Status::Cancelled(dst) when *cancel is set before the copy is complete;
    // the caller removes what was written.
    Status Copy(int in, int out, const std::string& src, const std::string& dst,
                const std::atomic<bool>* cancel) const;

  private:
    // The kernel copy. Sets *fall_back (and returns ok) when copy_file_range cannot serve
    // this pair of files, leaving the offsets where the read/write copy must go on.
    Status CopyInKernel(int in, int out, const std::string& dst, const std::atomic<bool>* cancel,
                        uint64_t* copied, bool* fall_back) const;
    Status CopyThroughBuffer(int in, int out, const std::string& src, const std::string& dst,
                             const std::atomic<bool>* cancel, uint64_t* copied) const;
    bool Cancelled(const std::atomic<bool>* cancel) const {
        return cancel != nullptr && cancel->load(std::memory_order_relaxed);
    }
    void Progress(uint64_t copied) const {
        if (options_.on_chunk) {
            options_.on_chunk(copied);
        }
    }

    const CopyOptions& options_;
};

}  // namespace tandrel
