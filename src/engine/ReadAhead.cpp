#include "ReadAhead.h"

#include <system_error>
#include <utility>

#include "TreeCursor.h"

namespace tandrel {

void ReadAhead::Begin(FileSystem& fs, const DirHandle& srcRoot, const DirHandle* dstRoot,
                      const std::atomic<bool>& cancel) {
    End();
    m_fs = &fs;
    m_srcRoot = &srcRoot;
    m_dstRoot = dstRoot;
    m_cancel = &cancel;
    m_noticed = 0;
    m_waited = 0;
    m_nextSeq = 0;
    m_entered = 0;
    m_read = 0;
    m_stop = false;
    // Only a file system that may be read from several threads at once is read ahead.
    m_begun = fs.ReadsInParallel() && m_settings.threads > 0;
    if (m_begun && m_settings.always) {
        SwitchOn();
    }
}

void ReadAhead::Coming(const std::string& rel) {
    if (!m_begun) {
        return;
    }
    const uint64_t seq = m_nextSeq++;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_queue.size() >= kMaxQueued) {
            return;
        }
        m_queue.push_back(Queued{seq, rel});
    }
    if (m_on) {
        m_cv.notify_one();
    }
}

void ReadAhead::Entering() {
    if (!m_begun) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_entered;
    }
    if (m_on) {
        m_cv.notify_all();  // the window ahead of the walk moved on
    }
}

void ReadAhead::Noticed(Clock::duration took, size_t entries) {
    if (!m_begun || m_on) {
        return;
    }
    ++m_noticed;
    if (took > WaitingAbove(entries)) {
        ++m_waited;
    }
    // One slow read may be a busy machine; two, and at least a quarter of all, are the disk.
    if (m_waited >= 2 && m_waited * 4 >= m_noticed) {
        SwitchOn();
    }
}

void ReadAhead::SwitchOn() {
    m_on = true;
    for (size_t i = 0; i < m_settings.threads; ++i) {
        try {
            m_threads.emplace_back([this] { ThreadMain(); });
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the walk reads what is not read ahead
        }
    }
}

void ReadAhead::End() {
    if (!m_threads.empty()) {
        m_stop = true;
        {
            // Taken so that no thread is between its look at m_stop and its wait.
            std::lock_guard<std::mutex> lock(m_mutex);
        }
        m_cv.notify_all();
        for (std::thread& t : m_threads) {
            t.join();
        }
        m_threads.clear();
    }
    m_queue.clear();
    m_begun = false;
    m_on = false;
    m_fs = nullptr;
    m_srcRoot = nullptr;
    m_dstRoot = nullptr;
    m_cancel = nullptr;
}

bool ReadAhead::Ready() {
    while (!m_queue.empty() && m_queue.front().seq < m_entered) {
        m_queue.pop_front();  // the walk is there already
    }
    return !m_queue.empty() && m_queue.front().seq < m_entered + m_settings.distance;
}

void ReadAhead::ThreadMain() {
    // Each thread keeps the parent of the directory it read last in either tree: in a
    // breadth-first walk the next one is most often its sibling.
    Opened srcParent;
    Opened dstParent;
    for (;;) {
        std::string rel;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cv.wait(lock, [this] { return Stopping() || Ready(); });
            if (Stopping()) {
                return;  // what it opened closes with it
            }
            rel = std::move(m_queue.front().rel);
            m_queue.pop_front();
            ++m_busy;
        }
        ReadBelow(*m_srcRoot, rel, &srcParent);
        if (m_dstRoot != nullptr) {
            ReadBelow(*m_dstRoot, rel, &dstParent);
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_busy;
        }
        m_idle.notify_all();
    }
}

void ReadAhead::WaitUntilIdle() {
    if (!m_on || m_threads.empty()) {
        return;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return m_busy == 0 && (Stopping() || !Ready()); });
}

void ReadAhead::ReadBelow(const DirHandle& root, const std::string& rel, Opened* parent) {
    const auto [parentRel, name] = TreeCursor::SplitRel(rel);
    if (name.empty()) {
        return;
    }
    if (parent->rel != parentRel || (!parentRel.empty() && !parent->dir.valid())) {
        // Down from the root, one level at a time, never through a link.
        parent->dir.Reset();
        parent->rel = parentRel;
        const DirHandle* from = &root;
        DirHandle level;
        for (size_t pos = 0; pos < parentRel.size() && !Stopping();) {
            const size_t slash = parentRel.find('/', pos);
            DirHandle next;
            if (!m_fs->OpenSubdirectory(*from, parentRel.substr(pos, slash - pos), &next).ok()) {
                return;
            }
            level = std::move(next);
            from = &level;
            pos = slash + 1;
        }
        parent->dir = std::move(level);
    }
    const DirHandle& above = parentRel.empty() ? root : parent->dir;
    DirHandle dir;
    DirListing entries;
    if (Stopping() || !m_fs->OpenSubdirectory(above, name, &dir).ok() ||
        !m_fs->ListDirectoryAt(dir, &entries).ok()) {
        return;
    }
    EntryInfo info;
    std::string entryName;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (Stopping()) {
            return;
        }
        entryName.assign(entries.Name(i));
        m_fs->StatAt(dir, entryName, &info);
    }
    ++m_read;
}

}  // namespace tandrel
