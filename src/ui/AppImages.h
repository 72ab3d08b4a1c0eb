#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRgb>

namespace tandrel {

// Icon `id` of the resources as a pixmap (null when there is none by that id).
QPixmap LoadIconPixmap(int id);
// The same as an icon for window captions.
QIcon LoadAppIcon(int id);
// Image `index` of bitmap `id`, the images standing side by side `width` pixels wide, with the
// pixels of colour `transparent` made transparent (null when there is no such image).
QPixmap LoadBitmapImage(int id, int index, int width, QRgb transparent);

}  // namespace tandrel
