#include "LineColors.h"

#include <algorithm>
#include <cmath>

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

namespace {

double Channel(uint32_t c) {
    const double v = static_cast<double>(c & 0xFF) / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double Luminance(uint32_t rgb) {
    return 0.2126 * Channel(rgb >> 16) + 0.7152 * Channel(rgb >> 8) + 0.0722 * Channel(rgb);
}

uint32_t Mix(uint32_t color, int towardsWhite) {
    uint32_t out = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        const int c = static_cast<int>((color >> shift) & 0xFF);
        out |= static_cast<uint32_t>(c + (255 - c) * towardsWhite / 100) << shift;
    }
    return out;
}

}  // namespace

double ContrastRatio(uint32_t a, uint32_t b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

uint32_t LightenedFor(uint32_t color, uint32_t background, double ratio) {
    for (int step = 0; step <= 100; step += 2) {
        const uint32_t mixed = Mix(color, step);
        if (ContrastRatio(mixed, background) >= ratio) {
            return mixed;
        }
    }
    return 0xFFFFFF;
}

uint32_t LogColors::For(uint32_t color) const {
    switch (color) {
        case kColorMark:
            return mark;
        case kColorVerb:
            return verb;
        case kColorTime:
            return time;
        default:
            return text;
    }
}

LogColors LogColorsFor(uint32_t base, uint32_t text) {
    LogColors colors;
    colors.background = base & 0xFFFFFF;
    colors.text = text & 0xFFFFFF;
    if (Luminance(base) >= Luminance(text)) {
        return colors;
    }
    constexpr double kReadable = 4.5;
    colors.mark = LightenedFor(kColorMark, base, kReadable);
    colors.verb = LightenedFor(kColorVerb, base, kReadable);
    colors.time = LightenedFor(kColorTime, base, kReadable);
    colors.text = LightenedFor(text, base, kReadable);
    return colors;
}

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
