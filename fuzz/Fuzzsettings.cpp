// Any bytes as the settings file: opening must move a damaged file aside or read it, and every
// read and a write after that must work or fail with a status, never crash or hang.
#include <cstdint>
#include <cstdio>
#include <deque>
#include <fstream>
#include <string>

#include "BatchListStore.h"
#include "FuzzCommon.h"
#include "Profile.h"
#include "SettingsStore.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = FuzzFolder() + "/settings.db";
    for (const char* suffix : {"", "-journal", "-wal", "-shm", ".damaged", ".damaged.1"}) {
        std::remove((path + suffix).c_str());
    }
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    SettingsStore store(path);
    (void)store.Open();
    (void)store.TakeNotice();
    Profile profile(store);
    (void)profile.GetProfileString("", "From", "default");
    (void)profile.GetProfileInt("", "BoolLogFile", 0);
    std::deque<BatchItem> items;
    BatchListStore list(store);
    (void)list.Load(&items);
    (void)list.ReadColumnWidth(0, 100);
    (void)profile.WriteProfileString("", "From", "/after");
    return 0;
}
