#include "RunNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace tandrel {

void SendDesktopNotification(const QString& title, const QString& text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the
    // server's default).
    call << QStringLiteral("Tandrel") << 0u << QStringLiteral("tandrel") << title << text
         << QStringList() << QVariantMap() << -1;
    // A reply is neither awaited nor needed; a missing service only makes the bus answer
    // with an error nobody reads.
    call.setAutoStartService(false);
    bus.send(call);
}

}  // namespace tandrel
