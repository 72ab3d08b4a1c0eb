#pragma once

#include <QIcon>
#include <QPixmap>

namespace tandrel {

// Icon `id` of the resources as a pixmap (null when there is none by that id).
QPixmap LoadIconPixmap(int id);
// The same as an icon for window captions.
QIcon LoadAppIcon(int id);

}  // namespace tandrel
