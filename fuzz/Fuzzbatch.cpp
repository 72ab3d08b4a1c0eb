// Any keys and values in the stored batch list: loading gives some list or a status, never a
// crash, and what it gives can be saved back and loaded again unchanged.
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "BatchItemRows.h"
#include "BatchListStore.h"
#include "FuzzCommon.h"
#include "Profile.h"
#include "SettingsStore.h"

using namespace tandrel;

namespace {

// The input as records "subkey \0 name \0 kind value \0": kind 's' stores a string, anything
// else a number made of the value's first four bytes.
std::vector<std::string> Fields(const uint8_t* data, size_t size) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            fields.emplace_back();
        } else {
            fields.back() += static_cast<char>(data[i]);
        }
    }
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SettingsStore store(FuzzFolder() + "/batch.db");
    BatchListStore list(store);
    const std::vector<std::string> fields = Fields(data, size);
    const std::string section = Profile(store).SectionKey(BatchListStore::kSection);
    (void)store.Write([&] {
        (void)store.DeleteKey(section);
        for (size_t i = 0; i + 2 < fields.size(); i += 3) {
            SettingsStore::Key key = 0;
            const std::string path = fields[i].empty() ? section : section + "\\" + fields[i];
            if (!store.CreateKey(path, &key).ok()) {
                continue;
            }
            const std::string& value = fields[i + 2];
            if (!value.empty() && value[0] == 's') {
                (void)store.SetString(key, fields[i + 1], value.substr(1));
            } else {
                uint32_t number = 0;
                for (size_t b = 1; b < value.size() && b < 5; ++b) {
                    number = number << 8 | static_cast<unsigned char>(value[b]);
                }
                (void)store.SetDword(key, fields[i + 1], number);
            }
        }
        return Status::Ok();
    });
    std::deque<BatchItem> items;
    if (!list.Load(&items).ok()) {
        return 0;
    }
    const std::vector<BatchItem> rows(items.begin(), items.end());
    BatchItemRows saved(rows);
    if (!list.Save(saved, BatchListStore::ColumnWidths{100, 100, 100}).ok()) {
        return 0;
    }
    std::deque<BatchItem> again;
    if (!list.Load(&again).ok() || again.size() != items.size()) {
        __builtin_trap();
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (again[i].strDescription != items[i].strDescription ||
            again[i].strFrom != items[i].strFrom || again[i].strTo != items[i].strTo ||
            again[i].listExclude != items[i].listExclude ||
            again[i].bIncludeHidden != items[i].bIncludeHidden) {
            __builtin_trap();
        }
    }
    return 0;
}
