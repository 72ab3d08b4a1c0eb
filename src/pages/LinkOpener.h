#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

namespace tandrel {

// Opens a link's target (a web address, or a file name) in the desktop's browser.
//
// First the desktop's own open (QDesktopServices::openUrl; a target that is not an address is
// opened as a local file). When that fails, the desktop's default handler for text/html is run
// directly: its desktop entry is found through the freedesktop mimeapps.list files and the
// applications folders, all taken from the XDG_* environment variables (unset or empty ones
// have the standard defaults), and its Exec command is run with the target.
//
// The handler's command is cut where its file or URL placeholder stands ("%u", "%U", "%f",
// "%F", "%1", quoted or bare); what follows it is dropped and the target is added as one more
// argument. The command is never given to a shell: it is split into arguments by the desktop
// entry quoting rules and started directly and detached, so the target reaches the handler as
// exactly one argument whatever it holds (blanks, quotes, ";", "$(...)").
//
// Results: above 32 means the target was opened (kOpened); 32 or less is a failure code:
//   31  nothing could open it: the desktop's open failed and there is no usable default handler
//    2  the handler's program was not found
//    5  the handler's program may not be run (permission denied)
//    8  not enough memory to start it
//   -e  any other start failure, e being the errno value
//
// Window thread only (the desktop's open needs the application object).
class LinkOpener {
  public:
    // Hands `url` to the desktop; true when the desktop took it.
    using DesktopOpen = std::function<bool(const QUrl& url)>;

    static constexpr int kOpened = 33;
    static constexpr int kNoAssociation = 31;
    static constexpr int kFileNotFound = 2;
    static constexpr int kAccessDenied = 5;
    static constexpr int kOutOfMemory = 8;

    // `desktopOpen` replaces the desktop's own open (tests make it succeed or fail); empty means
    // QDesktopServices::openUrl.
    explicit LinkOpener(DesktopOpen desktopOpen = {});

    // Opens `target`; see the class comment for the result.
    int Open(const QString& target) const;

    // The URL the desktop's open is given for `target`: the target itself when it is an
    // address with a scheme, else the local file it names.
    static QUrl UrlFor(const QString& target);

    // The Exec command of the desktop's default handler for `mimeType`, with the desktop
    // entry's string escapes resolved; nothing when no installed handler is set or its entry
    // has no Exec line.
    static std::optional<QString> DefaultHandlerCommand(const QString& mimeType);

    // The program and arguments that open `target` with the handler command `exec`: the
    // command up to its placeholder, split into arguments, then the target. Empty when the cut
    // command holds no program.
    static QStringList HandlerArguments(const QString& exec, const QString& target);

  private:
    DesktopOpen m_desktopOpen;
};

}  // namespace tandrel
