// tandrel-icons OUTDIR: writes OUTDIR/NxN/apps/example.halvory.Tandrel.png for each size of
// the hicolor theme. The mark is the one of the window's icon (two sheets, the second a copy of
// the first, and an arrow towards it), drawn as shapes at each size so that it stays sharp,
// in the colours the window's icon data names.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "IconData.h"
#include "ResourceIds.h"

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The colours of the icon data, by their XPM key ('B' the tile, 'b' its edge, 'd' the sheets'
// edges, 'w' paper, 'g' text lines, 'o' the arrow). Empty when the data cannot be read.
std::map<char, QColor> IconColours() {
    std::map<char, QColor> colours;
    const char* const* xpm = tandrel::IconXpm(tandrel::IDI_TANDREL);
    if (xpm == nullptr)
        return colours;
    int width = 0, height = 0, count = 0, perPixel = 0;
    if (std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &count, &perPixel) != 4 ||
        perPixel != 1)
        return colours;
    for (int i = 1; i <= count; ++i) {
        const char* line = xpm[i];
        const char* c = std::strstr(line + 1, " c ");
        if (c == nullptr)
            continue;
        QColor colour(QString::fromLatin1(c + 3));
        if (colour.isValid())
            colours[line[0]] = colour;
    }
    return colours;
}

// A sheet of paper with its top right corner folded, in device pixels.
QPainterPath Sheet(qreal left, qreal top, qreal right, qreal bottom, qreal fold) {
    QPainterPath path;
    path.moveTo(left, top);
    path.lineTo(right - fold, top);
    path.lineTo(right, top + fold);
    path.lineTo(right, bottom);
    path.lineTo(left, bottom);
    path.closeSubpath();
    return path;
}

// Draws the mark into a size x size image. The design is on a 32-unit grid; every straight edge
// is put on a whole device pixel and every edge and text line is at least one pixel wide, so
// that each size is sharp. The text lines are left out below 24 pixels, where they would only
// blur the sheets.
QImage Draw(int size, const std::map<char, QColor>& colours) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 32.0;
    auto px = [unit](qreal gridUnits) { return static_cast<qreal>(qRound(gridUnits * unit)); };
    const qreal edge = std::max(1, qRound(unit));

    // The tile: its edge colour, then its face inside.
    const qreal margin = std::floor(unit);
    const qreal radius = 3 * unit;
    painter.setPen(Qt::NoPen);
    painter.setBrush(colours.at('b'));
    painter.drawRoundedRect(QRectF(margin, margin, size - 2 * margin, size - 2 * margin), radius,
                            radius);
    painter.setBrush(colours.at('B'));
    painter.drawRoundedRect(QRectF(margin + edge, margin + edge, size - 2 * (margin + edge),
                                   size - 2 * (margin + edge)),
                            std::max<qreal>(0, radius - edge), std::max<qreal>(0, radius - edge));

    // A sheet given by its outer box in grid units, with `lineCount` text lines from grid row
    // `firstLine`. The edge is stroked half a pen inside the box so it covers whole pixels.
    const bool lines = size >= 24;
    const qreal lineHeight = edge;
    const qreal pitch = std::max<qreal>(2 * lineHeight, qRound(2 * unit));
    auto sheet = [&](qreal l, qreal t, qreal r, qreal b, qreal firstLine, int lineCount,
                     qreal lineLeft, qreal lineRight) {
        QPen pen(colours.at('d'), edge);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(colours.at('w'));
        // At least one pixel of the tile's face between a sheet and the tile's edge.
        const qreal right = std::min(px(r), size - margin - edge - 1);
        const qreal bottom = std::min(px(b), size - margin - edge - 1);
        painter.drawPath(Sheet(px(l) + edge / 2, px(t) + edge / 2, right - edge / 2,
                               bottom - edge / 2, std::max<qreal>(2, px(3))));
        if (!lines)
            return;
        painter.setPen(Qt::NoPen);
        painter.setBrush(colours.at('g'));
        for (int i = 0; i < lineCount; ++i)
            painter.drawRect(QRectF(px(lineLeft), px(firstLine) + i * pitch,
                                    px(lineRight) - px(lineLeft), lineHeight));
    };
    sheet(4, 4, 18, 21, 8, 5, 6, 14);
    sheet(15, 11, 29, 29, 15, 4, 17, 25);

    // The arrow from the original towards the copy. Below 24 pixels it is set pixel by pixel:
    // a shaft two pixels high and a head of four and two, which still reads as an arrow.
    painter.setPen(Qt::NoPen);
    painter.setBrush(colours.at('o'));
    if (size < 24) {
        const qreal top = px(24);
        const qreal left = px(5) - 1;
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.drawRect(QRectF(left, top, 3, 2));
        painter.drawRect(QRectF(left + 3, top - 1, 1, 4));
        painter.drawRect(QRectF(left + 4, top, 1, 2));
    } else {
        const qreal shaftTop = px(24);
        const qreal shaftBottom = px(26);
        const qreal headLeft = px(10.5);
        const qreal middle = (shaftTop + shaftBottom) / 2;
        const qreal headHalf = px(3.5);
        QPainterPath arrow;
        arrow.moveTo(px(5), shaftTop);
        arrow.lineTo(headLeft, shaftTop);
        arrow.lineTo(headLeft, middle - headHalf);
        arrow.lineTo(px(14.5), middle);
        arrow.lineTo(headLeft, middle + headHalf);
        arrow.lineTo(headLeft, shaftBottom);
        arrow.lineTo(px(5), shaftBottom);
        arrow.closeSubpath();
        painter.drawPath(arrow);
    }
    painter.end();
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: tandrel-icons OUTDIR\n");
        return 2;
    }
    // Painting into a QImage needs no display and no application object.
    const std::map<char, QColor> colours = IconColours();
    for (char key : {'B', 'b', 'd', 'w', 'g', 'o'}) {
        if (colours.count(key) == 0) {
            std::fprintf(stderr, "tandrel-icons: the icon data names no colour '%c'\n", key);
            return 1;
        }
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int size : kSizes) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(outDir).arg(size);
        const QString file = dir + QStringLiteral("/example.halvory.Tandrel.png");
        if (!QDir().mkpath(dir) || !Draw(size, colours).save(file, "PNG")) {
            std::fprintf(stderr, "tandrel-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
