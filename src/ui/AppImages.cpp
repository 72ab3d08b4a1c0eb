#include "AppImages.h"

#include <QImage>

#include "IconData.h"

namespace tandrel {

QPixmap LoadIconPixmap(int id) {
    const char* const* xpm = IconXpm(id);
    return xpm != nullptr ? QPixmap(xpm) : QPixmap();
}

QIcon LoadAppIcon(int id) {
    return QIcon(LoadIconPixmap(id));
}

QPixmap LoadBitmapImage(int id, int index, int width, QRgb transparent) {
    const char* const* xpm = BitmapXpm(id);
    if (xpm == nullptr || index < 0 || width <= 0) {
        return QPixmap();
    }
    const QImage strip = QImage(xpm).convertToFormat(QImage::Format_ARGB32);
    if ((index + 1) * width > strip.width()) {
        return QPixmap();
    }
    QImage image = strip.copy(index * width, 0, width, strip.height());
    const QRgb key = transparent | 0xFF000000u;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == key) {
                image.setPixel(x, y, qRgba(0, 0, 0, 0));
            }
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace tandrel
