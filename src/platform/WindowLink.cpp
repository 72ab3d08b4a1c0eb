#include "WindowLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "RuntimeFolder.h"

namespace tandrel {

namespace {

// No message the window takes is anywhere near this; a peer that sends more is not one of ours.
constexpr size_t kMaxMessage = 1 << 20;
constexpr size_t kMaxFields = 8;

uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

long long NowMs() {
    struct timespec ts {};
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

Status WindowLinkPathsFor(const std::string& settingsPath, WindowLinkPaths* paths) {
    std::string dir;
    UniqueFd held;
    if (Status s = OpenRuntimeFolder(&dir, &held); !s.ok()) {
        return s;
    }
    char name[64];
    std::snprintf(name, sizeof name, "/window-%016llx",
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
    struct stat st {};
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
                    std::vector<std::string>* reply, int timeoutMs, int passFd) {
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
        // The descriptor travels with the first bytes that go out.
        struct iovec iov = {const_cast<char*>(out.data()) + sent, out.size() - sent};
        struct msghdr msg {};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        alignas(struct cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        if (sent == 0 && passFd >= 0) {
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            struct cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
            cmsg->cmsg_level = SOL_SOCKET;
            cmsg->cmsg_type = SCM_RIGHTS;
            cmsg->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(cmsg), &passFd, sizeof passFd);
        }
        const ssize_t n = sendmsg(fd.get(), &msg, MSG_NOSIGNAL);
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
            return Status::Error(Status::Code::kCorrupt, socketPath,
                                 "the window's answer is garbled");
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

long ReceiveFromPeer(int fd, std::string* in, UniqueFd* passed) {
    char chunk[4096];
    struct iovec iov = {chunk, sizeof chunk};
    struct msghdr msg {};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    // Room for a few descriptors, so that a peer sending more than one loses them all to
    // close() below instead of leaving them in flight.
    alignas(struct cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)];
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (n < 0) {
        return -1;
    }
    for (struct cmsghdr* cmsg = CMSG_FIRSTHDR(&msg); cmsg != nullptr;
         cmsg = CMSG_NXTHDR(&msg, cmsg)) {
        if (cmsg->cmsg_level != SOL_SOCKET || cmsg->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        const size_t count = (cmsg->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int got = -1;
            std::memcpy(&got, CMSG_DATA(cmsg) + i * sizeof(int), sizeof got);
            if (!passed->valid()) {
                *passed = UniqueFd(got);
            } else {
                close(got);
            }
        }
    }
    in->append(chunk, static_cast<size_t>(n));
    return static_cast<long>(n);
}

Status MakeHandOverToken(UniqueFd* token) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return Status::FromErrno(errno, "hand-over token");
    }
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    const char byte = 't';
    if (write(writeEnd.get(), &byte, 1) != 1) {
        return Status::FromErrno(errno, "hand-over token");
    }
    // With no writer left, a token already taken reads as the end of the pipe.
    writeEnd.Reset();
    *token = std::move(readEnd);
    return Status::Ok();
}

Status TakeHandOverToken(int token, bool* taken) {
    *taken = false;
    struct stat st {};
    if (fstat(token, &st) != 0) {
        return Status::FromErrno(errno, "hand-over token");
    }
    if (!S_ISFIFO(st.st_mode)) {
        return Status::Error(Status::Code::kInvalid, "hand-over token", "not a pipe");
    }
    // Whoever sent it may have left it blocking; a read must never wait for a byte another
    // taker got first.
    const int flags = fcntl(token, F_GETFL);
    if (flags < 0 ||
        ((flags & O_NONBLOCK) == 0 && fcntl(token, F_SETFL, flags | O_NONBLOCK) != 0)) {
        return Status::FromErrno(errno, "hand-over token");
    }
    char byte = 0;
    while (true) {
        const ssize_t n = read(token, &byte, 1);
        if (n == 1) {
            *taken = true;
            return Status::Ok();
        }
        if (n == 0 || errno == EAGAIN) {
            return Status::Ok();  // someone else has it
        }
        if (errno != EINTR) {
            return Status::FromErrno(errno, "hand-over token");
        }
    }
}

}  // namespace tandrel
