#pragma once

#include <string>

#include "Status.h"
#include "UniqueFd.h"

namespace tandrel {

// The per-user folder for run locks and the window's lock and socket, the first of these that
// can be had: $XDG_RUNTIME_DIR/tandrel (when that variable names an absolute path), then
// $XDG_CACHE_HOME/tandrel or ~/.cache/tandrel, then tandrel-<uid> in $TMPDIR or /tmp. A place
// is used only when the folder is a real directory (not a link) owned by this user that no one
// else may write to, in a parent that no one else can take it out of (owned by the user or
// root, and writable by no one else unless sticky); a place that is not so (another user may
// make /tmp/tandrel-<uid> first) is passed over, never trusted. The shared place comes last,
// so that where another user can reach, nothing decides where this user's locks are while a
// private place can be had. Missing folders are created 0700. Nothing of the program's is
// ever written into the trees it mirrors.

// The folder's path, without a trailing '/' (created when missing); empty when no place can
// be had.
std::string RuntimeFolderPath();
// Opens the folder, creating it when missing: `*dir` holds it open, `*path` names it. Fails,
// naming every place tried and why it was passed over, only when none can be had.
Status OpenRuntimeFolder(std::string* path, UniqueFd* dir);

}  // namespace tandrel
