#pragma once

#include <string>

namespace tandrel {

// The process's current directory as the bytes getcwd gives, whatever its length, or "" when
// it cannot be read (removed meanwhile, say). Any thread.
std::string CurrentDirectory();

}  // namespace tandrel
