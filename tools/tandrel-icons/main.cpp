// tandrel-icons OUTDIR: writes OUTDIR/NxN/apps/example.halvory.Tandrel.png for each size of
// the hicolor theme. The mark is the one of the window's icon (two sheets, the second a copy of
// the first, and an arrow towards it), drawn as shapes at each size so that it stays sharp,
// in the colours the window's icon data names.

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
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
    if (xpm == nullptr) return colours;
    int width = 0, height = 0, count = 0, perPixel = 0;
    if (std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &count, &perPixel) != 4 ||
        perPixel != 1)
        return colours;
    for (int i = 1; i <= count; ++i) {
        const char* line = xpm[i];
        const char* c = std::strstr(line + 1, " c ");
        if (c == nullptr) continue;
        QColor colour(QString::fromLatin1(c + 3));
        if (colour.isValid()) colours[line[0]] = colour;
    }
    return colours;
}

// A sheet of paper with its top right corner folded, in units of the 32-unit grid.
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

// Draws the mark into a size x size image. Edges are one device pixel wide or more, and the
// text lines are left out below 24 pixels, where they would only blur the sheets.
QImage Draw(int size, const std::map<char, QColor>& colours) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 32.0;
    painter.scale(unit, unit);
    const qreal hairline = std::max(1.0, unit) / unit;  // in grid units

    auto pen = [&](char key, qreal width) {
        QPen p(colours.at(key), width);
        p.setJoinStyle(Qt::MiterJoin);
        return p;
    };

    // The tile.
    const qreal edge = hairline;
    painter.setPen(pen('b', edge));
    painter.setBrush(colours.at('B'));
    painter.drawRoundedRect(QRectF(1 + edge / 2, 1 + edge / 2, 30 - edge, 30 - edge), 3, 3);

    // The two sheets, the copy in front, each with its text lines.
    const bool lines = size >= 24;
    auto sheet = [&](qreal l, qreal t, qreal r, qreal b, int firstLine, int lastLine,
                     qreal lineLeft, qreal lineRight) {
        painter.setPen(pen('d', edge));
        painter.setBrush(colours.at('w'));
        painter.drawPath(Sheet(l, t, r, b, 3));
        if (!lines) return;
        painter.setPen(Qt::NoPen);
        painter.setBrush(colours.at('g'));
        for (int y = firstLine; y <= lastLine; y += 2)
            painter.drawRect(QRectF(lineLeft, y, lineRight - lineLeft, 1));
    };
    sheet(4.5, 4.5, 17.5, 20.5, 8, 16, 6, 14);
    sheet(15.5, 11.5, 28.5, 28.5, 15, 21, 17, 25);

    // The arrow from the original towards the copy.
    QPainterPath arrow;
    arrow.moveTo(5, 24);
    arrow.lineTo(10.5, 24);
    arrow.lineTo(10.5, 21.5);
    arrow.lineTo(14.5, 25);
    arrow.lineTo(10.5, 28.5);
    arrow.lineTo(10.5, 26);
    arrow.lineTo(5, 26);
    arrow.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colours.at('o'));
    painter.drawPath(arrow);
    painter.end();
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: tandrel-icons OUTDIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
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
