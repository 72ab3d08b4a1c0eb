#pragma once

#include <string_view>

#include "Status.h"

namespace tandrel {

// How FileSystem::OpenLogFile treats what a file it opens already holds: empties it, or keeps
// it and adds after it.
enum class LogOpenMode { kEmpty, kAppend };

// A log file open for writing, handed out by FileSystem::OpenLogFile. Lines may be kept in a
// buffer until Flush or until the object goes away (which writes out what is left, ignoring
// any failure: call Flush first to learn of one).
//
// Threads: one thread at a time (the worker during a run, the controlling thread after it).
class LogFile {
  public:
    virtual ~LogFile() = default;
    // Adds `line` and a '\n'. A failure names the file; the line may be lost then.
    virtual Status Append(std::string_view line) = 0;
    // Writes out every line appended so far.
    virtual Status Flush() = 0;
};

}  // namespace tandrel
