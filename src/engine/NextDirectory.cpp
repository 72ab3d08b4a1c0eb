#include "NextDirectory.h"

#include <utility>

namespace tandrel {

bool NextDirectory::Start(SideThread& side, FileSystem& fs, std::string rel, DirHandle src,
                          DirHandle dst, const std::atomic<bool>& cancel) {
    Drop(side);
    m_rel = std::move(rel);
    m_src = std::move(src);
    m_dst = std::move(dst);
    m_listed.Close();
    m_running = side.Run([this, &fs, &cancel] { Read(fs, cancel); });
    if (!m_running) {
        Reset();
    }
    return m_running;
}

void NextDirectory::Read(FileSystem& fs, const std::atomic<bool>& cancel) {
    const Clock::time_point start = Clock::now();
    {
        // Whatever happens, the owner waiting for the listings is let go.
        const ListingsMade::OpensAtExit listed(m_listed);
        m_srcRead = fs.ListDirectoryAt(m_src, &m_srcListing);
        if (!m_srcRead.ok()) {
            return;
        }
        m_dstRead = m_dst.valid() ? fs.ListDirectoryAt(m_dst, &m_dstListing)
                                  : Status::Error(Status::Code::kNotFound, m_rel, "not read ahead");
        m_srcLookUp.emplace(fs, m_src, &m_srcListing, cancel);
        if (m_dstRead.ok()) {
            m_dstLookUp.emplace(fs, m_dst, &m_dstListing, cancel);
        }
    }
    if (m_dstLookUp) {
        m_dstLookUp->Work();
    }
    m_srcLookUp->Work();
    m_took = Clock::now() - start;
}

bool NextDirectory::Finish(SideThread& side) {
    if (!m_running) {
        return false;
    }
    m_listed.Wait();
    // The side thread may still be looking up: take slices of the same work.
    if (m_srcLookUp) {
        m_srcLookUp->Work();
    }
    if (m_dstLookUp) {
        m_dstLookUp->Work();
    }
    side.Wait();
    m_running = false;
    m_srcLookUp.reset();
    m_dstLookUp.reset();
    return m_srcRead.ok();
}

void NextDirectory::Drop(SideThread& side) {
    if (m_running) {
        side.Wait();
        m_running = false;
    }
    Reset();
}

void NextDirectory::Reset() {
    m_rel.clear();
    m_src.Reset();
    m_dst.Reset();
    m_srcListing.Clear();
    m_dstListing.Clear();
    m_srcRead = Status();
    m_dstRead = Status();
    m_took = Clock::duration{};
    m_srcLookUp.reset();
    m_dstLookUp.reset();
}

}  // namespace tandrel
