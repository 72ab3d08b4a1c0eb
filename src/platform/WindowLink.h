#pragma once

#include <string>
#include <vector>

#include "Status.h"
#include "UniqueFd.h"

namespace tandrel {

// The link between the running window and tandrel-cli of one user and one settings file.
//
// The window holds an exclusive lock on a lock file for as long as it runs and listens on a
// local socket beside it; both live in the user's runtime folder (RuntimeFolder.h), never in
// the trees or the settings folder, and are named after the settings file, so that windows over
// different settings files (tests, say) do not meet. A lock dies with its process, so a crashed
// window never leaves a stale one behind.
//
// Messages are lists of byte strings, each sent as a netstring ("5:hello,"), so that paths
// with any bytes, new lines included, cross unchanged. The client sends one message and reads
// one reply; "raise" [TOKEN] brings the window to the front (with the activation token of the
// start that asks, when it has one), "add" DESCRIPTION SOURCE DEST adds a
// checked batch entry, "remove" N DESCRIPTION SOURCE DEST removes entry N (counted from 1) and
// "check" / "uncheck" with the same fields change its check box, each only when entry N is the
// one named; the window answers "ok", "error" REASON when it cannot take the change now (it is
// closing, say), or "refused" REASON when it never will (entry N is another one).
//
// A message that changes the list carries a hand-over token (see MakeHandOverToken), passed as
// a descriptor along with the message's first bytes. The window applies the change only once it
// has taken the token, and a caller that stops waiting takes it back first: exactly one of the
// two gets it, so a change is made once or not at all, and the caller always knows which, even
// when the window answers after the caller gave up.
//
// Any thread; no Qt.

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
// `timeoutMs` in all. A `passFd` other than -1 goes along with the message.
Status SendToWindow(const std::string& socketPath, const std::vector<std::string>& fields,
                    std::vector<std::string>* reply, int timeoutMs, int passFd = -1);

// Reads what has arrived on the connected socket `fd` without waiting, appending it to `in`; a
// descriptor passed along is kept in `passed` when that holds none yet (any other is closed).
// Returns what recv would: the count of bytes read, 0 when the peer has closed, -1 with errno.
long ReceiveFromPeer(int fd, std::string* in, UniqueFd* passed);

// A hand-over token: the read end of a pipe that holds one byte and has no writer left.
Status MakeHandOverToken(UniqueFd* token);
// Takes the token's byte without ever waiting: `*taken` is true for the one taker, in this
// process or another, that gets it. A descriptor that is not a pipe is an error.
Status TakeHandOverToken(int token, bool* taken);

}  // namespace tandrel
