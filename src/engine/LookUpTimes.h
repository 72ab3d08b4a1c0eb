#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <string>

#include "DirHandle.h"
#include "DirListing.h"
#include "FileSystem.h"
#include "PathText.h"

namespace tandrel {

// Notes the time of each file and link of a listing that the walk will compare. One that
// cannot be looked up, or is no longer what the listing said, keeps none: it is looked up
// again when compared.
// Stops early when `cancel` is set: the run is being stopped, and a large directory on a slow
// disk must not hold that up.
// Only the records of entries [begin, end) are written: another thread may note the others.
inline void LookUpTimes(FileSystem& fs, const DirHandle& dir, DirListing* listing, size_t begin,
                        size_t end, const std::atomic<bool>& cancel) {
    EntryInfo info;
    std::string name;
    for (size_t i = begin; i != end && !cancel.load(std::memory_order_relaxed); ++i) {
        const EntryKind kind = listing->Kind(i);
        if (kind != EntryKind::kFile && kind != EntryKind::kLink) {
            continue;
        }
        name.assign(listing->Name(i));
        if (!StartsWithDot(name) && fs.StatAt(dir, name, &info).ok() && info.kind == kind) {
            listing->SetTime(i, info.mtime_ns);
        }
    }
}

// Looks up the times of `entries` in slices handed out to whichever thread asks next, so that
// two threads calling it share the work however it falls.
class SharedLookUp {
  public:
    SharedLookUp(FileSystem& fs, const DirHandle& dir, DirListing* entries,
                 const std::atomic<bool>& cancel)
        : m_fs(fs), m_dir(dir), m_entries(*entries), m_cancel(cancel) {}
    void Work() {
        constexpr size_t kSlice = 32;
        for (;;) {
            const size_t begin = m_next.fetch_add(kSlice, std::memory_order_relaxed);
            if (begin >= m_entries.size()) {
                return;
            }
            const size_t end = std::min(begin + kSlice, m_entries.size());
            LookUpTimes(m_fs, m_dir, &m_entries, begin, end, m_cancel);
        }
    }

  private:
    FileSystem& m_fs;
    const DirHandle& m_dir;
    DirListing& m_entries;
    const std::atomic<bool>& m_cancel;
    std::atomic<size_t> m_next{0};
};

// A gate that opens once: a thread that must not look up before the listings are made waits
// for it, and the thread making them opens it (OpensAtExit: however its scope is left, so that
// no one waits for ever).
class ListingsMade {
  public:
    void Open() {
        m_open.store(1, std::memory_order_release);
        m_open.notify_all();
    }
    void Wait() const { m_open.wait(0, std::memory_order_acquire); }
    void Close() { m_open.store(0, std::memory_order_relaxed); }

    class OpensAtExit {
      public:
        explicit OpensAtExit(ListingsMade& gate) : m_gate(gate) {}
        ~OpensAtExit() { m_gate.Open(); }
        OpensAtExit(const OpensAtExit&) = delete;
        OpensAtExit& operator=(const OpensAtExit&) = delete;

      private:
        ListingsMade& m_gate;
    };

  private:
    std::atomic<int> m_open{0};
};

}  // namespace tandrel
