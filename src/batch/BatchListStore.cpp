#include "BatchListStore.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "BatchItemRows.h"

namespace tandrel {
namespace {

// The entry keys, in the order loading and saving walk them: the four every version has, then
// the filters, kept only for the entries that have them.
enum EntryKey { kDescription, kFrom, kTo, kFlag, kExclude, kHidden, kEntryKeyCount };
constexpr const char* kEntryKeyNames[kEntryKeyCount] = {"Description", "From",    "To",
                                                        "Flag",        "Exclude", "Hidden"};
constexpr int kFilterKeys = kExclude;  // the first key of the filters

// The Quick page's remembered filters, beside its directories.
constexpr const char* kQuickExclude = "Exclude";
constexpr const char* kQuickHidden = "IncludeHidden";

// Rows 0 to 48 keep the one-byte names earlier versions used.
constexpr int kOneByteRows = 49;

// Names compare as the store compares them: ASCII letters without regard to case.
std::string FoldCase(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

// The value's data as bytes: a string whole, a number as its four little-endian bytes.
std::string DataBytes(const SettingsValue& value) {
    if (value.type == SettingsType::kString) {
        return value.text;
    }
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<size_t>(i)] = static_cast<char>((value.dword >> (8 * i)) & 0xff);
    }
    return bytes;
}

// The value as text: its bytes up to the first NUL, as the stored layout defines text, however
// long. A number that should have been a string reads as its little-endian bytes.
std::string TextOf(const SettingsValue& value) {
    std::string bytes = DataBytes(value);
    const size_t nul = bytes.find('\0');
    if (nul != std::string::npos) {
        bytes.resize(nul);
    }
    return bytes;
}

// The check state is the first byte of the stored data: the low byte of the number.
BatchCheckState CheckOf(const SettingsValue& value) {
    const std::string bytes = DataBytes(value);
    return static_cast<BatchCheckState>(bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]));
}

}  // namespace

BatchListStore::BatchListStore(SettingsStore& store) : store_(&store), profile_(store) {}

std::string BatchListStore::EntryName(int row) {
    if (row < kOneByteRows) {
        return std::string(1, static_cast<char>('0' + row));
    }
    return "#" + std::to_string(row);
}

std::string BatchListStore::EntryKeyPath(const char* subkey) const {
    return profile_.SectionKey(kSection) + "\\" + subkey;
}

Status BatchListStore::Load(std::deque<BatchItem>* items) {
    std::deque<BatchItem> loaded;
    const Status s = store_->Read([&]() -> Status {
        std::unordered_map<std::string, size_t> byName;
        for (int k = 0; k < kEntryKeyCount; ++k) {
            SettingsStore::Key key = 0;
            Status opened = store_->OpenKey(EntryKeyPath(kEntryKeyNames[k]), &key);
            if (opened.IsNotFound()) {
                continue;
            }
            std::vector<SettingsValue> values;
            if (opened.ok()) {
                opened = store_->ListValues(key, &values);
            }
            if (!opened.ok()) {
                return opened;
            }
            for (const SettingsValue& value : values) {
                if (k == kDescription) {
                    if (!byName.emplace(FoldCase(value.name), loaded.size()).second) {
                        continue;  // the store keeps names unique; never two entries per name
                    }
                    BatchItem item;
                    item.nKey = value.name.empty()
                                    ? 0
                                    : static_cast<int>(static_cast<std::int8_t>(value.name[0]));
                    item.nCheck = kBatchChecked;
                    item.strDescription = TextOf(value);
                    loaded.push_back(std::move(item));
                    continue;
                }
                const auto found = byName.find(FoldCase(value.name));
                if (found == byName.end()) {
                    continue;  // belongs to no entry; the next save drops it
                }
                BatchItem& item = loaded[found->second];
                if (k == kFrom) {
                    item.strFrom = TextOf(value);
                } else if (k == kTo) {
                    item.strTo = TextOf(value);
                } else if (k == kFlag) {
                    item.nCheck = CheckOf(value);
                } else if (k == kExclude) {
                    item.listExclude = SplitPatterns(TextOf(value));
                } else {
                    item.bIncludeHidden = CheckOf(value) != 0;
                }
            }
        }
        return Status::Ok();
    });
    if (s.ok()) {
        for (BatchItem& item : loaded) {
            items->push_back(std::move(item));
        }
    }
    return s;
}

