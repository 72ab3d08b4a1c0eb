#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tandrel {

// Owns one file descriptor and closes it when it goes away. Used where an error return would
// otherwise have to remember every descriptor opened so far. Close() is for the places where
// the result of close matters (a file just written: some file systems report write errors
// only there).
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Gives up ownership without closing.
    int Release() { return std::exchange(fd_, -1); }
    // Closes now; 0 or the errno value of close. Never retried on EINTR: Linux has released
    // the descriptor by then.
    int Close() {
        if (fd_ < 0) {
            return 0;
        }
        int rc = ::close(std::exchange(fd_, -1));
        return rc == 0 ? 0 : errno;
    }
    void Reset() {
        if (fd_ >= 0) {
            ::close(std::exchange(fd_, -1));
        }
    }

  private:
    int fd_ = -1;
};

}  // namespace tandrel
