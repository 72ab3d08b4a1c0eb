#include "Status.h"

#include <cerrno>
#include <cstring>

namespace tandrel {

Status Status::FromErrno(int err, std::string path) {
    Code code = Code::kIoError;
    switch (err) {
        case ENOENT:
            code = Code::kNotFound;
            break;
        case EEXIST:
        case ENOTEMPTY:
            code = Code::kExists;
            break;
        case ENOTDIR:
            code = Code::kNotDirectory;
            break;
        case EISDIR:
            code = Code::kIsDirectory;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
            code = Code::kPermission;
            break;
        case ELOOP:
            code = Code::kUnsupported;
            break;
        case EBUSY:
            code = Code::kBusy;
            break;
        case EINVAL:
        case ENAMETOOLONG:
            code = Code::kInvalid;
            break;
        default:
            break;
    }
    char buf[256];
    // GNU strerror_r returns the message, which may or may not live in buf.
    const char* text = strerror_r(err, buf, sizeof buf);
    return Status(code, std::move(path), text);
}

std::string Status::ToString() const {
    if (ok()) {
        return "ok";
    }
    if (path_.empty()) {
        return reason_;
    }
    return path_ + ": " + reason_;
}

}  // namespace tandrel
