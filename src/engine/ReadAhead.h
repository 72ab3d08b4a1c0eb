#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DirHandle.h"
#include "FileSystem.h"

namespace tandrel {

// Reads the directories a walk is about to enter ahead of it, on a few threads of its own, so
// that on a cold cache (a disk whose blocks are not in memory yet) several reads wait at the
// disk at once instead of one after the other. It lists each coming directory of both trees
// and looks up every entry listed, and keeps nothing: the walk lists and looks up again itself
// and finds the blocks and inodes in the system's caches. Nothing it reads decides anything.
//
// It stays off while the walk's own reads come from the cache, so a warm tree pays for a clock
// reading per directory and nothing more; it switches on once the walk's reads wait for the
// disk (Noticed), and then stays at most `distance` directories ahead of the walk. Directories
// are opened from the roots' descriptors level by level, never through a link
// (FileSystem::OpenSubdirectory), so it reads only below the roots; a directory swapped for a
// link fails to open and is passed over.
//
// Owner thread only (the walk's): Begin, Coming, Entering, Noticed, End and the destructor.
// The reading threads are started when it switches on and joined by End.
class ReadAhead {
  public:
    struct Settings {
        size_t threads = 2;    // reading threads once it is on
        size_t distance = 32;  // directories read ahead of the one the walk is in, at most
        // On from the start of each job, whatever the reads take (tests, which have no slow
        // disk). It still reads only through a file system that may be read from two threads.
        bool always = false;
    };
    using Clock = std::chrono::steady_clock;

    ReadAhead() = default;
    ~ReadAhead() { End(); }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Takes effect with the next job.
    void SetSettings(const Settings& settings) { m_settings = settings; }

    // A job begins. Directories are opened from `srcRoot` and `dstRoot` (null: the source only),
    // which stay open until End; reading stops between two entries once `cancel` is set.
    void Begin(FileSystem& fs, const DirHandle& srcRoot, const DirHandle* dstRoot,
               const std::atomic<bool>& cancel);
    // The directory `rel` (relative to the roots, ending with '/') will be entered, after all
    // the ones named before it.
    void Coming(const std::string& rel);
    // The walk enters the next directory named by Coming: it is read by the walk itself, and
    // the ones before it are no longer read ahead.
    void Entering();
    // The walk read a directory: its listings and the look-ups of `entries` entries took
    // `took`. Reads far slower than the cache gives switch the reading ahead on.
    void Noticed(Clock::duration took, size_t entries);
    // Ends the job's reading: the threads stop between two entries and are joined, and every
    // directory they opened is closed. Harmless when nothing was begun.
    void End();

    // Calls End when it goes out of scope.
    class Ending {
      public:
        explicit Ending(ReadAhead& readAhead) : m_readAhead(readAhead) {}
        ~Ending() { m_readAhead.End(); }
        Ending(const Ending&) = delete;
        Ending& operator=(const Ending&) = delete;

      private:
        ReadAhead& m_readAhead;
    };

    bool On() const { return m_on; }
    // Returns once every directory within reach has been read and no thread is reading, or
    // at once when it is off (tests: what was read ahead is then known).
    void WaitUntilIdle();
    // Directories (of either tree) read ahead in this job so far.
    size_t DirectoriesRead() const { return m_read.load(); }

    // A read of `entries` entries that took longer than this waited for the disk: a look-up
    // from the cache takes about a microsecond, one from the disk ten times that or more.
    static Clock::duration WaitingAbove(size_t entries) {
        return std::chrono::microseconds(250) + std::chrono::microseconds(3) * entries;
    }
    // At most this many coming directories are remembered; later ones are not read ahead.
    static constexpr size_t kMaxQueued = 4096;

  private:
    struct Queued {
        uint64_t seq;
        std::string rel;
    };
    // A directory a reading thread opened last, kept so that its siblings open with one call.
    struct Opened {
        std::string rel;
        DirHandle dir;
    };

    void SwitchOn();
    void ThreadMain();
    // Whether the front of the queue may be read now (the ones passed by the walk dropped).
    bool Ready();
    void ReadBelow(const DirHandle& root, const std::string& rel, Opened* parent);
    bool Stopping() const {
        return m_stop.load(std::memory_order_relaxed) ||
               (m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed));
    }

    Settings m_settings;
    FileSystem* m_fs = nullptr;
    const DirHandle* m_srcRoot = nullptr;
    const DirHandle* m_dstRoot = nullptr;
    const std::atomic<bool>* m_cancel = nullptr;
    bool m_begun = false;
    bool m_on = false;
    size_t m_noticed = 0;
    size_t m_waited = 0;

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::condition_variable m_idle;
    size_t m_busy = 0;           // guarded: threads reading a directory
    std::deque<Queued> m_queue;  // guarded by m_mutex
    uint64_t m_nextSeq = 0;      // owner thread only
    uint64_t m_entered = 0;      // guarded: directories the walk has entered
    std::atomic<bool> m_stop{false};
    std::atomic<size_t> m_read{0};
    std::vector<std::thread> m_threads;
};

}  // namespace tandrel
