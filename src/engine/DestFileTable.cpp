#include "DestFileTable.h"

#include <algorithm>
#include <bit>

namespace tandrel {

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

size_t DestFileTable::Home(std::string_view name) const {
    // FNV-1a over the folded bytes, its high bits spread by a multiply.
    uint64_t h = 14695981039346656037ULL;
    for (char c : name) {
        h = (h ^ static_cast<unsigned char>(FoldAscii(c))) * 1099511628211ULL;
    }
    h *= 0x9E3779B97F4A7C15ULL;
    const int bits = std::countr_zero(m_slots.size());
    return bits == 0 ? 0 : static_cast<size_t>(h >> (64 - bits));
}

bool DestFileTable::Equal(std::string_view a, std::string_view b) const {
    if (!m_caseInsensitive) {
        return a == b;
    }
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

void DestFileTable::Add(size_t i) {
    if (m_state.size() != m_listing.size()) {
        // The first entry added for this listing: room for all of them at a load of at most
        // three quarters.
        m_state.assign(m_listing.size(), kNotAdded);
        m_slots.assign(std::bit_ceil(m_listing.size() + m_listing.size() / 3 + 1), kEmpty);
    }
    const size_t mask = m_slots.size() - 1;
    size_t slot = Home(m_listing.Name(i));
    while (m_slots[slot] != kEmpty) {
        slot = (slot + 1) & mask;
    }
    m_slots[slot] = static_cast<uint32_t>(i);
    m_state[i] = kWaiting;
    ++m_unmatched;
}

bool DestFileTable::Match(std::string_view name, EntryKind* kind,
                          std::optional<int64_t>* mtime_ns) {
    if (m_unmatched == 0) {
        return false;
    }
    // Probing from the name's home slot meets the entries of equal folded names in the order
    // they were added, which is listing order.
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = Home(name); m_slots[slot] != kEmpty; slot = (slot + 1) & mask) {
        const uint32_t i = m_slots[slot];
        if (m_state[i] == kWaiting && Equal(m_listing.Name(i), name)) {
            m_state[i] = kMatched;
            --m_unmatched;
            *kind = m_listing.Kind(i);
            *mtime_ns = m_listing.Time(i);
            return true;
        }
    }
    return false;
}

void DestFileTable::Reset() {
    m_listing.Clear();
    m_state.clear();
    m_slots.clear();
    m_unmatched = 0;
}

void DestFileTable::Release() {
    m_listing.Release();
    std::vector<uint8_t>().swap(m_state);
    std::vector<uint32_t>().swap(m_slots);
    m_unmatched = 0;
}

}  // namespace tandrel
