#pragma once

#include <QImage>

namespace tandrel {

// What a pixel of anti-aliased log text on white looks like: the hue of the colour it was
// drawn in survives the blending with the background, so each pixel can be told apart as white,
// black, the verb's light grey, the mark's red or the time's orange.
enum class Tone { kWhite, kBlack, kGrey, kRed, kOrange, kOther };

Tone ToneOf(QRgb p);

// Counts of each tone in an area of text.
struct Tones {
    int black = 0, grey = 0, red = 0, orange = 0;
    int darkest = 255;  // the darkest neutral pixel: text drawn black reaches near 0
};

// Counts the tones in the pixel columns [x0, x1) of text row `row`, rows being `cyLine` pixels
// high from the top of `img`. Parts outside the image are left out.
Tones CountTones(const QImage& img, int row, int cyLine, int x0, int x1);

// The first column at or right of `from` in pixel row `y` that is not white; -1 if none.
int FirstInk(const QImage& img, int y, int from = 0);

// The first column with ink in text row `row`, over all its pixel rows; -1 if none.
int FirstInkInRow(const QImage& img, int row, int cyLine, int from = 0);

}  // namespace tandrel
