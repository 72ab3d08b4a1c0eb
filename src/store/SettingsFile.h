#pragma once

#include <sys/types.h>

#include <string>

#include "Status.h"

namespace tandrel {

// The file-system side of the settings store: where the file lives, how it is first made, and
// how a damaged one is put aside. POSIX only; any thread.
class SettingsFile {
  public:
    // $XDG_CONFIG_HOME/Halvory/Tandrel/settings.db, with $HOME/.config (or the user's home
    // from the password database) when the variable is unset, empty or not an absolute path.
    static std::string DefaultPath();

    // Creates the missing folders of `path` (mode 0700) and the file itself (mode 0600) if it
    // does not exist yet. An existing file is left as it is.
    static Status Create(const std::string& path);

    // Renames the file at `path` to "<name>.damaged", or "<name>.damaged.N" with the lowest N
    // not taken, never replacing a file, and moves a journal beside it along. Only the file
    // identified by `dev` and `ino` is moved: when another process has already moved it, this
    // is ok and `aside` is left empty. Otherwise `aside` gets the new path.
    static Status MoveAside(const std::string& path, dev_t dev, ino_t ino, std::string* aside);
};

}  // namespace tandrel
