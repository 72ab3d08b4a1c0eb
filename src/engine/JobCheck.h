#pragma once

#include <string>

#include "FileSystem.h"
#include "RunConstants.h"
#include "Status.h"

namespace tandrel {

// True when the directory `inner` is `outer` or lies inside it, by identity (as located by
// FileSystem::LocateDirectory).
bool SameOrInside(const DirectoryPlace& inner, const DirectoryPlace& outer);

// Refuses a job whose trees would overlap: an empty root; a destination that is, lies inside or
// contains the source; with Move, a recycle directory that is, lies inside or contains the
// source, or is or contains the destination. A recycle directory inside the destination is
// allowed (the walk leaves it out).
// Directories are compared by what they are, not by how they are spelt: by identity (device and
// inode) through fs.LocateDirectory, so that two spellings, a link the user gave, or a bind
// mount showing one directory in two places are all seen through. A root that does not exist
// yet is judged by its deepest existing level and the names below it.
// Returns ok, or an error whose reason names what is wrong in the words of the fields it was
// typed in ("Directory 'To' is or lies inside 'From'"): the run shows it on the job's "!Skip"
// line, a message before the run as JobCheckMessage gives it. Any thread.
Status CheckJobPaths(const std::string& source, const std::string& dest, ExtraFileAction action,
                     const std::string& recycle, FileSystem& fs = DefaultFileSystem());

// The refusal of CheckJobPaths as the program's other error messages read:
// "Error: REASON...".
std::string JobCheckMessage(const Status& refusal);

}  // namespace tandrel
