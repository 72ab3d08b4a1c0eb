#include "SystemCallFaults.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>

namespace tandrel::faults {
namespace {

struct State {
    std::mutex mutex;
    std::array<std::vector<Plan>, static_cast<size_t>(Call::kCount)> plans;
    std::array<int, static_cast<size_t>(Call::kCount)> calls{};
    std::array<int, static_cast<size_t>(Call::kCount)> failed{};
};

State& Get() {
    static State state;  // constructed on first use, even from a call made before main
    return state;
}

// Counts the call and says whether it is to fail, and how: the errno and the result.
bool Planned(Call call, int whence, const char* name, int* err, long* result) {
    State& s = Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    const size_t i = static_cast<size_t>(call);
    ++s.calls[i];
    for (Plan& p : s.plans[i]) {
        if (p.times <= 0 || (p.whence != -1 && p.whence != whence) ||
            (!p.name.empty() && (name == nullptr || p.name != name))) {
            continue;
        }
        if (p.skip > 0) {
            --p.skip;
            return false;
        }
        --p.times;
        ++s.failed[i];
        *err = p.err;
        *result = p.result;
        return true;
    }
    return false;
}

// The C library's own function of that name (or a sanitizer's stand-in for it).
template <typename F>
F Next(const char* symbol) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, symbol));
}

}  // namespace

void FailEach(Call call, std::vector<Plan> plans) {
    State& s = Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.plans[static_cast<size_t>(call)] = std::move(plans);
}

int Calls(Call call) {
    State& s = Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.calls[static_cast<size_t>(call)];
}

int Failed(Call call) {
    State& s = Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.failed[static_cast<size_t>(call)];
}

void Reset() {
    State& s = Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (std::vector<Plan>& plans : s.plans) {
        plans.clear();
    }
    s.calls.fill(0);
    s.failed.fill(0);
}

}  // namespace tandrel::faults

using tandrel::faults::Call;
using tandrel::faults::Planned;

extern "C" {

ssize_t read(int fd, void* buf, size_t count) {
    static const auto real = tandrel::faults::Next<ssize_t (*)(int, void*, size_t)>("read");
    int err = 0;
    long result = 0;
    if (Planned(Call::kRead, -1, nullptr, &err, &result)) {
        errno = err;
        return result;
    }
    return real(fd, buf, count);
}

ssize_t write(int fd, const void* buf, size_t count) {
    static const auto real = tandrel::faults::Next<ssize_t (*)(int, const void*, size_t)>("write");
    int err = 0;
    long result = 0;
    if (Planned(Call::kWrite, -1, nullptr, &err, &result)) {
        errno = err;
        return result;
    }
    return real(fd, buf, count);
}

off_t lseek(int fd, off_t offset, int whence) {
    static const auto real = tandrel::faults::Next<off_t (*)(int, off_t, int)>("lseek");
    int err = 0;
    long result = 0;
    if (Planned(Call::kLseek, whence, nullptr, &err, &result)) {
        errno = err;
        return result;
    }
    return real(fd, offset, whence);
}

int openat(int dirfd, const char* path, int flags, ...) {
    static const auto real = tandrel::faults::Next<int (*)(int, const char*, int, ...)>("openat");
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    int err = 0;
    long result = 0;
    if ((flags & O_PATH) == 0 && Planned(Call::kOpenAt, -1, path, &err, &result)) {
        errno = err;
        return static_cast<int>(result);
    }
    return real(dirfd, path, flags, mode);
}

ssize_t copy_file_range(int infd, off64_t* pinoff, int outfd, off64_t* poutoff, size_t length,
                        unsigned int flags) {
    static const auto real =
        tandrel::faults::Next<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int)>(
            "copy_file_range");
    int err = 0;
    long result = 0;
    if (Planned(Call::kCopyFileRange, -1, nullptr, &err, &result)) {
        errno = err;
        return result;
    }
    return real(infd, pinoff, outfd, poutoff, length, flags);
}

int syncfs(int fd) {
    static const auto real = tandrel::faults::Next<int (*)(int)>("syncfs");
    int err = 0;
    long result = 0;
    if (Planned(Call::kSyncFs, -1, nullptr, &err, &result)) {
        errno = err;
        return static_cast<int>(result);
    }
    return real(fd);
}

struct dirent* readdir(DIR* stream) {
    static const auto real = tandrel::faults::Next<struct dirent* (*)(DIR*)>("readdir");
    int err = 0;
    long result = 0;
    if (Planned(Call::kReadDir, -1, nullptr, &err, &result)) {
        errno = err;
        return nullptr;
    }
    return real(stream);
}

}  // extern "C"
