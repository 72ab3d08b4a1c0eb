#include "WindowLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tandrel {

namespace {

// No message the window takes is anywhere near this; a peer that sends more is not one of ours.
constexpr size_t kMaxMessage = 1 << 20;
constexpr size_t kMaxFields = 8;

bool OwnedPrivateDirectory(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 0077) == 0;
}

uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

long long NowMs() {
    struct timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

Status SocketAddress(const std::string& path, struct sockaddr_un* addr) {
    *addr = {};
    addr->sun_family = AF_UNIX;
    if (path.size() >= sizeof(addr->sun_path)) {
        return Status::Error(Status::Code::kInvalid, path, "the socket name is too long");
    }
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return Status::Ok();
}

}  // namespace

Status RuntimeDirectory(std::string* dir) {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    struct stat st{};
    if (xdg != nullptr && xdg[0] == '/' && stat(xdg, &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == geteuid()) {
        *dir = xdg;
        return Status::Ok();
    }
    const std::string fallback = "/tmp/tandrel-" + std::to_string(geteuid());
    if (mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) {
        return Status::FromErrno(errno, fallback);
    }
    // lstat: a link planted by someone else must not lead the lock and socket elsewhere.
    if (lstat(fallback.c_str(), &st) != 0) {
        return Status::FromErrno(errno, fallback);
    }
    if (!OwnedPrivateDirectory(st)) {
        return Status::Error(Status::Code::kPermission, fallback,
                             "not a private directory of this user");
    }
    *dir = fallback;
    return Status::Ok();
}

Status WindowLinkPathsFor(const std::string& settingsPath, WindowLinkPaths* paths) {
    std::string dir;
    if (Status s = RuntimeDirectory(&dir); !s.ok()) {
        return s;
    }
    char name[64];
    std::snprintf(name, sizeof name, "/tandrel-window-%016llx",
                  static_cast<unsigned long long>(Fnv1a(settingsPath)));
    paths->lock = dir + name + ".lock";
    paths->socket = dir + name + ".sock";
    return Status::Ok();
}

Status TryLockWindow(const std::string& lockPath, UniqueFd* held, bool* taken) {
    *taken = false;
    UniqueFd fd(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) {
        return Status::FromErrno(errno, lockPath);
    }
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            return Status::Ok();
        }
        return Status::FromErrno(errno, lockPath);
    }
    *held = std::move(fd);
    *taken = true;
    return Status::Ok();
}

Status ListenWindowSocket(const std::string& socketPath, UniqueFd* listener) {
    struct sockaddr_un addr;
    if (Status s = SocketAddress(socketPath, &addr); !s.ok()) {
        return s;
    }
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) {
        return Status::FromErrno(errno, socketPath);
    }
    // The lock is ours, so a socket file there is one a previous window left behind.
    struct stat st{};
    if (lstat(socketPath.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
        unlink(socketPath.c_str());
    }
    const mode_t old = umask(0077);
    const int bound = bind(fd.get(), reinterpret_cast<const struct sockaddr*>(&addr), sizeof addr);
    const int bindErr = errno;
    umask(old);
    if (bound != 0) {
        return Status::FromErrno(bindErr, socketPath);
    }
    if (listen(fd.get(), 8) != 0) {
        return Status::FromErrno(errno, socketPath);
    }
    *listener = std::move(fd);
    return Status::Ok();
}

std::string EncodeMessage(const std::vector<std::string>& fields) {
    std::string out;
    for (const std::string& field : fields) {
        out += std::to_string(field.size());
        out += ':';
        out += field;
        out += ',';
    }
    out += '\n';  // ends the message
    return out;
}

bool DecodeMessage(std::string* buffer, std::vector<std::string>* fields, bool* bad) {
    *bad = false;
    fields->clear();
    size_t pos = 0;
    while (true) {
        if (pos >= buffer->size()) {
            *bad = buffer->size() > kMaxMessage;
            return false;
        }
        if ((*buffer)[pos] == '\n') {
            buffer->erase(0, pos + 1);
            return true;
        }
        size_t length = 0;
        size_t digits = 0;
        while (pos + digits < buffer->size() && (*buffer)[pos + digits] >= '0' &&
               (*buffer)[pos + digits] <= '9' && digits < 8) {
            length = length * 10 + static_cast<size_t>((*buffer)[pos + digits] - '0');
            ++digits;
        }
        if (pos + digits >= buffer->size()) {
            *bad = digits >= 8;
            return false;
        }
        if (digits == 0 || (*buffer)[pos + digits] != ':' || length > kMaxMessage ||
            fields->size() >= kMaxFields) {
            *bad = true;
            return false;
        }
        const size_t start = pos + digits + 1;
        if (start + length >= buffer->size()) {
            return false;  // the field or its ',' has not all arrived
        }
        if ((*buffer)[start + length] != ',') {
            *bad = true;
            return false;
        }
        fields->push_back(buffer->substr(start, length));
        pos = start + length + 1;
    }
}

Status SendToWindow(const std::string& socketPath, const std::vector<std::string>& fields,
                    std::vector<std::string>* reply, int timeoutMs) {
    struct sockaddr_un addr;
    if (Status s = SocketAddress(socketPath, &addr); !s.ok()) {
        return s;
    }
    // Non-blocking throughout: a window that hangs, or never accepts, must not hang the caller.
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) {
        return Status::FromErrno(errno, socketPath);
    }
    const long long deadline = NowMs() + timeoutMs;
    // Waits until `fd` is ready for `events` or the deadline passes.
    const auto wait = [&](short events) -> Status {
        while (true) {
            const long long left = deadline - NowMs();
            if (left <= 0) {
                return Status::Error(Status::Code::kBusy, socketPath, "the window did not answer");
            }
            struct pollfd pfd = {fd.get(), events, 0};
            const int ready = poll(&pfd, 1, static_cast<int>(left));
            if (ready > 0) {
                return Status::Ok();
            }
            if (ready < 0 && errno != EINTR) {
                return Status::FromErrno(errno, socketPath);
            }
        }
    };
    if (connect(fd.get(), reinterpret_cast<const struct sockaddr*>(&addr), sizeof addr) != 0) {
        // A local socket whose queue is full says EAGAIN; anything else is final.
        if (errno != EAGAIN && errno != EINPROGRESS) {
            return Status::FromErrno(errno, socketPath);
        }
        return Status::Error(Status::Code::kBusy, socketPath, "the window is not taking calls");
    }
    const std::string out = EncodeMessage(fields);
    size_t sent = 0;
    while (sent < out.size()) {
        const ssize_t n = send(fd.get(), out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (errno == EAGAIN) {
            if (Status s = wait(POLLOUT); !s.ok()) {
                return s;
            }
        } else if (errno != EINTR) {
            return Status::FromErrno(errno, socketPath);
        }
    }
    std::string in;
    while (true) {
        bool bad = false;
        if (DecodeMessage(&in, reply, &bad)) {
            return Status::Ok();
        }
        if (bad) {
            return Status::Error(Status::Code::kCorrupt, socketPath, "the window's answer is garbled");
        }
        if (Status s = wait(POLLIN); !s.ok()) {
            return s;
        }
        char chunk[4096];
        const ssize_t n = recv(fd.get(), chunk, sizeof chunk, 0);
        if (n == 0) {
            return Status::Error(Status::Code::kIoError, socketPath,
                                 "the window closed the connection without answering");
        }
        if (n > 0) {
            in.append(chunk, static_cast<size_t>(n));
        } else if (errno != EAGAIN && errno != EINTR) {
            return Status::FromErrno(errno, socketPath);
        }
    }
}

}  // namespace tandrel
