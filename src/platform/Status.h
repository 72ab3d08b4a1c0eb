#pragma once

#include <string>
#include <utility>

namespace tandrel {

// The one error type of the platform layer and the engine. A failed call names the path it
// was working on and the reason, so that a message built from it needs nothing else.
// Status is cheap to copy when ok (an empty string).
class Status {
  public:
    enum class Code {
        kOk,
        kNotFound,
        kExists,
        kNotDirectory,
        kIsDirectory,
        kPermission,
        kUnsupported,
        kCancelled,
        kBusy,
        kCorrupt,
        kIoError,
        kInvalid
    };

    Status() = default;
    static Status Ok() { return Status(); }
    static Status Error(Code code, std::string path, std::string reason) {
        return Status(code, std::move(path), std::move(reason));
    }
    // Builds the error for a failed POSIX call from its errno value.
    static Status FromErrno(int err, std::string path);
    static Status Cancelled(std::string path) {
        return Status(Code::kCancelled, std::move(path), "cancelled");
    }

    bool ok() const { return code_ == Code::kOk; }
    Code code() const { return code_; }
    bool IsNotFound() const { return code_ == Code::kNotFound; }
    bool IsCancelled() const { return code_ == Code::kCancelled; }
    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }
    // "path: reason", or "ok".
    std::string ToString() const;

  private:
    Status(Code code, std::string path, std::string reason)
        : code_(code), path_(std::move(path)), reason_(std::move(reason)) {}

    Code code_ = Code::kOk;
    std::string path_;
    std::string reason_;
};

}  // namespace tandrel
