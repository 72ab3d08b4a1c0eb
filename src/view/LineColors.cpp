#include "LineColors.h"

namespace tandrel {

namespace {

void Add(LineSegments* s, size_t start, size_t length, uint32_t color) {
    if (length == 0) {
        return;
    }
    s->runs[s->count++] = {static_cast<int>(start), static_cast<int>(length), color};
}

// Bytes of the UTF-8 sequence that starts `line` (1 for ASCII and for stray bytes).
size_t FirstCharLength(std::string_view line) {
    const auto lead = static_cast<unsigned char>(line[0]);
    size_t want = 1;
    if (lead >= 0xF0) {
        want = 4;
    } else if (lead >= 0xE0) {
        want = 3;
    } else if (lead >= 0xC0) {
        want = 2;
    }
    size_t n = 1;
    while (n < want && n < line.size() && (static_cast<unsigned char>(line[n]) & 0xC0) == 0x80) {
        ++n;
    }
    return n;
}

}  // namespace

LineSegments SegmentLine(std::string_view line) {
    LineSegments s;
    const size_t n = line.size();
    if (n == 0) {
        return s;
    }
    if (line[0] == '-') {
        Add(&s, 0, n, kColorText);
        return s;
    }
    if (line[0] == '(') {
        const size_t close = line.find(')');
        if (close == std::string_view::npos) {
            Add(&s, 0, n, kColorText);
        } else {
            Add(&s, 0, close + 1, kColorTime);
            Add(&s, close + 1, n - close - 1, kColorText);
        }
        return s;
    }
    const size_t w1 = FirstCharLength(line);
    Add(&s, 0, w1, kColorMark);
    const size_t blank = line.find(' ', w1);
    if (blank == std::string_view::npos) {
        Add(&s, w1, n - w1, kColorText);
    } else {
        Add(&s, w1, blank + 1 - w1, kColorVerb);
        Add(&s, blank + 1, n - blank - 1, kColorText);
    }
    return s;
}

}  // namespace tandrel
