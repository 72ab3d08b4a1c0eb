#include "AppImages.h"

#include "IconData.h"

namespace tandrel {

QPixmap LoadIconPixmap(int id) {
    const char* const* xpm = IconXpm(id);
    return xpm != nullptr ? QPixmap(xpm) : QPixmap();
}

QIcon LoadAppIcon(int id) {
    return QIcon(LoadIconPixmap(id));
}

}  // namespace tandrel
