#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace tandrel {

// A folder of the fuzzer's own for settings files, on a memory file system when there is one
// (the store syncs every commit; on a disk that would make each input cost milliseconds).
inline const std::string& FuzzFolder() {
    static const std::string folder = [] {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/tandrel-fuzz-XXXXXX"
                                                            : "/tmp/tandrel-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return folder;
}

}  // namespace tandrel
