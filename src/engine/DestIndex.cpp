#include "DestIndex.h"

#include <algorithm>

namespace tandrel {

std::string DestIndex::Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool DestIndex::Equal(std::string_view a, std::string_view b) const {
    if (!m_caseInsensitive) {
        return a == b;
    }
    return a.size() == b.size() && Fold(a) == Fold(b);
}

void DestIndex::PushBack(std::string rel, EntryKind kind, std::optional<int64_t> mtime_ns,
                         size_t dir) {
    if (dir != kRoot) {
        m_entries.push_back(Entry{std::move(rel), kind, mtime_ns, dir});
        return;
    }
    std::string key = Fold(rel);
    m_entries.push_back(Entry{std::move(rel), kind, mtime_ns, kRoot});
    m_index[std::move(key)].push_back(std::prev(m_entries.end()));
}

bool DestIndex::RemoveMatch(std::string_view rel, std::optional<int64_t>* mtime_ns,
                            EntryKind* kind) {
    auto found = m_index.find(Fold(rel));
    if (found == m_index.end()) {
        return false;
    }
    std::vector<Iter>& bucket = found->second;
    // Entries sharing a folded key are kept in list order, so the first equal one in the bucket
    // is the first equal one in the list.
    for (size_t i = 0; i < bucket.size(); ++i) {
        if (Equal(bucket[i]->rel, rel)) {
            if (mtime_ns != nullptr) {
                *mtime_ns = bucket[i]->mtime_ns;
            }
            if (kind != nullptr) {
                *kind = bucket[i]->kind;
            }
            m_entries.erase(bucket[i]);
            bucket.erase(bucket.begin() + static_cast<std::ptrdiff_t>(i));
            if (bucket.empty()) {
                m_index.erase(found);
            }
            return true;
        }
    }
    return false;
}

bool DestIndex::HasMatch(std::string_view rel) const {
    const auto found = m_index.find(Fold(rel));
    return found != m_index.end() &&
           std::any_of(found->second.begin(), found->second.end(),
                       [&](const Iter& it) { return Equal(it->rel, rel); });
}

void DestIndex::Unindex(Iter it) {
    if (it->dir != kRoot) {
        return;  // never indexed
    }
    auto found = m_index.find(Fold(it->rel));
    if (found == m_index.end()) {
        return;
    }
    std::vector<Iter>& bucket = found->second;
    bucket.erase(std::find(bucket.begin(), bucket.end(), it));
    if (bucket.empty()) {
        m_index.erase(found);
    }
}

DestIndex::Entry DestIndex::PopFront() {
    Iter head = m_entries.begin();
    Unindex(head);
    Entry e = std::move(*head);
    m_entries.erase(head);
    return e;
}

void DestIndex::Clear() {
    m_entries.clear();
    m_index.clear();
}

}  // namespace tandrel
