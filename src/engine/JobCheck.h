#pragma once

#include <string>

#include "RunConstants.h"
#include "Status.h"

namespace tandrel {

// Refuses a job whose trees would overlap: an empty root; a destination that is, lies inside or
// contains the source; with Move, a recycle directory that is or lies inside the source, or is
// or contains the destination. A recycle directory inside the destination is allowed.
// Paths are compared as the directories they name (links in the roots resolved, so two
// spellings of one directory are the same), also where a root does not exist yet.
// Returns ok, or an error whose reason reads like the program's other error texts.
Status CheckJobPaths(const std::string& source, const std::string& dest, ExtraFileAction action,
                     const std::string& recycle);

// The directory `path` names with links resolved, as an absolute path without a trailing '/'.
// Levels that do not exist are appended to the deepest existing one as they stand ("." and
// ".." folded). Empty for an empty path.
std::string CanonicalPath(const std::string& path);

// True when `inner` is `outer` or lies below it, both as CanonicalPath gives them.
bool IsSameOrInside(const std::string& inner, const std::string& outer);

}  // namespace tandrel
