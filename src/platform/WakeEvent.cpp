#include "WakeEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tandrel {

WakeEvent::~WakeEvent() {
    const int fd = m_fd.exchange(-1);
    if (fd >= 0) {
        close(fd);
    }
}

bool WakeEvent::Open() {
    if (m_fd.load() >= 0) {
        return true;
    }
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    m_fd.store(fd);
    return true;
}

void WakeEvent::Notify() {
    const int fd = m_fd.load();
    if (fd < 0) {
        return;
    }
    const int saved = errno;
    const uint64_t one = 1;
    // Fails only when the counter is full, and a full counter wakes the waiter just as well.
    const ssize_t written = write(fd, &one, sizeof one);
    static_cast<void>(written);
    errno = saved;
}

void WakeEvent::Clear() {
    const int fd = m_fd.load();
    uint64_t count = 0;
    while (fd >= 0 && read(fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool WakeEvent::Wait() {
    const int fd = m_fd.load();
    if (fd < 0) {
        return false;
    }
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        uint64_t count = 0;
        if (read(fd, &count, sizeof count) == static_cast<ssize_t>(sizeof count)) {
            return true;
        }
        if (errno != EAGAIN && errno != EINTR) {
            return false;
        }
    }
}

}  // namespace tandrel
