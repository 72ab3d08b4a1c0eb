#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

#include "DirHandle.h"
#include "DirListing.h"
#include "FileSystem.h"
#include "LookUpTimes.h"
#include "SideThread.h"
#include "Status.h"

namespace tandrel {

// The directory the walk enters next, read on the side thread while the walk works through the
// one before it, so that two directories of a tree are read at once. It is read through
// descriptors of its own (opened by the walk from the parents it holds, never through a link),
// both listings are made and the times of their files and links looked up; the walk takes the
// descriptors and listings over when it enters the directory. Reading is all it does: nothing
// is decided on it before the walk takes it, and the walk acts through the very descriptors
// that were listed.
//
// Owner thread only (the walk's); the side thread runs only the task Start gives it.
class NextDirectory {
  public:
    using Clock = std::chrono::steady_clock;

    NextDirectory() = default;
    NextDirectory(const NextDirectory&) = delete;
    NextDirectory& operator=(const NextDirectory&) = delete;

    // Starts reading the directory `rel` through `src` and, when valid, `dst` on `side`. False,
    // with nothing held, when the side thread cannot take it.
    bool Start(SideThread& side, FileSystem& fs, std::string rel, DirHandle src, DirHandle dst,
               const std::atomic<bool>& cancel);
    bool Running() const { return m_running; }
    const std::string& Rel() const { return m_rel; }

    // Waits for the reading started last, helping with its look-ups once both listings are
    // made. True when the source was listed: its descriptors, listings and outcome are then
    // the caller's to take (the destination's are there when DestRead() is ok).
    bool Finish(SideThread& side);
    // Waits for any reading and forgets it (a stop, or the end of a job).
    void Drop(SideThread& side);

    DirHandle& Source() { return m_src; }
    DirHandle& Dest() { return m_dst; }
    DirListing& SourceListing() { return m_srcListing; }
    DirListing& DestListing() { return m_dstListing; }
    const Status& DestRead() const { return m_dstRead; }
    // How long the side thread took to list and look up.
    Clock::duration Took() const { return m_took; }

  private:
    void Read(FileSystem& fs, const std::atomic<bool>& cancel);
    void Reset();

    std::string m_rel;
    bool m_running = false;
    DirHandle m_src;
    DirHandle m_dst;
    DirListing m_srcListing;
    DirListing m_dstListing;
    Status m_srcRead;
    Status m_dstRead;
    Clock::duration m_took{};
    // Open once the listings are made and the look-ups below may be shared.
    ListingsMade m_listed;
    std::optional<SharedLookUp> m_srcLookUp;
    std::optional<SharedLookUp> m_dstLookUp;
};

}  // namespace tandrel
