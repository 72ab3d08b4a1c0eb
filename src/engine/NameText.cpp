#include "NameText.h"

namespace tandrel {

namespace {

bool IsControl(unsigned char c) {
    return (c >= 0x01 && c <= 0x1f) || c == 0x7f;
}

// Whether a backslash followed by `next` would read as the start of an escape once shown.
bool StartsEscape(unsigned char next) {
    return next == '\\' || IsControl(next) || next == 'n' || next == 't' || next == 'r' ||
           (next >= '0' && next <= '7');
}

}  // namespace

std::string ShownName(std::string_view name) {
    bool plain = true;
    for (size_t i = 0; i < name.size() && plain; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        plain = !IsControl(c) && !(c == '\\' && i + 1 < name.size() &&
                                   StartsEscape(static_cast<unsigned char>(name[i + 1])));
    }
    if (plain) {
        return std::string(name);  // the common case: shown exactly as it is
    }
    std::string out;
    out.reserve(name.size() + 8);
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == '\\') {
            out += '\\';
            if (i + 1 < name.size() && StartsEscape(static_cast<unsigned char>(name[i + 1]))) {
                out += '\\';
            }
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (IsControl(c)) {
            out += '\\';
            out += static_cast<char>('0' + ((c >> 6) & 7));
            out += static_cast<char>('0' + ((c >> 3) & 7));
            out += static_cast<char>('0' + (c & 7));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace tandrel
