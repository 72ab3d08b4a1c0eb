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
    // What `dir` of an entry is when `rel` is relative to the destination root.
    static constexpr size_t kRoot = SIZE_MAX;

    struct Entry {
        std::string rel;  // path relative to the destination root, or to `dir`
        EntryKind kind = EntryKind::kFile;
        std::optional<int64_t> mtime_ns;
        // kRoot, or the number the caller gave the directory the entry was listed in. Such an
        // entry is never matched (it is below a directory the source does not have), so it is
        // left out of the index.
        size_t dir = kRoot;
    };

    void SetCaseInsensitive(bool caseInsensitive) { m_caseInsensitive = caseInsensitive; }

    void PushBack(std::string rel, EntryKind kind, std::optional<int64_t> mtime_ns = std::nullopt,
                  size_t dir = kRoot);
    bool Empty() const { return m_entries.empty(); }
    size_t Size() const { return m_entries.size(); }
    // Removes the first entry equal to `rel` (relative to the root); true when there was one. Its
    // time, when known, goes to *mtime_ns, its kind to *kind.
    bool RemoveMatch(std::string_view rel, std::optional<int64_t>* mtime_ns = nullptr,
                     EntryKind* kind = nullptr);
    // Whether an entry equal to `rel` (relative to the root) is held.
    bool HasMatch(std::string_view rel) const;
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
