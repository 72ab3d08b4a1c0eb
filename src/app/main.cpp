// The window program. It takes no arguments (any given are named on stderr and left aside);
// scripts use tandrel-cli.
#include <unistd.h>

#include <QApplication>
#include <QLocale>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "AppIdentity.h"
#include "CVelApp.h"
#include "NameText.h"
#include "Translations.h"
#include "WindowLink.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

enum class Start { kThisWindow, kOtherWindowRaised, kOtherWindowSilent };

// One window per settings file: takes the window lock, or, when another window holds it, asks
// that one to come to the front. A window that is just starting or closing may hold the lock
// without answering yet, so both are tried for a few seconds.
Start TakeWindowOrRaiseOther(const std::string& token, tandrel::UniqueFd* lock,
                             std::string* socketPath) {
    tandrel::WindowLinkPaths link;
    if (tandrel::Status s =
            tandrel::WindowLinkPathsFor(tandrel::SettingsStore::DefaultPath(), &link);
        !s.ok()) {
        std::fprintf(stderr, "tandrel: cannot tell whether another window runs (%s)\n",
                     s.ToString().c_str());
        return Start::kThisWindow;
    }
    *socketPath = link.socket;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
        bool taken = false;
        if (tandrel::Status s = tandrel::TryLockWindow(link.lock, lock, &taken); !s.ok()) {
            std::fprintf(stderr, "tandrel: cannot tell whether another window runs (%s)\n",
                         s.ToString().c_str());
            return Start::kThisWindow;
        }
        if (taken) {
            return Start::kThisWindow;
        }
        // The token this start was given lets the window come forward on a desktop that
        // prevents focus stealing.
        std::vector<std::string> request{"raise"};
        if (!token.empty()) {
            request.push_back(token);
        }
        std::vector<std::string> reply;
        if (tandrel::SendToWindow(link.socket, request, &reply, 1000).ok() && !reply.empty() &&
            reply[0] == "ok") {
            return Start::kOtherWindowRaised;
        }
        usleep(100 * 1000);
    }
    return Start::kOtherWindowSilent;
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
    // Read before Qt starts: its X11 plugin takes the startup id out of the environment.
    const std::string token = tandrel::ActivationTokenFromEnvironment();
    QApplication app(argc, argv);
    tandrel::SetApplicationIdentity();
    // The window speaks the user's language where a translation exists (LANG, LC_MESSAGES);
    // what goes to stderr stays English.
    tandrel::LoadTranslations(QLocale::system());
    // A menu entry or a file manager may hand over a file or an address; the window opens all
    // the same. QApplication has taken its own options out of argv by now.
    if (argc > 1) {
        std::string given;
        for (int i = 1; i < argc; ++i) {
            given += (i > 1 ? "\", \"" : "\"") + tandrel::ShownName(argv[i]);
        }
        std::fprintf(stderr,
                     "tandrel: takes no arguments; %s\" left aside (to run jobs from a script "
                     "use tandrel-cli).\n",
                     given.c_str());
    }
    tandrel::UniqueFd lock;
    std::string socketPath;
    switch (TakeWindowOrRaiseOther(token, &lock, &socketPath)) {
        case Start::kThisWindow:
            break;
        case Start::kOtherWindowRaised:
            return 0;
        case Start::kOtherWindowSilent:
            std::fputs(
                "tandrel: another Tandrel window is open but does not answer; close it "
                "first.\n",
                stderr);
            return 1;
    }
    tandrel::CVelApp velApp;
    if (lock.valid()) {
        velApp.SetWindowLink(std::move(lock), socketPath);
    }
    velApp.InitInstance();
    return 0;
}
