#include "DesktopWindow.h"

#include <QGuiApplication>

#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include "AppIdentity.h"

#if TANDREL_HAVE_XCB
#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#endif

namespace tandrel {

uint32_t StartupIdTime(const std::string& id) {
    const size_t at = id.rfind("_TIME");
    if (at == std::string::npos) {
        return 0;
    }
    uint64_t time = 0;
    size_t i = at + 5;
    for (; i < id.size() && id[i] >= '0' && id[i] <= '9'; ++i) {
        time = time * 10 + static_cast<uint64_t>(id[i] - '0');
        if (time > UINT32_MAX) {
            return 0;
        }
    }
    return i == at + 5 ? 0 : static_cast<uint32_t>(time);
}

std::string StartupRemoveMessage(const std::string& id) {
    std::string message = "remove: ID=\"";
    for (const char c : id) {
        if (c == '"' || c == ' ' || c == '\\') {
            message += '\\';
        }
        message += c;
    }
    return message + "\"";
}

namespace {

#if TANDREL_HAVE_XCB
xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

void SendToRoot(xcb_connection_t* c, xcb_window_t root, const xcb_client_message_event_t& event,
                uint32_t mask) {
    xcb_send_event(c, 0, root, mask, reinterpret_cast<const char*>(&event));
}

void SetTextProperty(xcb_connection_t* c, xcb_window_t win, const char* name,
                     const std::string& value) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, Atom(c, name), Atom(c, "UTF8_STRING"), 8,
                        static_cast<uint32_t>(value.size()), value.data());
}

xcb_connection_t* X11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

// The X11 side of RaiseWindow: see the header.
void ActivateOnX11(QWidget& window, const std::string& id) {
    xcb_connection_t* c = X11Connection();
    if (c == nullptr) {
        return;
    }
    const auto win = static_cast<xcb_window_t>(window.winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;

    SetTextProperty(c, win, "_NET_STARTUP_ID", id);

    xcb_client_message_event_t activate{};
    activate.response_type = XCB_CLIENT_MESSAGE;
    activate.format = 32;
    activate.window = win;
    activate.type = Atom(c, "_NET_ACTIVE_WINDOW");
    activate.data.data32[0] = 1;  // a request from an application
    activate.data.data32[1] = StartupIdTime(id);
    SendToRoot(c, root, activate,
               XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);

    // The message goes in pieces of 20 bytes, its terminating zero included.
    const std::string message = StartupRemoveMessage(id);
    const xcb_atom_t begin = Atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = Atom(c, "_NET_STARTUP_INFO");
    for (size_t at = 0; at <= message.size(); at += 20) {
        xcb_client_message_event_t piece{};
        piece.response_type = XCB_CLIENT_MESSAGE;
        piece.format = 8;
        piece.window = win;
        piece.type = at == 0 ? begin : more;
        const size_t n = std::min<size_t>(20, message.size() + 1 - at);
        std::memcpy(piece.data.data8, message.c_str() + at, n);
        SendToRoot(c, root, piece, XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
    xcb_flush(c);
}
#endif

}  // namespace

void MarkDesktopFile(QWidget& window) {
#if TANDREL_HAVE_XCB
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    xcb_connection_t* c = X11Connection();
    if (c == nullptr) {
        return;
    }
    const auto win = static_cast<xcb_window_t>(window.winId());
    for (const char* name : {"_KDE_NET_WM_DESKTOP_FILE", "_GTK_APPLICATION_ID"}) {
        SetTextProperty(c, win, name, kDesktopFileName);
    }
    xcb_flush(c);
#else
    (void)window;
#endif
}

void RaiseWindow(QWidget& window, const std::string& token) {
    const QString platform = QGuiApplication::platformName();
    if (!token.empty() && platform == QLatin1String("wayland")) {
        qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(token));
    }
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
#if TANDREL_HAVE_XCB
    if (!token.empty() && platform == QLatin1String("xcb")) {
        ActivateOnX11(window, token);
    }
#endif
}

}  // namespace tandrel
