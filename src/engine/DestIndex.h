#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "FileSystem.h"

namespace tandrel {

// The destination entries a job has listed and not yet matched, in the order they were listed,
// with an index that finds the first entry equal to a name in that order in O(1) on average.
// Equality is exact, or ignores ASCII case when the destination's file system does; the result
// is always the first equal entry in list order, as a scan from the head would find it.
//
// Each entry also carries its kind as listed (a link is handled as the link itself) and, when
// the listing looked it up, its modification time.
// Worker thread only.
class DestIndex {
  public:
    struct Entry {
        std::string rel;  // path relative to the destination root
        EntryKind kind = EntryKind::kFile;
        std::optional<int64_t> mtime_ns;
    };

    void SetCaseInsensitive(bool caseInsensitive) { m_caseInsensitive = caseInsensitive; }

    void PushBack(std::string rel, EntryKind kind, std::optional<int64_t> mtime_ns = std::nullopt);
    bool Empty() const { return m_entries.empty(); }
    size_t Size() const { return m_entries.size(); }
    // Removes the first entry equal to `rel`; true when there was one. Its time, when known,
    // goes to *mtime_ns, its kind to *kind.
    bool RemoveMatch(std::string_view rel, std::optional<int64_t>* mtime_ns = nullptr,
                     EntryKind* kind = nullptr);
    // The entries in list order.
    const std::list<Entry>& Entries() const { return m_entries; }
    // Takes the head (phase 2 walks the extra entries in list order).
    Entry PopFront();
    void Clear();

  private:
    using Iter = std::list<Entry>::iterator;
    static std::string Fold(std::string_view s);
    bool Equal(std::string_view a, std::string_view b) const;
    void Unindex(Iter it);

    bool m_caseInsensitive = false;
    std::list<Entry> m_entries;
    // Folded name -> the entries with that folded name, in list order.
    std::unordered_map<std::string, std::vector<Iter>> m_index;
};

}  // namespace tandrel
