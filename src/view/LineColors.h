#pragma once

#include <cstdint>
#include <string_view>

namespace tandrel {

// The colours of the log view, as 0xRRGGBB.
inline constexpr uint32_t kColorBackground = 0xFFFFFF;  // white
inline constexpr uint32_t kColorMark = 0xFF0000;        // red: a line's status mark
inline constexpr uint32_t kColorVerb = 0xB4B4B4;        // light grey: the word after the mark
inline constexpr uint32_t kColorTime = 0xFF6400;        // orange: "(...)" of a header line
inline constexpr uint32_t kColorText = 0x000000;        // black: everything else

// One coloured run of a line: `length` bytes from byte `start`.
struct LineSegment {
    int start = 0;
    int length = 0;
    uint32_t color = kColorText;
};

// A line cut into at most three coloured runs by its first character:
// - "-" (separator): all black;
// - "(" (header): up to and including the first ")" orange, the rest black; all black when
//   there is no ")";
// - anything else (an action line's status mark): the first character red, then up to and
//   including the first blank after it grey, the rest black.
// Empty runs are left out; an empty line has none. A first character outside ASCII is taken
// whole (all bytes of its UTF-8 sequence).
struct LineSegments {
    LineSegment runs[3];
    int count = 0;
};
LineSegments SegmentLine(std::string_view line);

}  // namespace tandrel
