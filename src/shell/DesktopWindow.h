#pragma once

#include <cstdint>
#include <string>

class QWidget;

namespace tandrel {

// Puts the desktop file name (AppIdentity.h) on the X11 window of `window` as
// _KDE_NET_WM_DESKTOP_FILE and _GTK_APPLICATION_ID, the properties docks and task bars read to
// find a window's entry and icon (Qt sets them itself only from 6.5 on; under Wayland the
// desktop file name is already the app id). Creates the native window when it does not exist
// yet; call before the window is first shown. Does nothing on other platforms.
void MarkDesktopFile(QWidget& window);

// Brings the program's window to the front for a later start of the program, which asked for
// it with the activation token it was started with (empty for none). A desktop that prevents
// focus stealing raises a window only for the token of a launch the user made:
// - under Wayland the token goes into XDG_ACTIVATION_TOKEN, which Qt's Wayland plugin hands to
//   the compositor with the activation request (and then clears);
// - under X11 it is a startup notification id: it goes on the window as _NET_STARTUP_ID, the
//   activation request carries the time of the user's launch that the id records
//   ("..._TIME<n>"), and the launch's feedback is ended ("remove" message).
// A minimized window is restored; a maximized one stays maximized. Window thread only.
void RaiseWindow(QWidget& window, const std::string& token);

// The X server time a startup notification id records after "_TIME", or 0 when it has none.
uint32_t StartupIdTime(const std::string& id);

// The startup notification message that ends the launch feedback of `id`, with the id
// quoted the way the startup notification protocol quotes values (in double quotes, with
// backslashes before '"', ' ' and '\\').
std::string StartupRemoveMessage(const std::string& id);

}  // namespace tandrel
