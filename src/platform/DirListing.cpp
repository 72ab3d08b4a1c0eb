#include "DirListing.h"

#include <algorithm>
#include <cstring>

namespace tandrel {

bool DirListing::Add(std::string_view name, EntryKind kind) {
    if (name.size() > UINT16_MAX || m_names.size() + name.size() > kMaxNameBytes) {
        return false;
    }
    const Record record{static_cast<uint32_t>(m_names.size()), static_cast<uint16_t>(name.size()),
                        static_cast<uint8_t>(kind), 0, 0};
    m_names.insert(m_names.end(), name.begin(), name.end());
    m_records.push_back(record);
    return true;
}

void DirListing::SortByName() {
    const char* names = m_names.data();
    std::sort(m_records.begin(), m_records.end(), [names](const Record& a, const Record& b) {
        const int order = std::memcmp(names + a.offset, names + b.offset,
                                      std::min(a.length, b.length));  // as unsigned bytes
        return order != 0 ? order < 0 : a.length < b.length;
    });
}

void DirListing::Clear() {
    m_records.clear();
    m_names.clear();
}

void DirListing::Release() {
    std::vector<Record>().swap(m_records);
    std::vector<char>().swap(m_names);
}

}  // namespace tandrel
