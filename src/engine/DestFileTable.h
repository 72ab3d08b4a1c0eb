#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "DirListing.h"

namespace tandrel {

// The destination files of the one directory whose source files the walk is matching. A source
// file can only match a destination file listed in the same directory, and the walk is done
// with a directory's files before it lists another, so one directory at a time is enough.
//
// It holds the directory's listing and, for the entries taking part, an open-addressing table
// of their numbers in the listing, hashed by their names where the listing keeps them (ASCII
// case folded, so that one table serves both rules): no name is copied. A match is the first
// equal entry not yet matched in listing order, as a scan from the top would find it: names of
// one hash sit in the table in the order they were added, and a match stays in its slot
// (marked) rather than being taken out. Equality is exact, or ignores ASCII case where the
// destination's file system does.
// Worker thread only, except that the listing is filled (and its times noted) by whichever
// thread the worker lets, before entries are added.
class DestFileTable {
  public:
    void SetCaseInsensitive(bool caseInsensitive) { m_caseInsensitive = caseInsensitive; }

    // The listing of the directory at hand; the caller fills it, then adds the entries that
    // take part. Reset before it is filled for another directory.
    DirListing& Listing() { return m_listing; }
    const DirListing& Listing() const { return m_listing; }
    // Lets entry `i` of the listing (a file, link or other) be matched. Entries are added in
    // increasing listing order, once each.
    void Add(size_t i);
    // Takes the first entry added and not yet matched whose name equals `name`, in listing
    // order; false when there is none. Its kind goes to *kind and its time, when the listing
    // has it, to *mtime_ns.
    bool Match(std::string_view name, EntryKind* kind, std::optional<int64_t>* mtime_ns);
    // How many of the entries added are still unmatched.
    size_t Unmatched() const { return m_unmatched; }
    // Calls fn(i) for every entry added and not matched, in listing order.
    template <class Fn>
    void ForEachUnmatched(Fn fn) const {
        if (m_unmatched == 0) {
            return;
        }
        for (size_t i = 0; i < m_state.size(); ++i) {
            if (m_state[i] == kWaiting) {
                fn(i);
            }
        }
    }
    // Forgets the directory: the listing and the table are emptied (their memory kept for the
    // next one).
    void Reset();
    // Forgets it and gives the memory back.
    void Release();

  private:
    static constexpr uint8_t kNotAdded = 0;
    static constexpr uint8_t kWaiting = 1;
    static constexpr uint8_t kMatched = 2;
    static constexpr uint32_t kEmpty = UINT32_MAX;

    size_t Home(std::string_view name) const;
    bool Equal(std::string_view a, std::string_view b) const;

    bool m_caseInsensitive = false;
    DirListing m_listing;
    std::vector<uint8_t> m_state;   // per listing entry: kNotAdded, kWaiting or kMatched
    std::vector<uint32_t> m_slots;  // listing numbers, kEmpty where free; a power of two long
    size_t m_unmatched = 0;
};

}  // namespace tandrel
