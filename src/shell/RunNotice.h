#pragma once

#include <QString>

namespace tandrel {

// Shows `title` and `text` as a desktop notification through the freedesktop notification
// service on the session bus (org.freedesktop.Notifications, Notify). The call is sent without
// waiting for a reply; where no session bus or no service runs, nothing happens.
void SendDesktopNotification(const QString& title, const QString& text);

}  // namespace tandrel
