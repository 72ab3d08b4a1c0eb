#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

namespace tandrel {

// What a directory entry is. Links are never followed: a link is a kind of its own, whatever
// it points at.
enum class EntryKind { kFile, kDirectory, kLink, kOther };

// The entries of one directory, held compactly: every name in one block of bytes, and one
// record of 16 bytes per entry (where its name lies, its kind, and its last-write time once
// someone looked it up). A directory of 300,000 entries takes 16 bytes an entry besides the
// names themselves, and no name is ever held twice.
//
// Entries are numbered from 0 in the order they were added (after SortByName, in the order of
// their names' bytes). A number stays valid until the listing is cleared.
//
// Not thread-safe, except that two threads may note the times of different entries at once
// (SetTime) while no one adds, sorts or clears.
class DirListing {
  public:
    // One entry as a view: `name` points into the listing and lives as long as it is unchanged.
    struct Entry {
        std::string_view name;
        EntryKind kind = EntryKind::kOther;
        std::optional<int64_t> mtime_ns;
    };

    // The most name bytes one listing holds.
    static constexpr size_t kMaxNameBytes = UINT32_MAX;

    size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }

    std::string_view Name(size_t i) const {
        const Record& r = m_records[i];
        return std::string_view(m_names.data() + r.offset, r.length);
    }
    EntryKind Kind(size_t i) const { return static_cast<EntryKind>(m_records[i].kind); }
    std::optional<int64_t> Time(size_t i) const {
        const Record& r = m_records[i];
        return r.timed != 0 ? std::optional<int64_t>(r.mtime_ns) : std::nullopt;
    }
    Entry operator[](size_t i) const { return Entry{Name(i), Kind(i), Time(i)}; }
    // Notes the last-write time of entry `i`.
    void SetTime(size_t i, int64_t mtime_ns) {
        m_records[i].mtime_ns = mtime_ns;
        m_records[i].timed = 1;
    }

    // Adds an entry with no time. False, with nothing added, when the listing cannot take the
    // name: longer than 65,535 bytes, or the names would pass kMaxNameBytes.
    bool Add(std::string_view name, EntryKind kind);
    // Puts the entries in the order of their names' bytes (compared as unsigned), whatever
    // their encoding.
    void SortByName();
    // Empties the listing. The memory stays for the next listing made into it.
    void Clear();
    // Empties the listing and gives its memory back.
    void Release();

    class Iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Entry;

        Iterator() = default;
        Iterator(const DirListing* listing, size_t i) : m_listing(listing), m_i(i) {}
        Entry operator*() const { return (*m_listing)[m_i]; }
        Iterator& operator++() {
            ++m_i;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++m_i;
            return before;
        }
        bool operator==(const Iterator& other) const { return m_i == other.m_i; }

      private:
        const DirListing* m_listing = nullptr;
        size_t m_i = 0;
    };
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, size()); }

  private:
    struct Record {
        uint32_t offset;  // of the name in m_names
        uint16_t length;  // of the name
        uint8_t kind;     // an EntryKind
        uint8_t timed;    // whether mtime_ns holds the entry's time
        int64_t mtime_ns;
    };
    static_assert(sizeof(Record) == 16);

    std::vector<Record> m_records;
    std::vector<char> m_names;
};

}  // namespace tandrel
