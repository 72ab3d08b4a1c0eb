#pragma once

// The ways contents are moved, for tests run once per way: the defaults, copy_file_range in
// small chunks, and the read/write loop in small chunks (as on file systems that
// copy_file_range does not serve).

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "CopyOptions.h"

namespace tandrel {

struct CopyMode {
    const char* name;
    CopyOptions options;
};

// Test names carry the mode's name; this keeps gtest from also printing the object's bytes.
inline void PrintTo(const CopyMode& mode, std::ostream* os) {
    *os << mode.name;
}

inline CopyOptions CopyModeOptions(bool kernel, size_t chunk) {
    CopyOptions o;
    o.try_reflink = false;
    o.try_copy_file_range = kernel;
    o.chunk_bytes = chunk;
    return o;
}

inline auto AllCopyModes() {
    return ::testing::Values(CopyMode{"Default", CopyOptions{}},
                             CopyMode{"KernelSmallChunks", CopyModeOptions(true, 65536)},
                             CopyMode{"BufferSmallChunks", CopyModeOptions(false, 65536)});
}

inline std::string CopyModeName(const ::testing::TestParamInfo<CopyMode>& param) {
    return param.param.name;
}

}  // namespace tandrel
