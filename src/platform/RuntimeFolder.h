#pragma once

#include <string>

#include "Status.h"
#include "UniqueFd.h"

namespace tandrel {

// The per-user folder for run locks and the window's lock and socket: $XDG_RUNTIME_DIR/tandrel
// when that variable names an absolute path, /tmp/tandrel-<uid> otherwise. It is created 0700
// when missing and used only when it is a real directory (not a link) owned by this user that
// no one else may write to, so that no other user can take its files over. Nothing of the
// program's is ever written into the trees it mirrors.

// The folder's path, without a trailing '/'.
std::string RuntimeFolderPath();
// Opens the folder, creating it when missing: `*dir` holds it open, `*path` names it.
Status OpenRuntimeFolder(std::string* path, UniqueFd* dir);

}  // namespace tandrel
