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

// The colours the view paints with, as 0xRRGGBB.
struct LogColors {
    uint32_t background = kColorBackground;
    uint32_t mark = kColorMark;
    uint32_t verb = kColorVerb;
    uint32_t time = kColorTime;
    uint32_t text = kColorText;
    // The colour to paint a segment of `color` (one of the k-colours above) in.
    uint32_t For(uint32_t color) const;
};

// The contrast ratio of two colours (1 to 21), from their relative luminance as the web's
// accessibility guidelines define it.
double ContrastRatio(uint32_t a, uint32_t b);

// The view's colours over a palette's base (background) and text colours. On a light base
// (lighter than its text) the described colours stay as they are, the text in the palette's
// text colour. On a dark one each colour is lightened (mixed with white) just enough to stand
// out from the base by 4.5 : 1, the text too when its own colour does not.
LogColors LogColorsFor(uint32_t base, uint32_t text);

// `color` mixed with white in small steps until its contrast with `background` reaches
// `ratio` (white when no mix does).
uint32_t LightenedFor(uint32_t color, uint32_t background, double ratio);

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
