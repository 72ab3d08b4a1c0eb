#include "InkTones.h"

#include <algorithm>
#include <cstdlib>

namespace tandrel {

Tone ToneOf(QRgb p) {
    const int r = qRed(p), g = qGreen(p), b = qBlue(p);
    if (r > 245 && g > 245 && b > 245) {
        return Tone::kWhite;
    }
    if (std::abs(r - g) < 10 && std::abs(g - b) < 10) {
        return r < 110 ? Tone::kBlack : (r > 150 ? Tone::kGrey : Tone::kOther);
    }
    if (r > 200 && g - b > 25) {
        return Tone::kOrange;
    }
    if (r > 200 && std::abs(g - b) < 12 && r - g > 60) {
        return Tone::kRed;
    }
    return Tone::kOther;
}

Tones CountTones(const QImage& img, int row, int cyLine, int x0, int x1) {
    Tones t;
    for (int y = std::max(0, row * cyLine); y < (row + 1) * cyLine && y < img.height(); ++y) {
        for (int x = std::max(0, x0); x < x1 && x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (std::abs(qRed(p) - qGreen(p)) < 10 && std::abs(qGreen(p) - qBlue(p)) < 10) {
                t.darkest = std::min(t.darkest, qRed(p));
            }
            switch (ToneOf(p)) {
                case Tone::kBlack:
                    ++t.black;
                    break;
                case Tone::kGrey:
                    ++t.grey;
                    break;
                case Tone::kRed:
                    ++t.red;
                    break;
                case Tone::kOrange:
                    ++t.orange;
                    break;
                default:
                    break;
            }
        }
    }
    return t;
}

int FirstInk(const QImage& img, int y, int from) {
    for (int x = std::max(0, from); x < img.width(); ++x) {
        if (ToneOf(img.pixel(x, y)) != Tone::kWhite) {
            return x;
        }
    }
    return -1;
}

int FirstInkInRow(const QImage& img, int row, int cyLine, int from) {
    int first = -1;
    for (int y = std::max(0, row * cyLine); y < (row + 1) * cyLine && y < img.height(); ++y) {
        const int x = FirstInk(img, y, from);
        if (x >= 0 && (first < 0 || x < first)) {
            first = x;
        }
    }
    return first;
}

}  // namespace tandrel
