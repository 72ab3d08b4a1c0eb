// How the desktop knows the window: the desktop file name, the installed entry and the window
// class agree; a later start's activation token reaches the window.
#include "AppIdentity.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QWidget>
#include <cstdlib>
#include <optional>

#include "DesktopWindow.h"

namespace tandrel {
namespace {

TEST(AppIdentity, DesktopFileNameEntryAndWindowClassAgree) {
    SetApplicationIdentity();
    EXPECT_EQ(QGuiApplication::desktopFileName(), QString(kDesktopFileName));
    // Under X11 the window's WM_CLASS class is the application name.
    EXPECT_EQ(QGuiApplication::applicationName(), QString(kApplicationName));

    // The entry that is installed is named after the desktop file name.
    const QString path =
        QString(TANDREL_DATA_DIR) + "/" + QGuiApplication::desktopFileName() + ".desktop";
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    EXPECT_EQ(entry.value("StartupWMClass").toString(), QGuiApplication::applicationName());
    EXPECT_EQ(entry.value("Icon").toString(), QGuiApplication::desktopFileName());
    EXPECT_EQ(entry.value("StartupNotify").toString(), "true");
}

class TokenEnvironment {
  public:
    TokenEnvironment(std::optional<const char*> wayland, std::optional<const char*> x11) {
        Set("XDG_ACTIVATION_TOKEN", wayland);
        Set("DESKTOP_STARTUP_ID", x11);
    }
    ~TokenEnvironment() {
        unsetenv("XDG_ACTIVATION_TOKEN");
        unsetenv("DESKTOP_STARTUP_ID");
    }

  private:
    static void Set(const char* name, std::optional<const char*> value) {
        if (value) {
            setenv(name, *value, 1);
        } else {
            unsetenv(name);
        }
    }
};

TEST(AppIdentity, ActivationTokenComesFromWaylandsVariableElseTheStartupId) {
    struct Case {
        std::optional<const char*> wayland;
        std::optional<const char*> x11;
        const char* want;
    };
    const Case cases[] = {
        {"wl-token", "x-id_TIME5", "wl-token"},
        {std::nullopt, "x-id_TIME5", "x-id_TIME5"},
        {"", "x-id_TIME5", "x-id_TIME5"},
        {std::nullopt, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.want);
        const TokenEnvironment env(c.wayland, c.x11);
        EXPECT_EQ(ActivationTokenFromEnvironment(), c.want);
    }
}

TEST(WindowRaise, StartupIdsGiveTheirLaunchTimeAndAQuotedRemoveMessage) {
    const std::pair<const char*, uint32_t> times[] = {
        {"kde-launch-1234-5_TIME987654", 987654u},
        {"host;1;2_TIME0", 0u},
        {"no time here", 0u},
        {"_TIME", 0u},
        {"_TIME99999999999", 0u},  // beyond 32 bits: not a server time
        {"a_TIME12b", 12u},
    };
    for (const auto& [id, time] : times) {
        SCOPED_TRACE(id);
        EXPECT_EQ(StartupIdTime(id), time);
    }
    EXPECT_EQ(StartupRemoveMessage("plain_TIME1"), "remove: ID=\"plain_TIME1\"");
    EXPECT_EQ(StartupRemoveMessage("a b\"c\\d"), "remove: ID=\"a\\ b\\\"c\\\\d\"");
}

// A minimized window comes back in the state it had; a maximized one stays maximized.
TEST(WindowRaise, RestoresAMinimizedWindowAndKeepsItMaximized) {
    QWidget window;
    window.show();
    window.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
    RaiseWindow(window, "token_TIME1");
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
}

}  // namespace
}  // namespace tandrel
