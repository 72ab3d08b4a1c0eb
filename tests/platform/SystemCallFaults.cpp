#include "SystemCallFaults.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <type_traits>

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

namespace {

using tandrel::faults::Call;

// Makes the call through `real` (the C library's function named `symbol`), unless a plan
// fails it: then errno is the plan's and so is the result (null for a pointer).
template <typename R, typename... Args>
R Through(Call call, int whence, const char* name, R (*real)(Args...),
          std::type_identity_t<Args>... args) {
    int err = 0;
    long result = 0;
    if (tandrel::faults::Planned(call, whence, name, &err, &result)) {
        errno = err;
        if constexpr (std::is_pointer_v<R>) {
            return nullptr;
        } else {
            return static_cast<R>(result);
        }
    }
    return real(args...);
}

template <typename F>
F Real(const char* symbol) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, symbol));
}

}  // namespace

extern "C" {

ssize_t read(int fd, void* buf, size_t count) {
    static const auto real = Real<ssize_t (*)(int, void*, size_t)>("read");
    return Through(Call::kRead, -1, nullptr, real, fd, buf, count);
}

ssize_t write(int fd, const void* buf, size_t count) {
    static const auto real = Real<ssize_t (*)(int, const void*, size_t)>("write");
    return Through(Call::kWrite, -1, nullptr, real, fd, buf, count);
}

off_t lseek(int fd, off_t offset, int whence) {
    static const auto real = Real<off_t (*)(int, off_t, int)>("lseek");
    return Through(Call::kLseek, whence, nullptr, real, fd, offset, whence);
}

int openat(int dirfd, const char* path, int flags, ...) {
    static const auto real = Real<int (*)(int, const char*, int, ...)>("openat");
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if ((flags & O_PATH) != 0) {  // opened only to pass through: never planned to fail
        return real(dirfd, path, flags, mode);
    }
    // The plan is looked up here rather than through Through: the real call is variadic.
    int err = 0;
    long result = 0;
    if (tandrel::faults::Planned(Call::kOpenAt, -1, path, &err, &result)) {
        errno = err;
        return static_cast<int>(result);
    }
    return real(dirfd, path, flags, mode);
}

ssize_t copy_file_range(int infd, off64_t* pinoff, int outfd, off64_t* poutoff, size_t length,
                        unsigned int flags) {
    static const auto real =
        Real<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int)>("copy_file_range");
    return Through(Call::kCopyFileRange, -1, nullptr, real, infd, pinoff, outfd, poutoff, length,
                   flags);
}

int syncfs(int fd) {
    static const auto real = Real<int (*)(int)>("syncfs");
    return Through(Call::kSyncFs, -1, nullptr, real, fd);
}

int fchmodat(int dirfd, const char* path, mode_t mode, int flags) {
    static const auto real = Real<int (*)(int, const char*, mode_t, int)>("fchmodat");
    return Through(Call::kFchmodAt, -1, path, real, dirfd, path, mode, flags);
}

int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath,
              unsigned int flags) {
    static const auto real =
        Real<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
    return Through(Call::kRenameAt2, -1, newpath, real, olddirfd, oldpath, newdirfd, newpath,
                   flags);
}

struct dirent* readdir(DIR* stream) {
    static const auto real = Real<struct dirent* (*)(DIR*)>("readdir");
    return Through(Call::kReadDir, -1, nullptr, real, stream);
}

}  // extern "C"