Status BatchListStore::SaveEntries(const IBatchRows& rows) {
    SettingsStore::Key keys[kEntryKeyCount] = {};
    const int count = rows.GetRowCount();
    bool anyFilters = false;
    for (int row = 0; row < count && !anyFilters; ++row) {
        BatchItem item;
        rows.GetRow(row, &item);
        anyFilters = item.HasFilters();
    }
    for (int k = 0; k < kEntryKeyCount; ++k) {
        const std::string path = EntryKeyPath(kEntryKeyNames[k]);
        if (Status s = store_->DeleteKey(path); !s.ok() && !s.IsNotFound()) {
            return s;
        }
        if (k >= kFilterKeys && !anyFilters) {
            continue;
        }
        if (Status s = store_->CreateKey(path, &keys[k]); !s.ok()) {
            return s;
        }
    }
    for (int row = 0; row < count; ++row) {
        BatchItem item;
        rows.GetRow(row, &item);
        const std::string name = EntryName(row);
        Status s = store_->SetString(keys[kDescription], name, item.strDescription);
        if (s.ok())
            s = store_->SetString(keys[kFrom], name, item.strFrom);
        if (s.ok())
            s = store_->SetString(keys[kTo], name, item.strTo);
        if (s.ok())
            s = store_->SetDword(keys[kFlag], name, static_cast<std::uint32_t>(item.nCheck));
        if (s.ok() && !item.listExclude.empty())
            s = store_->SetString(keys[kExclude], name, JoinPatterns(item.listExclude));
        if (s.ok() && item.bIncludeHidden)
            s = store_->SetDword(keys[kHidden], name, 1);
        if (!s.ok()) {
            return s;
        }
    }
    return Status::Ok();
}

Status BatchListStore::Save(const IBatchRows& rows, const ColumnWidths& widths) {
    return store_->Write([&]() -> Status {
        if (Status s = SaveEntries(rows); !s.ok()) {
            return s;
        }
        for (int c = 0; c < kColumnCount; ++c) {
            const std::string name = "LVwidth" + std::to_string(c + 1);
            if (Status s = profile_.WriteProfileInt(kSection, name, widths[c]); !s.ok()) {
                return s;
            }
        }
        return Status::Ok();
    });
}

bool BatchListStore::ParseEntryNumber(const std::string& text, int* number) {
    if (text.empty() || text.size() > 9) {
        return false;  // nine digits keep every number below the largest int
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    if (value == 0) {
        return false;
    }
    *number = value;
    return true;
}

Status BatchListStore::Replace(const IBatchRows& rows) {
    return store_->Write([&]() -> Status { return SaveEntries(rows); });
}

Status BatchListStore::Append(const BatchItem& item) {
    return store_->Write([&]() -> Status {
        std::deque<BatchItem> stored;
        if (Status s = Load(&stored); !s.ok()) {
            return s;
        }
        BatchItemRows rows(std::vector<BatchItem>(stored.begin(), stored.end()));
        rows.items().push_back(item);
        return SaveEntries(rows);
    });
}

std::string BatchListStore::JoinPatterns(const std::vector<std::string>& patterns) {
    std::string text;
    for (const std::string& p : patterns) {
        if (!text.empty()) {
            text.push_back('\n');
        }
        text += p;
    }
    return text;
}

std::vector<std::string> BatchListStore::SplitPatterns(std::string_view text) {
    std::vector<std::string> patterns;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end != 0) {
            patterns.emplace_back(text.substr(0, end));
        }
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return patterns;
}

void BatchListStore::ReadQuickFilters(const Profile& profile, std::vector<std::string>* patterns,
                                      bool* includeHidden) {
    *patterns = SplitPatterns(profile.GetProfileString("", kQuickExclude, ""));
    *includeHidden = profile.GetProfileInt("", kQuickHidden, 0) != 0;
}

Status BatchListStore::WriteQuickFilters(Profile& profile, const std::vector<std::string>& patterns,
                                         bool includeHidden) {
    return profile.store().Write([&]() -> Status {
        if (Status s = profile.WriteProfileString("", kQuickExclude, JoinPatterns(patterns));
            !s.ok()) {
            return s;
        }
        return profile.WriteProfileInt("", kQuickHidden, includeHidden ? 1 : 0);
    });
}

int BatchListStore::ReadColumnWidth(int column, int defaultWidth) {
    const std::string name = "LVwidth" + std::to_string(column + 1);
    const int width = profile_.GetProfileInt(kSection, name, defaultWidth);
    if (width > kMaxColumnWidth) {
        return kMaxColumnWidth;
    }
    return width < kMinColumnWidth ? kMinColumnWidth : width;
}

}  // namespace tandrel
