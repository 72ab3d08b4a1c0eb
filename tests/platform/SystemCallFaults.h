#pragma once

// Stand-ins for a few C library calls, linked into the platform tests only. Each passes its
// call through to the C library unless a test has planned a failure for it, so that the tests
// meet what a healthy disk never does on demand: a full disk that says nothing, a signal in
// the middle of a read, a file system that cannot tell where a file's data lies, a directory
// that may be passed through but not read.

#include <string>
#include <vector>

namespace tandrel::faults {

enum class Call {
    kRead,
    kWrite,
    kLseek,
    kOpenAt,
    kCopyFileRange,
    kSyncFs,
    kReadDir,
    kFchmodAt,
    kRenameAt2,
    kCount
};

struct Plan {
    int err = 0;       // errno the failing call sets
    long result = -1;  // what it returns instead of doing its work
    int skip = 0;      // matching calls let through before the first failure
    int times = 1;     // matching calls that fail after those
    int whence = -1;   // lseek: only calls with this whence match (-1: all)
    // openat, fchmodat, renameat2 (its new name): only calls on this name match (openat: not
    // opened to pass through).
    std::string name = {};
};

// Plans failures for `call`, replacing any plans it had. With several plans, each call goes
// to the first plan it matches that has failures left.
void FailEach(Call call, std::vector<Plan> plans);
inline void Fail(Call call, const Plan& plan) {
    FailEach(call, {plan});
}
// Calls of `call` (matching or not) since the last Reset; for openat, only those
// that open other than to pass through (O_PATH), the only ones a plan can fail.
int Calls(Call call);
// Calls of `call` that failed as planned since the last Reset.
int Failed(Call call);
// Drops every plan, so that each call passes through again, and restarts the counts.
void Reset();

}  // namespace tandrel::faults
