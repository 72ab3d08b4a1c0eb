#pragma once

#include <string>
#include <vector>

namespace tandrel {

// tandrel-cli mirror SOURCE DEST [--keep | --delete | --move RECYCLE] [--log FILE]
// `args` are the arguments after "mirror". Returns the exit status.
int CmdMirror(const std::vector<std::string>& args);

}  // namespace tandrel
