// Names of copy temporaries and the test for ones left behind by a process that has ended.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <random>

#include "FileSystem.h"

namespace tandrel {
namespace {

constexpr std::string_view kPrefix = ".tandrel-";
constexpr std::string_view kSuffix = ".tmp";
constexpr size_t kUniqueDigits = 16;

// A per-process random start, so that a process that happens to get the pid of one that died
// mid-copy does not walk through that process's names; then a counter, so that threads never
// share a name.
uint64_t NextUnique() {
    static std::atomic<uint64_t> counter{std::random_device{}() |
                                         (static_cast<uint64_t>(std::random_device{}()) << 32)};
    return counter.fetch_add(1, std::memory_order_relaxed);
}

bool IsLowerHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// The pid in `digits`: decimal, no sign, no leading zero, above zero, fits pid_t. 0 otherwise.
pid_t ParsePid(std::string_view digits) {
    if (digits.empty() || digits.size() > 10 || digits[0] == '0') {
        return 0;
    }
    long long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return value <= INT_MAX ? static_cast<pid_t>(value) : 0;
}

// This process's id, asked once rather than once per copy; a child made by fork asks again.
std::atomic<pid_t> g_pid{0};

pid_t OwnPid() {
    pid_t pid = g_pid.load(std::memory_order_relaxed);
    if (pid == 0) {
        static const bool registered = [] {
            pthread_atfork(nullptr, nullptr, [] { g_pid.store(0, std::memory_order_relaxed); });
            return true;
        }();
        (void)registered;
        pid = getpid();
        g_pid.store(pid, std::memory_order_relaxed);
    }
    return pid;
}

}  // namespace

std::string MakeTempName() {
    char buf[64];
    std::snprintf(buf, sizeof buf, ".tandrel-%ld-%016llx.tmp", static_cast<long>(OwnPid()),
                  static_cast<unsigned long long>(NextUnique()));
    return buf;
}

bool IsStaleTempName(std::string_view name) {
    if (name.size() <= kPrefix.size() + kSuffix.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kSuffix)) {
        return false;
    }
    std::string_view middle = name.substr(kPrefix.size());
    middle.remove_suffix(kSuffix.size());
    const size_t dash = middle.find('-');
    if (dash == std::string_view::npos) {
        return false;
    }
    std::string_view unique = middle.substr(dash + 1);
    if (unique.size() != kUniqueDigits) {
        return false;
    }
    for (char c : unique) {
        if (!IsLowerHex(c)) {
            return false;
        }
    }
    const pid_t pid = ParsePid(middle.substr(0, dash));
    if (pid <= 0 || pid == getpid()) {
        return false;
    }
    // Only a pid that certainly names no process makes the file stale; EPERM means a process
    // of another user holds it, which may well be copying.
    return kill(pid, 0) != 0 && errno == ESRCH;
}

std::string NumberedName(const std::string& name, unsigned n) {
    return n == 0 ? name : name + ".~" + std::to_string(n) + "~";
}

}  // namespace tandrel
