#pragma once

#include <string>
#include <vector>

#include "Status.h"
#include "UniqueFd.h"

namespace tandrel {

// The link between the running window and tandrel-cli of one user and one settings file.
//
// The window holds an exclusive lock on a lock file for as long as it runs and listens on a
// local socket beside it; both live in the user's runtime directory, never in the trees or the
// settings folder, and are named after the settings file, so that windows over different
// settings files (tests, say) do not meet. A lock dies with its process, so a crashed window
// never leaves a stale one behind.
//
// Messages are lists of byte strings, each sent as a netstring ("5:hello,"), so that paths
// with any bytes, new lines included, cross unchanged. The client sends one message and reads
// one reply; "raise" brings the window to the front, "add" DESCRIPTION SOURCE DEST adds a
// checked batch entry; the window answers "ok" or "error" REASON.
//
// Any thread; no Qt.

// The user's runtime directory: $XDG_RUNTIME_DIR when it names a directory the user owns,
// else /tmp/tandrel-UID, made 0700 when missing and refused when it is a link, not a directory,
// not owned by the user or open to others.
Status RuntimeDirectory(std::string* dir);

struct WindowLinkPaths {
    std::string lock;
    std::string socket;
};
// The lock file and socket names for the settings file `settingsPath`.
Status WindowLinkPathsFor(const std::string& settingsPath, WindowLinkPaths* paths);

// Tries to take the window lock without waiting: `*taken` says whether it was taken (and then
// `held` keeps it until it is released or closed). Opening the lock file may fail.
Status TryLockWindow(const std::string& lockPath, UniqueFd* held, bool* taken);

// Binds and listens on `socketPath`, replacing a socket file left by a window that is gone.
// Call only while holding the window lock.
Status ListenWindowSocket(const std::string& socketPath, UniqueFd* listener);

std::string EncodeMessage(const std::vector<std::string>& fields);
// Takes one complete message off the front of `buffer` into `fields`: true when one was
// complete, false when more bytes are needed. A buffer that cannot be a message sets `*bad`.
bool DecodeMessage(std::string* buffer, std::vector<std::string>* fields, bool* bad);

// Connects to `socketPath`, sends `fields` and reads one reply message, waiting at most
// `timeoutMs` in all.
Status SendToWindow(const std::string& socketPath, const std::vector<std::string>& fields,
                    std::vector<std::string>* reply, int timeoutMs);

}  // namespace tandrel
