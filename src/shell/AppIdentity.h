#pragma once

#include <string>

namespace tandrel {

// How the desktop knows the window program. The desktop file name is the name of the
// installed desktop entry (without ".desktop"): under Wayland it is the window's app id, under
// X11 Qt puts it on the window beside WM_CLASS, whose class is the application name; the
// entry's StartupWMClass names that class, so docks and task bars match the running window to
// its menu entry and icon.
inline constexpr const char* kDesktopFileName = "example.halvory.Tandrel";
inline constexpr const char* kApplicationName = "Tandrel";
inline constexpr const char* kOrganizationName = "Halvory";

// Gives the running QGuiApplication the names above, the version and the icon. Call right
// after the application is made, before any window.
void SetApplicationIdentity();

// The token a start of the program was given to raise a window with: XDG_ACTIVATION_TOKEN
// (Wayland), else DESKTOP_STARTUP_ID (X11 startup notification), else empty.
std::string ActivationTokenFromEnvironment();

}  // namespace tandrel
