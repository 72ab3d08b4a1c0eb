// The window program. It takes no arguments; scripts use tandrel-cli.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "AppImages.h"
#include "CVelApp.h"
#include "ResourceIds.h"
#include "TandrelVersion.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

int main(int argc, char** argv) {
    // Without a display Qt would abort with a message about plugins; say what is missing.
    if (!IsSet("QT_QPA_PLATFORM") && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
        std::fputs(
            "tandrel: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not "
            "set).\nStart it from a desktop session, or run jobs with tandrel-cli.\n",
            stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tandrel"));
    QApplication::setOrganizationName(QStringLiteral("Halvory"));
    QApplication::setApplicationVersion(QStringLiteral(TANDREL_VERSION));
    QApplication::setWindowIcon(tandrel::LoadAppIcon(tandrel::IDI_TANDREL));
    if (QApplication::arguments().size() > 1) {
        std::fputs("tandrel takes no arguments; to run jobs from a script use tandrel-cli.\n",
                   stderr);
        return 2;
    }
    tandrel::CVelApp velApp;
    velApp.InitInstance();
    return 0;
}
