#include "AppIdentity.h"

#include <QGuiApplication>
#include <cstdlib>

#include "AppImages.h"
#include "ResourceIds.h"
#include "TandrelVersion.h"

namespace tandrel {

void SetApplicationIdentity() {
    QGuiApplication::setApplicationName(QString::fromLatin1(kApplicationName));
    QGuiApplication::setOrganizationName(QString::fromLatin1(kOrganizationName));
    QGuiApplication::setApplicationVersion(QStringLiteral(TANDREL_VERSION));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    QGuiApplication::setWindowIcon(LoadAppIcon(IDI_TANDREL));
}

std::string ActivationTokenFromEnvironment() {
    for (const char* name : {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    return {};
}

}  // namespace tandrel
