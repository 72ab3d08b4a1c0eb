#pragma once

#include <functional>
#include <string>

#include "BatchItem.h"

namespace tandrel {

// Adds `item` to the batch list without racing the window. The window keeps the list in memory
// while it runs and writes it back whole after each change, so an entry written into the store
// behind its back would be lost. So: when no window runs over `settingsPath`, the window lock is
// held while `writeStore` writes the entry (a window starting meanwhile waits, then reads it); when
// one runs, the entry is handed to it and it adds the entry to its list at once. When neither
// works within a few seconds, nothing is written and the user is told.
//
// Returns an exit status: what `writeStore` returned, kExitOk when the window took the entry,
// kExitUsage when it could not be reached (the message is printed).
int AddThroughWindowOrStore(const std::string& settingsPath, const BatchItem& item,
                            const std::function<int()>& writeStore);

}  // namespace tandrel
