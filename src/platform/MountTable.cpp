#include "MountTable.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "UniqueFd.h"

namespace tandrel {
namespace {

// A mountinfo path field with "\ooo" escapes (blank, tab, newline, backslash) decoded.
std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1];
            const char b = field[i + 2];
            const char c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        const size_t end = std::min(line.find(' ', pos), line.size());
        if (end > pos) {
            fields.push_back(line.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    return fields;
}

}  // namespace

bool MountTable::Load() {
    mounts_.clear();
    UniqueFd fd(open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return false;
    }
    std::string text;
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        text.append(buf, static_cast<size_t>(n));
    }
    Parse(text);
    return true;
}

void MountTable::Parse(std::string_view text) {
    mounts_.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        const std::vector<std::string_view> f = Fields(text.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mount-point options [optional fields] - type source ...
        if (f.size() < 5 || f[3].empty() || f[3].front() != '/' || f[4].empty() ||
            f[4].front() != '/') {
            continue;
        }
        Mount m;
        uint64_t id = 0;
        bool digits = !f[0].empty();
        for (char c : f[0]) {
            digits = digits && c >= '0' && c <= '9';
            id = id * 10 + static_cast<uint64_t>(c - '0');
        }
        if (!digits) {
            continue;
        }
        m.id = id;
        m.device = std::string(f[2]);
        m.root = Unescape(f[3]);
        m.mount_point = Unescape(f[4]);
        mounts_.push_back(std::move(m));
    }
}

const MountTable::Mount* MountTable::Find(uint64_t id) const {
    for (const Mount& m : mounts_) {
        if (m.id == id) {
            return &m;
        }
    }
    return nullptr;
}

}  // namespace tandrel
